"""The model's inputs from a glyph, exactly as training/README.md defines them (the C++ side
prepares glyphs the same way, and tests/data/glyphnet/cases.txt checks that both agree)."""
import numpy as np

SIZE = 32          # the input image's side
FIT = 28           # the glyph's longer side inside it: a margin for the convolutions
SUBSAMPLES = 4     # 4 x 4 point samples an output pixel
GEOMETRY_LIMIT = 6.0


def _sample_indices(length, scale, offset):
    """For each output pixel and sub-sample, the source index, or `length` (outside: paper)."""
    pos = np.arange(SIZE, dtype=np.float64)[:, None] + (np.arange(SUBSAMPLES) + 0.5) / SUBSAMPLES
    idx = np.floor((pos - offset) / scale).astype(np.int64).ravel()
    idx[(idx < 0) | (idx >= length)] = length
    return idx


def prepare_image(ink):
    """ink: h x w array, nonzero = ink. Returns the 32 x 32 float32 input image."""
    h, w = ink.shape
    s = min(FIT / w, FIT / h)
    ox = (SIZE - w * s) / 2
    oy = (SIZE - h * s) / 2
    padded = np.zeros((h + 1, w + 1), dtype=np.float32)
    padded[:h, :w] = ink != 0
    samples = padded[_sample_indices(h, s, oy)][:, _sample_indices(w, s, ox)]
    return samples.reshape(SIZE, SUBSAMPLES, SIZE, SUBSAMPLES).mean(axis=(1, 3))


def prepare_geometry(w, h, ink_top, baseline, x_height):
    """The five geometry values of a glyph of w x h pixels on its line, float32."""
    xh = float(x_height)
    ink_bottom = ink_top + h - 1
    values = np.array([w / xh, h / xh, (baseline + 1 - ink_top) / xh,
                       (baseline - ink_bottom) / xh, np.log(w / h)], dtype=np.float64)
    return np.clip(values, -GEOMETRY_LIMIT, GEOMETRY_LIMIT).astype(np.float32)
