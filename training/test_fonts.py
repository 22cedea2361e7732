"""Checks of the families list and of how a family's faces are chosen."""
import os
import tempfile
import unittest

import fonts

TEMPLATE_FAMILIES = ["Liberation Sans", "Liberation Serif", "DejaVu Sans", "DejaVu Serif", "Carlito",
                     "C059", "P052", "EB Garamond"]


class FamiliesList(unittest.TestCase):
    def setUp(self):
        self.families = fonts.read_families()

    def test_enough_families_and_a_fifth_held_out(self):
        self.assertGreaterEqual(len(self.families), 80)
        held = [f for f in self.families if f.role == "heldout"]
        self.assertGreaterEqual(len(held) * 5, len(self.families))
        self.assertEqual(len({f.name for f in self.families}), len(self.families))

    def test_the_template_families_train(self):
        roles = {f.name: f.role for f in self.families}
        for name in TEMPLATE_FAMILIES:
            self.assertEqual(roles[name], "train", name)

    def test_each_main_style_group_has_a_held_out_family(self):
        held_groups = {f.group for f in self.families if f.role == "heldout"}
        for group in ["tex", "typewriter", "geometric-sans", "old-style", "book-serif", "humanist-sans",
                      "monospaced", "condensed"]:
            self.assertIn(group, held_groups)

    def test_a_wrong_role_is_refused(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "f.txt")
            with open(path, "w") as f:
                f.write("# comment\nSome Face\tfonts-some\tmaybe\tbook-serif\n")
            with self.assertRaises(ValueError):
                fonts.read_families(path)


class FacesOf(unittest.TestCase):
    INSTALLED = [
        (["Face"], 80.0, False, 100.0, "/f/Face-Regular.ttf"),
        (["Face", "Face Condensed"], 80.0, False, 75.0, "/f/FaceCond-Regular.ttf"),
        (["Face"], 50.0, False, 100.0, "/f/Face-Light.ttf"),
        (["Face"], 200.0, False, 100.0, "/f/Face-Bold.ttf"),
        (["Face"], 80.0, True, 100.0, "/f/Face-Italic.ttf"),
        (["Face", "Face Condensed"], 200.0, False, 75.0, "/f/FaceCond-Bold.ttf"),
        # wrong metadata: every file claims to be the regular face
        (["Odd"], 50.0, False, 100.0, "/f/Odd Bold Italic.otf"),
        (["Odd"], 50.0, False, 100.0, "/f/Odd.otf"),
        # a variable font answers both weights with one file
        (["Var"], 80.0, False, 100.0, "/f/Var[wght].ttf"),
        (["Var"], 200.0, False, 100.0, "/f/Var[wght].ttf"),
    ]

    def faces(self, family):
        return {f.style: os.path.basename(f.path) for f in fonts.faces_of(family, self.INSTALLED)}

    def test_styles_by_weight_and_slant_at_normal_width(self):
        self.assertEqual(self.faces("Face"), {"regular": "Face-Regular.ttf", "bold": "Face-Bold.ttf",
                                              "italic": "Face-Italic.ttf"})

    def test_a_secondary_family_name_gives_its_own_faces(self):
        self.assertEqual(self.faces("Face Condensed"), {"regular": "FaceCond-Regular.ttf",
                                                        "bold": "FaceCond-Bold.ttf"})

    def test_file_names_overrule_wrong_metadata(self):
        self.assertEqual(self.faces("Odd"), {"regular": "Odd.otf"})

    def test_one_file_is_one_face(self):
        self.assertEqual(self.faces("Var"), {"regular": "Var[wght].ttf"})


if __name__ == "__main__":
    unittest.main()
