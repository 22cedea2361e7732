"""Training glyphs: single characters rendered from a face and degraded as printed pages degrade
(blur, contrast, light, noise, JPEG, thresholds, copies of copies, lost hairlines, breaks, specks,
low and fax resolutions, rotation), then thresholded, cropped to their ink and measured against their line as the
program measures them (its baseline and x-height estimates jittered)."""
import math

import cv2
import numpy as np
from PIL import Image, ImageDraw, ImageFont

from alphabet import CHARS, CLASS_OF_CHAR, NOT_A_CHARACTER

# Every size is scaled down from a master rendering with this x-height: area sampling, as a scanner
# sees print, at any sub-pixel position.
MASTER_XH = 64
MIN_XH, MAX_XH = 6.0, 60.0
# Most printed text is 8-30 px high in x at 150-600 dpi: a log-normal around 14 px, and some uniform.
XH_LOG_MEAN, XH_LOG_SIGMA, XH_UNIFORM_SHARE = math.log(14.0), 0.45, 0.15
# Share of glyphs rendered directly at their size by FreeType (hinted, whole pixels) as the bench
# pages are, rather than scaled from the master.
DIRECT_SHARE = 0.25
NOT_A_CHARACTER_SHARE = 0.075
# The program estimates each line's baseline and x-height: its errors, relative to the x-height.
BASELINE_JITTER, XHEIGHT_JITTER = 0.10, 0.10
MAX_ROTATION_DEG = 3.0
# A degraded glyph must keep this share of its height and width, or it is no longer that character.
MIN_KEPT_EXTENT = 0.7
# Pairs that touching look like one letter: not "not one character".
# A fax's rows at half resolution, or a light copy of a copy, lose every stroke thinner than about
# a pixel there: the arch of an "n", the bar of an "e", the serifs. Share of glyphs so degraded (of
# fax glyphs, FAX_HAIRLINE_SHARE), and the thickness lost, in x-heights.
HAIRLINE_SHARE, FAX_HAIRLINE_SHARE = 0.08, 0.5
HAIRLINE_LOST = (0.06, 0.13)
# Shares of glyphs sampled at a low resolution and at a fax's (half the rows). Fax glyphs are
# the hardest to read (87 % right against 97 % undegraded at 6 %), so they get more.
LOW_RESOLUTION_SHARE, FAX_SHARE = 0.10, 0.10
# A broken letter's strokes are drawn from letters that lost more (most letters keep their hairlines
# at the common losses).
PIECE_HAIRLINE_LOST = (0.10, 0.20)
# Such a letter falls into strokes that the program reads one by one before it joins them: a stem
# of x-height without a dot, half a bowl. These strokes are no character. Letters they come from,
# and the stroke's extent (in x-heights) that is no character of its own: x-height tall, thin.
BROKEN_LETTERS = "mnhuaeodbpqgcsrvwkxyzäöü"
PIECE_HEIGHT = (0.6, 1.2)
PIECE_MAX_WIDTH = 0.3
# Such a stroke stands on the baseline (within this share of the x-height) and rises no higher
# than an x-height and a bit: a descender's piece is shaped and placed like a comma, and a
# comma is a character.
PIECE_BASELINE_SLACK = 0.15
# Kinds of "not one character": touching pair, blot, texture, a broken letter's stroke.
NOT_A_CHARACTER_KINDS = (0.35, 0.15, 0.15, 0.35)
LETTER_LIKE_PAIRS = {"rn", "rm", "cl", "cI", "vv", "VV", "ri", "nn", "ii", "ll", "Il", "lI", "II", "IJ"}
PAIR_CHARS = [c for c in CHARS if c.isalnum()]

# Degradation flags, one bit each, kept with every sample for the record.
FLAGS = ["direct", "rotated", "blur", "contrast", "uneven-light", "noise", "jpeg", "heavy-threshold",
         "light-threshold", "fattened", "thinned", "broken", "specks", "low-resolution", "fax",
         "lost-hairlines"]
FLAG = {name: 1 << i for i, name in enumerate(FLAGS)}


