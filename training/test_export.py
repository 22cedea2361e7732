"""Checks that the exported graph runs in OpenCV as in PyTorch, and that the cases file says what
the net answers for the glyphs written in it."""
import os
import tempfile
import unittest

import numpy as np
import torch

import alphabet
import export
from model import GlyphNet
from prepare import prepare_geometry, prepare_image


def parse_cases(path):
    cases = []
    with open(path) as f:
        lines = [line.rstrip("\n") for line in f if not line.startswith("#")]
    i = 0
    while i < len(lines):
        _, w, h, top, baseline, xh = lines[i].split()
        w, h = int(w), int(h)
        rows = lines[i + 1:i + 1 + h]
        bitmap = np.array([[c == "1" for c in row] for row in rows])
        probs = [(int(c), float(p)) for c, p in (t.split(":") for t in lines[i + 1 + h].split()[1:])]
        cases.append((bitmap, w, int(top), int(baseline), int(xh), probs))
        i += h + 2
    return cases


class Export(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        torch.manual_seed(0)
        cls.dir = tempfile.TemporaryDirectory()
        cls.net = GlyphNet(alphabet.NUM_CLASSES).eval()
        cls.path = os.path.join(cls.dir.name, "net.onnx")
        cls.calibrated = export.export(cls.net, 1.7, cls.path)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_opencv_gives_pytorchs_probabilities_for_a_batch(self):
        images = torch.randint(0, 17, (300, 1, 32, 32), dtype=torch.uint8)
        geometry = torch.randn(300, 5)
        self.assertLess(export.check_opencv(self.calibrated, self.path, images, geometry), 1e-4)

    def test_probabilities_are_the_logits_over_the_temperature(self):
        image, geometry = torch.rand(4, 1, 32, 32), torch.randn(4, 5)
        with torch.no_grad():
            expected = torch.softmax(self.net(image, geometry) / 1.7, dim=1)
            got = self.calibrated(image, geometry)
        self.assertTrue(torch.allclose(got, expected, atol=1e-6))

    def test_cases_hold_the_nets_answers(self):
        rng = np.random.default_rng(0)
        raw, labels = [], []
        for k in range(60):
            h, w = int(rng.integers(3, 15)), int(rng.integers(2, 12))
            raw.append((rng.random((h, w)) < 0.5, 10 + k, 30 + k, 9.6 + k * 0.1))
            labels.append(k % 7)
        val = {"raw": raw, "labels": np.array(labels)}
        path = os.path.join(self.dir.name, "cases.txt")
        export.write_cases(self.calibrated, val, path, seed=1)
        cases = parse_cases(path)
        self.assertGreaterEqual(len(cases), 8)
        for bitmap, w, top, baseline, xh, probs in cases:
            self.assertEqual(bitmap.shape[1], w)
            image = torch.from_numpy(prepare_image(bitmap))[None, None]
            geometry = torch.from_numpy(prepare_geometry(w, bitmap.shape[0], top, baseline, xh))[None]
            with torch.no_grad():
                p = self.calibrated(image, geometry)[0].numpy()
            self.assertEqual(len(probs), export.TOP)
            for code, prob in probs:
                self.assertAlmostEqual(p[alphabet.CODES.index(code)], prob, places=5)
            self.assertEqual([c for c, _ in probs], sorted((c for c, _ in probs), key=lambda c: -p[alphabet.CODES.index(c)]))


if __name__ == "__main__":
    unittest.main()
