"""The glyph model: a small convolutional net over the 32 x 32 image joined with a small net over the
five geometry values (about 1.5 M multiply-adds a glyph, so that a page's 3000 glyphs take ~0.2 s)."""
import torch
from torch import nn

CHANNELS = (12, 24, 48)
IMAGE_FEATURES = 128
GEOMETRY_FEATURES = 32
GEOMETRY_VALUES = 5
DROPOUT = 0.2


def _block(cin, cout):
    return [nn.Conv2d(cin, cout, 3, padding=1, bias=False), nn.BatchNorm2d(cout), nn.ReLU(),
            nn.MaxPool2d(2)]


class GlyphNet(nn.Module):
    def __init__(self, classes):
        super().__init__()
        c1, c2, c3 = CHANNELS
        self.image = nn.Sequential(*_block(1, c1), *_block(c1, c2), *_block(c2, c3), nn.Flatten(),
                                   nn.Linear(c3 * 4 * 4, IMAGE_FEATURES), nn.ReLU())
        self.geometry = nn.Sequential(nn.Linear(GEOMETRY_VALUES, GEOMETRY_FEATURES), nn.ReLU(),
                                      nn.Linear(GEOMETRY_FEATURES, GEOMETRY_FEATURES), nn.ReLU())
        self.head = nn.Sequential(nn.Dropout(DROPOUT),
                                  nn.Linear(IMAGE_FEATURES + GEOMETRY_FEATURES, classes))

    def forward(self, image, geometry):
        """Logits."""
        return self.head(torch.cat([self.image(image), self.geometry(geometry)], dim=1))


class Calibrated(nn.Module):
    """The exported graph: probabilities, the logits divided by the fitted temperature."""

    def __init__(self, net, temperature):
        super().__init__()
        self.net = net
        self.register_buffer("inverse_temperature", torch.tensor(1.0 / temperature))

    def forward(self, image, geometry):
        return torch.softmax(self.net(image, geometry) * self.inverse_temperature, dim=1)


def multiply_adds(net):
    """Multiply-adds of one glyph through the net's convolutions and linear layers."""
    total = 0
    side = 32
    for m in net.modules():
        if isinstance(m, nn.Conv2d):
            total += m.in_channels * m.out_channels * 9 * side * side
            side //= 2
        elif isinstance(m, nn.Linear):
            total += m.in_features * m.out_features
    return total