class FaceRenderer:
    """One face's glyphs: masters rendered once, direct renderings by size."""

    def __init__(self, path):
        self.path = path
        probe = ImageFont.truetype(path, 200)
        self.x_ratio = -probe.getbbox("x", anchor="ls")[1] / 200.0
        self.master_font = ImageFont.truetype(path, max(8, round(MASTER_XH / self.x_ratio)))
        self.master_xh = -self.master_font.getbbox("x", anchor="ls")[1]
        self.masters = {}
        self.direct_fonts = {}
        missing, _ = render(self.master_font, "\U0010fffd")
        self.available = [c for c in CHARS if self._has(c, missing)]

    def _has(self, ch, missing):
        """Whether the face draws the character itself (not its missing-glyph box)."""
        ink, _ = self.master(ch)
        return ink.any() and (ink.shape != missing.shape or (ink != missing).any())

    def master(self, ch):
        if ch not in self.masters:
            self.masters[ch] = render(self.master_font, ch)
        return self.masters[ch]

    def direct(self, ch, xh):
        """The character rendered at the size whose "x" is about xh, and that x-height."""
        size = max(4, round(xh / self.x_ratio))
        if size not in self.direct_fonts:
            font = ImageFont.truetype(self.path, size)
            self.direct_fonts[size] = (font, max(1, -font.getbbox("x", anchor="ls")[1]))
        font, true_xh = self.direct_fonts[size]
        ink, baseline = render(font, ch)
        return ink, baseline, true_xh


def render(font, text):
    """Grey coverage (float32, ink 1) of text and the row boundary of its baseline."""
    left, top, right, bottom = font.getbbox(text, anchor="ls")
    w, h = max(1, right - left), max(1, bottom - top)
    img = Image.new("L", (w, h), 0)
    ImageDraw.Draw(img).text((-left, -top), text, font=font, fill=255, anchor="ls")
    return np.asarray(img, dtype=np.float32) / 255.0, float(-top)


def draw_x_height(rng):
    if rng.random() < XH_UNIFORM_SHARE:
        return rng.uniform(MIN_XH, MAX_XH)
    return float(np.clip(math.exp(rng.normal(XH_LOG_MEAN, XH_LOG_SIGMA)), MIN_XH, MAX_XH))


# ---- shapes at master size ----

def touching_pair(face, rng):
    """Two characters squeezed until they touch, on one baseline."""
    while True:
        a, b = rng.choice(PAIR_CHARS, 2)
        if a + b not in LETTER_LIKE_PAIRS and a in face.available and b in face.available:
            break
    (ia, ba), (ib, bb) = face.master(a), face.master(b)
    right_a = np.nonzero(ia.max(axis=0) > 0.5)[0]
    left_b = np.nonzero(ib.max(axis=0) > 0.5)[0]
    right_a = right_a[-1] if len(right_a) else ia.shape[1] - 1
    left_b = left_b[0] if len(left_b) else 0
    overlap = int(rng.uniform(0.03, 0.15) * MASTER_XH)
    x_b = right_a - left_b - overlap
    top = max(ba, bb)
    height = int(top + max(ia.shape[0] - ba, ib.shape[0] - bb)) + 1
    width = max(ia.shape[1], x_b + ib.shape[1]) - min(0, x_b)
    shift = -min(0, x_b)
    out = np.zeros((height, width), np.float32)
    ya, yb = int(top - ba), int(top - bb)
    out[ya:ya + ia.shape[0], shift:shift + ia.shape[1]] = ia
    region = out[yb:yb + ib.shape[0], shift + x_b:shift + x_b + ib.shape[1]]
    np.maximum(region, ib, out=region)
    return out, float(top)


def blob(rng):
    """A speck or blot of a few overlapping ellipses, larger than any dot of the text."""
    size = rng.uniform(0.45, 2.0) * MASTER_XH
    side = int(size * 1.6) + 4
    img = np.zeros((side, side), np.uint8)
    for _ in range(rng.integers(2, 6)):
        centre = (int(side / 2 + rng.normal(0, size / 5)), int(side / 2 + rng.normal(0, size / 5)))
        axes = (max(2, int(rng.uniform(0.15, 0.5) * size)), max(2, int(rng.uniform(0.15, 0.5) * size)))
        cv2.ellipse(img, centre, axes, rng.uniform(0, 180), 0, 360, 255, -1)
    return img.astype(np.float32) / 255.0, _random_baseline(side, rng)


