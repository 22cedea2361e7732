"""The families list and each family's regular, bold and italic faces, found through fontconfig."""
import os
import subprocess
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
FAMILIES_FILE = os.path.join(HERE, "families.txt")

# fontconfig's weight and slant scales: regular 80, medium 100, semibold 180, bold 200.
REGULAR_WEIGHT = 80
BOLD_WEIGHT = 200
NORMAL_WIDTH = 100
STYLES = {"regular": (REGULAR_WEIGHT, False), "bold": (BOLD_WEIGHT, False),
          "italic": (REGULAR_WEIGHT, True), "bold-italic": (BOLD_WEIGHT, True)}
# A face further than this from the wanted weight is another style (light, black), not this one.
WEIGHT_TOLERANCE = 30
OUTLINE_EXTENSIONS = (".ttf", ".otf")


@dataclass(frozen=True)
class Family:
    name: str
    package: str
    role: str      # "train" or "heldout"
    group: str


@dataclass(frozen=True)
class Face:
    family: str
    style: str
    path: str


def read_families(path=FAMILIES_FILE):
    families = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            name, package, role, group = line.rstrip("\n").split("\t")
            if role not in ("train", "heldout"):
                raise ValueError(f"{name}: role must be train or heldout, not {role}")
            families.append(Family(name, package, role, group))
    return families


def _installed_faces():
    """(family names, weight, italic, width, path) of every outline face fontconfig knows."""
    out = subprocess.run(["fc-list", "--format", "%{family}\t%{weight}\t%{slant}\t%{width}\t%{file}\n"],
                         capture_output=True, text=True, check=True).stdout
    faces = []
    for line in out.splitlines():
        names, weight, slant, width, path = line.split("\t")
        if not path.lower().endswith(OUTLINE_EXTENSIONS):
            continue
        # Variable fonts list a range such as "[80 200]": no single style.
        if weight.startswith("[") or width.startswith("["):
            continue
        faces.append((names.split(","), float(weight), int(slant) > 0, float(width), path))
    return faces


def _style_words_against(path, style):
    """How many style words in the file name contradict the style (some faces carry wrong metadata)."""
    name = os.path.basename(path).lower()
    wanted = style.split("-")
    return sum(1 for word in ("bold", "italic", "oblique") if word in name
               and not (word in wanted or (word == "oblique" and "italic" in wanted)))


def faces_of(family, installed):
    """The family's faces, one a style it has, the closest to the style's weight and normal width."""
    faces = []
    for style, (weight, italic) in STYLES.items():
        candidates = [f for f in installed if family in f[0] and f[2] == italic
                      and abs(f[1] - weight) <= WEIGHT_TOLERANCE]
        if candidates:
            best = min(candidates, key=lambda f: (f[0][0] != family, _style_words_against(f[4], style),
                                                  len(f[0]), abs(f[3] - NORMAL_WIDTH),
                                                  abs(f[1] - weight), f[4]))
            # A variable font answers every style with one file: keep it once.
            if all(face.path != best[4] for face in faces):
                faces.append(Face(family, style, best[4]))
    return faces


def all_faces(families):
    """Faces of every family; a family with no face is an error (its package is missing)."""
    installed = _installed_faces()
    result = {}
    for fam in families:
        faces = faces_of(fam.name, installed)
        if not faces:
            raise RuntimeError(f"no face of {fam.name}: run scripts/setup-training ({fam.package})")
        result[fam.name] = faces
    return result
