#!/usr/bin/python3
"""The letter model of the page's languages: how often each letter follows two others in the words
of Debian's word lists (wngerman, wamerican, wfrench, ...), written to data/letters.tsv.

  training/letter_model.py [OUTPUT]        (default data/letters.tsv; scripts/setup-training
                                            installs the word lists)

Each line is `language<TAB>three characters<TAB>count`: `^` stands before a word's first letter,
`$` after its last, letters are small. Words are counted once each, whatever their frequency in
running text: the model says which letter sequences a language spells, which is what tells a
misread word ("lreinuil") from a plausible one. Sequences seen fewer than MIN_COUNT times are left
out (the program backs off to shorter contexts for them), which keeps the file small.
"""
import sys
from collections import Counter
from pathlib import Path

# The program's language codes and their Debian word lists (in /usr/share/dict).
WORD_LISTS = {"deu": "ngerman", "eng": "american-english", "fra": "french", "ita": "italian",
              "spa": "spanish", "por": "portuguese", "nld": "dutch", "dan": "danish",
              "swe": "swedish", "nob": "bokmaal", "cat": "catalan"}
DICT_DIR = Path("/usr/share/dict")
MIN_COUNT = 3
BEGIN, END = "^", "$"


def letter_runs(word):
    """The word's runs of letters, small (a hyphen or an apostrophe separates two); none when a
    letter is not in Windows-1252, the program's character set."""
    runs, run = [], ""
    for ch in word.strip().lower():
        if ch.isalpha():
            run += ch
        elif ch in "-'":
            runs.append(run)
            run = ""
        else:
            return []
    runs.append(run)
    try:
        "".join(runs).encode("cp1252")
    except UnicodeEncodeError:
        return []
    return [r for r in runs if r]


def trigrams(path):
    counts = Counter()
    with open(path, encoding="utf-8", errors="ignore") as f:
        for word in f:
            for run in letter_runs(word):
                s = BEGIN * 2 + run + END
                for i in range(2, len(s)):
                    counts[s[i - 2:i + 1]] += 1
    return counts


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "data" / "letters.tsv"
    lines = ["# Letter trigrams of Debian's word lists: language, three characters (^ before a word,",
             "# $ after it), how many words spell them. Made by training/letter_model.py."]
    for code, name in WORD_LISTS.items():
        path = DICT_DIR / name
        if not path.exists():
            sys.exit(f"{path} missing: run scripts/setup-training")
        counts = trigrams(path)
        for gram, n in sorted(counts.items()):
            if n >= MIN_COUNT:
                lines.append(f"{code}\t{gram}\t{n}")
    out.write_text("\n".join(lines) + "\n", encoding="utf-8")
    print(f"{out}: {len(lines) - 2} trigrams of {len(WORD_LISTS)} languages")


if __name__ == "__main__":
    main()
