"""Checks of the glyph generator: faces, shapes, and the line geometry the glyphs are measured by."""
import subprocess
import unittest

import numpy as np

import alphabet
import glyphs
from prepare import prepare_geometry


def face_file(family):
    return subprocess.run(["fc-match", "-f", "%{file}", family], capture_output=True, text=True,
                          check=True).stdout


class Faces(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.face = glyphs.FaceRenderer(face_file("DejaVu Sans"))

    def test_the_master_x_has_the_master_x_height_and_stands_on_the_baseline(self):
        ink, baseline = self.face.master("x")
        rows = np.nonzero(ink.max(axis=1) > 0.5)[0]
        self.assertAlmostEqual(rows[-1] + 1, baseline, delta=1)
        self.assertAlmostEqual(rows[-1] - rows[0] + 1, glyphs.MASTER_XH, delta=2)

    def test_a_face_with_every_character_has_them_all(self):
        self.assertEqual(len(self.face.available), len(alphabet.CHARS))

    def test_characters_a_face_lacks_are_not_drawn_from_it(self):
        face = glyphs.FaceRenderer(face_file("GNUTypewriter"))
        self.assertLess(len(face.available), len(alphabet.CHARS))
        self.assertIn("a", face.available)


class LineGeometry(unittest.TestCase):
    """Over many degraded glyphs, an "x" reaches from the baseline to the x-height, a "p" goes
    below: the baseline and x-height follow the glyph through scaling, fax rows and rotation."""

    @classmethod
    def setUpClass(cls):
        cls.face = glyphs.FaceRenderer(face_file("Liberation Serif"))
        cls.rng = np.random.default_rng(7)

    def geometry(self, ch, count=150):
        values = []
        while len(values) < count:
            made = glyphs.make_glyph(self.face, alphabet.CLASS_OF_CHAR[ch], self.rng)
            if made:
                bitmap, top, baseline, x_height, _ = made
                values.append(prepare_geometry(bitmap.shape[1], bitmap.shape[0], top, baseline, x_height))
        return np.median(np.array(values), axis=0)

    def test_x(self):
        g = self.geometry("x")
        self.assertAlmostEqual(g[2], 1.0, delta=0.12)   # top at the x-height
        self.assertAlmostEqual(g[3], 0.0, delta=0.1)    # bottom on the baseline

    def test_p_descends(self):
        g = self.geometry("p")
        self.assertLess(g[3], -0.3)
        self.assertAlmostEqual(g[2], 1.0, delta=0.15)


class Components(unittest.TestCase):
    def test_noise_away_from_the_glyph_is_dropped_and_touching_ink_kept(self):
        clean = np.zeros((30, 30), np.float32)
        clean[10:20, 10:14] = 1
        b = clean > 0.5
        b[0, 0] = True             # a speck far away
        b[20, 12] = True           # ink touching the stroke
        kept = glyphs._glyph_components(b, clean)
        self.assertFalse(kept[0, 0])
        self.assertTrue(kept[20, 12])
        self.assertEqual(kept.sum(), 41)

    def test_a_glyph_mostly_wiped_out_is_refused(self):
        clean = np.zeros((30, 30), np.float32)
        clean[5:25, 10:14] = 1
        b = np.zeros_like(clean, bool)
        b[5:8, 10:14] = True
        self.assertIsNone(glyphs._glyph_components(b, clean))


class LostHairlines(unittest.TestCase):
    def letter_n(self, arch_rows):
        b = np.zeros((40, 30), bool)
        b[8:40, 4:9] = True            # stems
        b[8:40, 20:25] = True
        b[8:8 + arch_rows, 4:25] = True  # the arch
        return b

    def test_a_thin_arch_is_lost_and_the_stems_stay(self):
        out = glyphs.lose_hairlines(self.letter_n(1), 30, np.random.default_rng(1), (0.1, 0.1))
        self.assertFalse(out[8, 12:18].any())
        self.assertTrue(out[20, 4:9].all() and out[20, 20:25].all())

    def test_a_stroke_thicker_than_the_loss_stays(self):
        out = glyphs.lose_hairlines(self.letter_n(6), 30, np.random.default_rng(1), (0.1, 0.1))
        self.assertTrue(out[8:14, 12:18].all())

    def test_a_stem_of_a_broken_letter_is_one_piece_and_a_whole_letter_none(self):
        broken = glyphs.lose_hairlines(self.letter_n(1), 32, np.random.default_rng(1), (0.1, 0.1))
        piece = glyphs.one_piece(broken, 32, 40, np.random.default_rng(2))
        self.assertEqual(piece.sum(), 32 * 5)
        self.assertIsNone(glyphs.one_piece(self.letter_n(6), 32, 40, np.random.default_rng(2)))

    def test_a_piece_below_the_baseline_is_no_stroke_but_maybe_a_comma(self):
        broken = glyphs.lose_hairlines(self.letter_n(1), 32, np.random.default_rng(1), (0.1, 0.1))
        self.assertIsNone(glyphs.one_piece(broken, 32, 20, np.random.default_rng(2)))

    def test_pieces_taller_than_the_x_height_are_letters_of_their_own(self):
        tall = np.zeros((60, 30), bool)
        tall[0:50, 2:6] = True          # an "l"
        tall[20:50, 15:19] = True
        pieces = {glyphs.one_piece(tall, 30, 50, np.random.default_rng(s)).sum() for s in range(10)}
        self.assertEqual(pieces, {30 * 4})


class NotACharacter(unittest.TestCase):
    def test_pairs_blots_and_textures_come_out_as_ink(self):
        face = glyphs.FaceRenderer(face_file("DejaVu Sans"))
        rng = np.random.default_rng(3)
        made = [glyphs.make_glyph(face, alphabet.NOT_A_CHARACTER, rng) for _ in range(60)]
        good = [m for m in made if m is not None]
        self.assertGreater(len(good), 45)
        for bitmap, _, _, x_height, _ in good:
            self.assertTrue(bitmap[0].any() and bitmap[-1].any() and bitmap[:, 0].any())
            self.assertGreater(x_height, 0)


if __name__ == "__main__":
    unittest.main()
