"""Checks of the classes and of the draw over them."""
import os
import tempfile
import unittest

import numpy as np

import alphabet


class Classes(unittest.TestCase):
    def test_codes_are_single_windows_1252_bytes_in_order(self):
        self.assertEqual(alphabet.CODES[0], 0)
        self.assertEqual(alphabet.NUM_CLASSES, 166)
        self.assertEqual(alphabet.CODES[1:], sorted(set(alphabet.CODES[1:])))
        for ch, code in zip(alphabet.CHARS, alphabet.CODES[1:]):
            self.assertEqual(ch.encode("cp1252"), bytes([code]))

    def test_the_languages_letters_are_there(self):
        for ch in "äöüßÄÖÜéèçñøœŒŸšŽ¿¡€„“”‚‘’»«–—§":
            self.assertIn(ch, alphabet.CLASS_OF_CHAR)

    def test_labels_file_has_one_code_a_line(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "labels")
            alphabet.write_labels(path)
            with open(path) as f:
                self.assertEqual([int(line) for line in f], alphabet.CODES)


class Draw(unittest.TestCase):
    def test_every_character_is_drawn_and_e_most_often(self):
        dist = alphabet.class_distribution()
        self.assertAlmostEqual(dist.sum(), 1.0)
        self.assertEqual(dist[alphabet.NOT_A_CHARACTER], 0)
        self.assertTrue((dist[1:] > 0).all())
        self.assertEqual(int(np.argmax(dist)), alphabet.CLASS_OF_CHAR["e"])
        self.assertGreater(dist[alphabet.CLASS_OF_CHAR["ä"]], dist[alphabet.CLASS_OF_CHAR["Ÿ"]])


if __name__ == "__main__":
    unittest.main()
