"""The model's classes (Windows-1252 codes, 0 = not one character) and how often to draw each."""
import os
from collections import Counter

import numpy as np

NOT_A_CHARACTER = 0
_CHARS = (
    "abcdefghijklmnopqrstuvwxyz" "ABCDEFGHIJKLMNOPQRSTUVWXYZ" "0123456789"
    "äöüÄÖÜß"
    ".,:;?!·'\"„“”‚‘’»«-–—()/%§&€+=*#@[]_|"
    "éèêëàâáãåæçñóòôõøœíìîïúùûýÿšž"
    "ÉÈÊËÀÂÁÃÅÆÇÑÓÒÔÕØŒÍÌÎÏÚÙÛÝŸŠŽ"
    "¿¡"
)
# Output order: class 0 first, then the characters by their code.
CHARS = sorted(set(_CHARS), key=lambda c: c.encode("cp1252")[0])
CODES = [NOT_A_CHARACTER] + [c.encode("cp1252")[0] for c in CHARS]
NUM_CLASSES = len(CODES)
CLASS_OF_CHAR = {c: i + 1 for i, c in enumerate(CHARS)}

# Word lists the letter frequencies come from, with their share: the program reads German first.
WORD_LISTS = {"ngerman": 0.45, "american-english": 0.12, "french": 0.10, "italian": 0.06,
              "spanish": 0.07, "portuguese": 0.05, "dutch": 0.05, "swedish": 0.03, "danish": 0.03,
              "norsk": 0.02, "catalan": 0.02}
DICT_DIR = "/usr/share/dict"
# Digits and punctuation do not occur in word lists: their weight in running German text, roughly
# (per 100 letters); the rest of the punctuation gets RARE_MARK.
MARKS = {".": 1.2, ",": 1.2, "-": 0.5, ":": 0.2, ";": 0.1, "?": 0.1, "!": 0.1, "„": 0.15, "“": 0.15,
         "\"": 0.1, "'": 0.05, "(": 0.1, ")": 0.1, "/": 0.05, "%": 0.03, "–": 0.1}
DIGIT = 0.15
RARE_MARK = 0.02
# Share of draws from the text frequencies; the rest are uniform over the classes, so that rare
# characters are learned too.
TEXT_SHARE = 0.6


def letter_frequencies():
    """Relative frequency of each character (class index) in the word lists, marks and digits added."""
    freq = np.zeros(NUM_CLASSES)
    for name, share in WORD_LISTS.items():
        path = os.path.join(DICT_DIR, name)
        if not os.path.exists(path):
            raise RuntimeError(f"{path} missing: run scripts/setup-training")
        counts = np.zeros(NUM_CLASSES)
        with open(path, encoding="utf-8", errors="ignore") as f:
            for ch, n in Counter(f.read()).items():
                if ch in CLASS_OF_CHAR:
                    counts[CLASS_OF_CHAR[ch]] += n
        freq += share * counts / counts.sum()
    letters = freq.sum()
    for ch in CHARS:
        if ch.isdigit():
            freq[CLASS_OF_CHAR[ch]] = DIGIT / 100 * letters
        elif not ch.isalpha():
            freq[CLASS_OF_CHAR[ch]] = MARKS.get(ch, RARE_MARK) / 100 * letters
    return freq / freq.sum()


def class_distribution():
    """Probability of drawing each character class (class 0 is drawn separately)."""
    uniform = np.ones(NUM_CLASSES)
    uniform[NOT_A_CHARACTER] = 0
    return TEXT_SHARE * letter_frequencies() + (1 - TEXT_SHARE) * uniform / uniform.sum()


def write_labels(path):
    with open(path, "w", encoding="ascii") as f:
        for code in CODES:
            f.write(f"{code}\n")