def texture(rng):
    """A piece of a halftone picture or of noisy grey."""
    h = int(rng.uniform(0.6, 3.0) * MASTER_XH)
    w = int(rng.uniform(0.6, 3.0) * MASTER_XH)
    if rng.random() < 0.5:
        pitch = rng.uniform(0.12, 0.35) * MASTER_XH
        yy, xx = np.mgrid[0:h, 0:w].astype(np.float32)
        tone = cv2.GaussianBlur(rng.random((h, w)).astype(np.float32), (0, 0), pitch * 2)
        tone = (tone - tone.min()) / (np.ptp(tone) + 1e-6)
        cell = np.hypot((xx % pitch) - pitch / 2, (yy % pitch) - pitch / 2) / (pitch / 2)
        img = (cell < tone * 1.2).astype(np.float32)
    else:
        grain = cv2.GaussianBlur(rng.random((h, w)).astype(np.float32), (0, 0), rng.uniform(1.5, 5))
        img = (grain > np.quantile(grain, rng.uniform(0.3, 0.7))).astype(np.float32)
    return img, _random_baseline(h, rng)


def _random_baseline(height, rng):
    """Where the line's baseline lies for a shape that belongs to no letter."""
    return float(rng.uniform(-0.5, 1.0) * height + rng.uniform(-0.5, 1.0) * MASTER_XH)


# ---- from master size to the page ----

def _scale_master(ink, baseline, xh, master_xh, rng, vertical=1.0):
    """Area-scaled to x-height xh at a random sub-pixel position; vertical < 1 squeezes rows (fax)."""
    scale = xh / master_xh
    dx, dy = (int(rng.integers(0, max(1, math.ceil(1 / scale)))) for _ in range(2))
    ink = np.pad(ink, ((dy, 0), (dx, 0)))
    out_w = max(1, round(ink.shape[1] * scale))
    out_h = max(1, round(ink.shape[0] * scale * vertical))
    small = cv2.resize(ink, (out_w, out_h), interpolation=cv2.INTER_AREA)
    return small, (baseline + dy) * out_h / ink.shape[0]


def _rotate(ink, baseline, rng):
    angle = float(np.clip(rng.normal(0, 1.2), -MAX_ROTATION_DEG, MAX_ROTATION_DEG))
    h, w = ink.shape
    pad = int(0.1 * max(h, w)) + 2
    ink = np.pad(ink, pad)
    centre = (w / 2 + pad, baseline + pad)
    m = cv2.getRotationMatrix2D(centre, angle, 1.0)
    return cv2.warpAffine(ink, m, (ink.shape[1], ink.shape[0]), flags=cv2.INTER_LINEAR), baseline + pad


def degrade_grey(g, rng, flags):
    """Optics, paper, light, sensor noise and JPEG on grey coverage; returns it and ink/paper levels."""
    if rng.random() < 0.5:
        flags |= FLAG["blur"]
        g = cv2.GaussianBlur(g, (0, 0), rng.uniform(0.3, 1.3))
    paper, ink_level = 0.0, 1.0
    if rng.random() < 0.4:
        flags |= FLAG["contrast"]
        paper, ink_level = rng.uniform(0.0, 0.25), rng.uniform(0.55, 0.95)
    g = paper + (ink_level - paper) * g
    if rng.random() < 0.2:
        flags |= FLAG["uneven-light"]
        h, w = g.shape
        yy, xx = np.mgrid[0:h, 0:w].astype(np.float32)
        a = rng.uniform(0, 2 * math.pi)
        ramp = (xx * math.cos(a) + yy * math.sin(a)) / max(h, w)
        g = g + rng.uniform(-0.25, 0.25) * ramp
    if rng.random() < 0.35:
        flags |= FLAG["noise"]
        sigma = rng.uniform(0.03, 0.15) * (ink_level - paper)
        g = g + rng.normal(0, sigma, g.shape).astype(np.float32)
    if rng.random() < 0.15:
        flags |= FLAG["jpeg"]
        page = np.clip(255 * (1 - g), 0, 255).astype(np.uint8)
        ok, data = cv2.imencode(".jpg", page, [cv2.IMWRITE_JPEG_QUALITY, int(rng.integers(15, 70))])
        g = 1 - cv2.imdecode(data, cv2.IMREAD_GRAYSCALE).astype(np.float32) / 255
    return g.astype(np.float32), paper, ink_level, flags


