"""Checks of the model's input preparation against the interface's rule, computed the slow way."""
import math
import unittest

import numpy as np

from prepare import prepare_geometry, prepare_image


def slow_image(ink):
    h, w = ink.shape
    s = min(28 / w, 28 / h)
    ox, oy = (32 - w * s) / 2, (32 - h * s) / 2
    out = np.zeros((32, 32))
    for Y in range(32):
        for X in range(32):
            total = 0
            for i in range(4):
                for j in range(4):
                    c = math.floor((X + (i + 0.5) / 4 - ox) / s)
                    r = math.floor((Y + (j + 0.5) / 4 - oy) / s)
                    if 0 <= c < w and 0 <= r < h and ink[r, c]:
                        total += 1
            out[Y, X] = total / 16
    return out


class PrepareImage(unittest.TestCase):
    def test_matches_the_rule_scaling_up_and_down(self):
        rng = np.random.default_rng(1)
        for h, w in [(1, 1), (5, 3), (12, 40), (60, 7), (28, 28), (90, 33)]:
            ink = rng.random((h, w)) < 0.4
            np.testing.assert_allclose(prepare_image(ink), slow_image(ink), atol=1e-6)

    def test_a_full_square_fills_the_centre_28(self):
        img = prepare_image(np.ones((7, 7), bool))
        self.assertEqual(img[2:30, 2:30].min(), 1.0)
        self.assertEqual(img.sum(), 28 * 28)

    def test_a_wide_glyph_is_centred_vertically(self):
        img = prepare_image(np.ones((1, 28), bool))
        # one row of 28 scaled by 1 lands half in row 15, half in row 16
        np.testing.assert_allclose(img.sum(axis=1)[15:17], [14, 14])
        self.assertEqual(img.sum(), 28)
        self.assertEqual(img.dtype, np.float32)


class PrepareGeometry(unittest.TestCase):
    def test_an_x_sits_on_the_baseline(self):
        # an "x" of 10 x 10 whose lowest row is the baseline
        g = prepare_geometry(10, 10, ink_top=91, baseline=100, x_height=10)
        np.testing.assert_allclose(g, [1, 1, 1, 0, 0], atol=1e-6)

    def test_a_descender_goes_below(self):
        g = prepare_geometry(5, 15, ink_top=91, baseline=100, x_height=10)
        self.assertAlmostEqual(g[3], -0.5, places=6)

    def test_values_are_clamped(self):
        g = prepare_geometry(500, 1, ink_top=0, baseline=100, x_height=2)
        self.assertEqual(g[0], 6.0)
        self.assertEqual(g[2], 6.0)
        self.assertAlmostEqual(g[4], 6.0)


if __name__ == "__main__":
    unittest.main()
