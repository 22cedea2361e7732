"""The model's record: what made it, and how well it reads the held-out families."""
from collections import Counter

import numpy as np

import alphabet
import glyphs
from model import multiply_adds

# Classes that many faces draw alike in shape and place; the program settles them by context.
TWINS = [("l", "I", "|"), ("O", "0"), (",", "‚"), ("'", "’")]
CONFIDENCE_BINS = [0.0, 0.3, 0.5, 0.7, 0.9, 0.97, 1.0001]
XH_BINS = [6, 8, 12, 20, 30, 45, 61]
DOUBTFUL = 0.5


def _name(cls):
    return "(not one character)" if cls == alphabet.NOT_A_CHARACTER else repr(alphabet.CHARS[cls - 1])


def _twin_map():
    twin = np.arange(alphabet.NUM_CLASSES)
    for group in TWINS:
        first = alphabet.CLASS_OF_CHAR[group[0]]
        for ch in group:
            twin[alphabet.CLASS_OF_CHAR[ch]] = first
    return twin


def _acc(correct, mask):
    n = int(mask.sum())
    return f"{correct[mask].mean() * 100:.2f} %" if n else "-", n


def accuracy_lines(val_data, probs):
    labels = val_data["labels"].astype(np.int64)
    pred = probs.argmax(1)
    correct = pred == labels
    twin = _twin_map()
    out = ["| glyphs | accuracy | counting twins as one |", "|---|---|---|"]
    out.append(f"| all ({len(labels)}) | {correct.mean() * 100:.2f} % | "
               f"{(twin[pred] == twin[labels]).mean() * 100:.2f} % |")
    chars = labels != alphabet.NOT_A_CHARACTER
    out.append(f"| characters | {correct[chars].mean() * 100:.2f} % | "
               f"{(twin[pred] == twin[labels])[chars].mean() * 100:.2f} % |")
    junk = ~chars
    said_junk = pred == alphabet.NOT_A_CHARACTER
    out.append(f"| not one character: found (recall) | {correct[junk].mean() * 100:.2f} % | |")
    out.append(f"| said \"not one character\" and right (precision) | "
               f"{(labels[said_junk] == alphabet.NOT_A_CHARACTER).mean() * 100:.2f} % | |")
    return out, correct


def table(title, rows):
    return [f"| {title} | glyphs | accuracy |", "|---|---|---|"] + \
        [f"| {name} | {n} | {acc} |" for name, (acc, n) in rows]


def write(path, families, faces, settings, net, train_data, val_data, probs, judge, temperature, times,
          log_lines, onnx_bytes):
    labels = val_data["labels"].astype(np.int64)
    out = ["# The glyph model's record", "",
           "Written by `make model` (training/train.py). Validation glyphs come only from the held-out "
           "families, which the model never saw.", ""]
    out += ["## Settings", ""]
    out += [f"- {k}: `{v}`" for k, v in settings.items() if k not in ("work_dir", "data_dir", "cases")]
    params = sum(p.numel() for p in net.parameters())
    out += [f"- model: {params} parameters, {multiply_adds(net) / 1e6:.2f} M multiply-adds a glyph, "
            f"ONNX file {onnx_bytes / 1024:.0f} KiB, {alphabet.NUM_CLASSES} classes",
            f"- wall time: rendering {times['render_s'] / 60:.1f} min, training {times['train_s'] / 60:.1f} min, "
            f"all {times['total_s'] / 60:.1f} min (2 cores shared with other work)",
            f"- temperature: {temperature:.3f}", ""]
    out += ["## Families", ""]
    for role in ("train", "heldout"):
        fams = [f for f in families if f.role == role]
        n_faces = sum(len(faces[f.name]) for f in fams)
        out.append(f"**{role}** ({len(fams)} families, {n_faces} faces): " +
                   ", ".join(f"{f.name} ({f.group}, {len(faces[f.name])})" for f in fams) + ".")
        out.append("")
    out += ["## Data", "",
            f"{len(train_data['labels'])} training glyphs, {len(labels)} validation glyphs; "
            f"{(train_data['labels'] == 0).mean() * 100:.1f} % of the training glyphs are \"not one character\" "
            "(touching pairs, blots, halftone and grain). Share of training glyphs with each degradation "
            "(several may apply to one glyph; baseline and x-height jitter apply to all):", ""]
    tf = train_data["flags"]
    out.append(", ".join(f"{name} {((tf & bit) != 0).mean() * 100:.0f} %"
                         for name, bit in glyphs.FLAG.items()) + ".")
    out += ["", "## Validation accuracy (held-out families)", ""]
    lines, correct = accuracy_lines(val_data, probs)
    out += lines
    fam_rows = []
    for index in np.unique(val_data["families"]):
        fam_rows.append((families[index].name, _acc(correct, val_data["families"] == index)))
    out += [""] + table("held-out family", fam_rows)
    vf = val_data["flags"]
    undegraded = (vf & ~glyphs.FLAG["direct"]) == 0
    flag_rows = [("none (only thresholded)", _acc(correct, undegraded))]
    flag_rows += [(name, _acc(correct, (vf & bit) != 0)) for name, bit in glyphs.FLAG.items()]
    out += [""] + table("degradation", flag_rows)
    xh = np.array([r[3] for r in val_data["raw"]])
    xh_rows = [(f"{lo}-{hi - 1} px", _acc(correct, (xh >= lo) & (xh < hi))) for lo, hi in zip(XH_BINS, XH_BINS[1:])]
    out += [""] + table("x-height", xh_rows)
    pred = probs.argmax(1)
    confusions = Counter((int(a), int(b)) for a, b in zip(labels[~correct], pred[~correct]))
    out += ["", "Most frequent confusions (truth → read: count): " +
            ", ".join(f"{_name(a)} → {_name(b)}: {n}" for (a, b), n in confusions.most_common(20)) + "."]
    out += calibration_lines(probs[judge], labels[judge])
    out += ["", "## Training log", "", "```"] + log_lines + ["```", ""]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


def calibration_lines(probs, labels):
    top = probs.max(1)
    correct = probs.argmax(1) == labels
    out = ["", "## Calibration", "",
           f"On the half of the validation glyphs the temperature was not fitted on ({len(labels)}): "
           "the share read right among glyphs whose top probability falls in each bin.", "",
           "| top probability | glyphs | mean probability | read right |", "|---|---|---|---|"]
    for lo, hi in zip(CONFIDENCE_BINS, CONFIDENCE_BINS[1:]):
        m = (top >= lo) & (top < hi)
        if m.any():
            out.append(f"| {lo:.2f}-{min(hi, 1):.2f} | {m.sum()} | {top[m].mean():.3f} | {correct[m].mean() * 100:.1f} % |")
    doubtful = top < DOUBTFUL
    ece = sum(abs(top[m].mean() - correct[m].mean()) * m.mean()
              for lo, hi in zip(CONFIDENCE_BINS, CONFIDENCE_BINS[1:])
              for m in [(top >= lo) & (top < hi)] if m.any())
    out += ["", f"- p < {DOUBTFUL} (doubtful): {doubtful.sum()} glyphs, "
            f"{(~correct[doubtful]).mean() * 100 if doubtful.any() else 0:.1f} % of them wrong",
            f"- p ≥ {DOUBTFUL}: {(~doubtful).sum()} glyphs, {correct[~doubtful].mean() * 100:.2f} % of them right",
            f"- expected calibration error over these bins: {ece * 100:.2f} %"]
    return out