def threshold(g, paper, ink_level, rng, flags):
    """Bilevel at a level between paper and ink: low levels fatten strokes, high ones thin them."""
    r = rng.random()
    if r < 0.12:
        flags |= FLAG["heavy-threshold"]
        tau = rng.uniform(0.2, 0.35)
    elif r < 0.24:
        flags |= FLAG["light-threshold"]
        tau = rng.uniform(0.65, 0.8)
    else:
        tau = rng.uniform(0.35, 0.65)
    return g > paper + tau * (ink_level - paper), flags


def degrade_bilevel(b, rng, flags):
    """Copies of copies (fattened, thinned), broken strokes and specks on the bilevel glyph."""
    r = rng.random()
    kernel = np.ones((2, 2), np.uint8) if rng.random() < 0.5 else np.ones((1, 2), np.uint8)
    if r < 0.08:
        flags |= FLAG["fattened"]
        b = cv2.dilate(b.astype(np.uint8), kernel) > 0
    elif r < 0.16:
        thinner = cv2.erode(b.astype(np.uint8), kernel) > 0
        # Thinning that wipes out most of the glyph is no copy anybody reads.
        if thinner.sum() > 0.5 * b.sum():
            flags |= FLAG["thinned"]
            b = thinner
    if rng.random() < 0.08 and b.any():
        flags |= FLAG["broken"]
        b = b.copy()
        h, w = b.shape
        for _ in range(rng.integers(1, 3)):
            p0 = (int(rng.integers(0, w)), int(rng.integers(0, h)))
            p1 = (int(rng.integers(0, w)), int(rng.integers(0, h)))
            cut = np.zeros((h, w), np.uint8)
            cv2.line(cut, p0, p1, 1, 1)
            b[cut > 0] = False
    if rng.random() < 0.08 and b.any():
        flags |= FLAG["specks"]
        b = b.copy()
        ys, xs = np.nonzero(b)
        for _ in range(rng.integers(1, 4)):
            y = int(rng.integers(ys.min(), ys.max() + 1))
            x = int(rng.integers(xs.min(), xs.max() + 1))
            s = int(rng.integers(1, 3))
            b[y:y + s, x:x + s] = True
    return b, flags


def lose_hairlines(b, xh, rng, lost=HAIRLINE_LOST):
    """Strokes thinner than a share of the x-height gone: rows thinner than that always, columns
    (the hairlines of a "N" or "A") sometimes, as a light copy loses them."""
    rows = max(2, round(rng.uniform(*lost) * xh))
    b = cv2.morphologyEx(b.astype(np.uint8), cv2.MORPH_OPEN, np.ones((rows, 1), np.uint8))
    if rng.random() < 0.3:
        b = cv2.morphologyEx(b, cv2.MORPH_OPEN, np.ones((1, 2), np.uint8))
    return b > 0


def one_piece(b, xh, baseline, rng):
    """One stroke of a letter broken apart that could be no character of its own (x-height tall,
    thin, standing on the baseline: the row boundary `baseline`), alone; None when the letter did
    not break so."""
    count, labels, stats, _ = cv2.connectedComponentsWithStats(b.astype(np.uint8), connectivity=8)
    if count < 3:
        return None

    def stands_on_baseline(i):
        bottom = stats[i, cv2.CC_STAT_TOP] + stats[i, cv2.CC_STAT_HEIGHT]  # row boundary
        return abs(bottom - baseline) <= PIECE_BASELINE_SLACK * xh

    pieces = [i for i in range(1, count)
              if PIECE_HEIGHT[0] * xh <= stats[i, cv2.CC_STAT_HEIGHT] <= PIECE_HEIGHT[1] * xh
              and stats[i, cv2.CC_STAT_WIDTH] <= PIECE_MAX_WIDTH * xh and stands_on_baseline(i)]
    if not pieces:
        return None
    return labels == pieces[int(rng.integers(0, len(pieces)))]


def _not_a_character_shape(face, rng):
    """(master, its baseline, its x-height, a broken letter's stroke wanted) for class 0."""
    kind = rng.choice(len(NOT_A_CHARACTER_KINDS), p=NOT_A_CHARACTER_KINDS)
    if kind == 0:
        master, base = touching_pair(face, rng)
        return master, base, face.master_xh, False
    if kind == 3:
        letters = [c for c in BROKEN_LETTERS if c in face.available]
        master, base = face.master(letters[int(rng.integers(0, len(letters)))])
        return master, base, face.master_xh, True
    master, base = blob(rng) if kind == 1 else texture(rng)
    return master, base, MASTER_XH, False


def make_glyph(face, cls, rng):
    """One glyph of class cls from the face: (bitmap, ink top, baseline row, x-height, flags) or None."""
    flags = 0
    xh = draw_x_height(rng)
    r = rng.random()
    lowres = 1.0
    vertical = 1.0
    if r < LOW_RESOLUTION_SHARE:
        flags |= FLAG["low-resolution"]
        lowres = rng.uniform(1.3, 2.2)
    elif r < LOW_RESOLUTION_SHARE + FAX_SHARE:
        flags |= FLAG["fax"]
        vertical = 0.5
    piece = False
    if cls == NOT_A_CHARACTER:
        master, base, master_xh, piece = _not_a_character_shape(face, rng)
        g, baseline = None, None
    else:
        ch = CHARS[cls - 1]
        if rng.random() < DIRECT_SHARE and lowres == 1.0 and vertical == 1.0:
            flags |= FLAG["direct"]
            g, baseline, true_xh = face.direct(ch, xh)
            xh = float(true_xh)
        else:
            master, base = face.master(ch)
            master_xh = face.master_xh
            g = None
    if g is None:
        if rng.random() < 0.3:
            flags |= FLAG["rotated"]
            master, base = _rotate(master, base, rng)
        g, baseline = _scale_master(master, base, xh / lowres, master_xh, rng, vertical)
    margin = 4
    g = np.pad(g, margin)
    baseline += margin
    clean = g
    g, paper, ink_level, flags = degrade_grey(g, rng, flags)
    if lowres != 1.0:
        size = (round(g.shape[1] * lowres), round(g.shape[0] * lowres))
        baseline *= size[1] / g.shape[0]
        g = cv2.resize(g, size, interpolation=cv2.INTER_LINEAR)
        clean = cv2.resize(clean, size, interpolation=cv2.INTER_LINEAR)
    b, flags = threshold(g, paper, ink_level, rng, flags)
    if vertical != 1.0:
        b = np.repeat(b, 2, axis=0)
        clean = np.repeat(clean, 2, axis=0)
        baseline *= 2
    if piece or rng.random() < (FAX_HAIRLINE_SHARE if vertical != 1.0 else HAIRLINE_SHARE):
        flags |= FLAG["lost-hairlines"]
        b = lose_hairlines(b, xh, rng, PIECE_HAIRLINE_LOST if piece else HAIRLINE_LOST)
    b, flags = degrade_bilevel(b, rng, flags)
    b = _glyph_components(b, clean)
    if b is not None and piece:
        b = one_piece(b, xh, baseline, rng)
    if b is None:
        return None
    rows = np.nonzero(b.any(axis=1))[0]
    cols = np.nonzero(b.any(axis=0))[0]
    bitmap = b[rows[0]:rows[-1] + 1, cols[0]:cols[-1] + 1]
    # The program's baseline is the lowest row of an "x": the row just above the baseline boundary.
    baseline_row = round(baseline) - 1 + round(rng.uniform(-BASELINE_JITTER, BASELINE_JITTER) * xh)
    x_height = max(1.0, xh * (1 + rng.uniform(-XHEIGHT_JITTER, XHEIGHT_JITTER)))
    return bitmap, int(rows[0]), int(baseline_row), round(x_height, 2), flags


def _extent(mask):
    rows = np.nonzero(mask.any(axis=1))[0]
    cols = np.nonzero(mask.any(axis=0))[0]
    return (rows[-1] - rows[0] + 1, cols[-1] - cols[0] + 1) if len(rows) else (0, 0)


def _glyph_components(b, clean):
    """The ink the program would take for this glyph: the pieces touching its undegraded shape (noise
    further out is other objects). None when degradation left too little of the glyph to read."""
    core = clean > 0.5
    if not core.any():
        core = clean >= clean.max() * 0.5
    near = cv2.dilate(core.astype(np.uint8), np.ones((5, 5), np.uint8)) > 0
    count, labels = cv2.connectedComponents(b.astype(np.uint8), connectivity=8)
    keep = np.zeros(count, bool)
    keep[np.unique(labels[near & b])] = True
    keep[0] = False
    kept = keep[labels]
    (ch, cw), (kh, kw) = _extent(core), _extent(kept)
    if kh == 0 or kh < MIN_KEPT_EXTENT * ch - 1 or kw < MIN_KEPT_EXTENT * cw - 1:
        return None
    return kept
