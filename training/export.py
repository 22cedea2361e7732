"""The trained model to ONNX (probabilities inside the graph), checked through OpenCV's dnn module,
and the test cases that let the program check its own inference against PyTorch's."""
import os

import cv2
import numpy as np
import torch

import alphabet
from model import Calibrated
from prepare import prepare_geometry, prepare_image

OPSET = 11
# OpenCV must give PyTorch's probabilities within this.
OPENCV_TOLERANCE = 1e-4
CASE_CHARACTERS = 36
CASE_NOT_CHARACTERS = 4
# Small glyphs keep the cases file small.
CASE_MAX_PIXELS = 360
TOP = 5


def export(net, temperature, path):
    calibrated = Calibrated(net, temperature).eval()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # OpenCV 4.6 cannot import a graph whose two-dimensional input has a symbolic batch size
    # ("Inconsistent shape for ConcatLayer"): "geometry" is declared with batch 1, and OpenCV, which
    # infers every shape again from the inputs it is given, runs any batch (check_opencv runs 512).
    image, geometry = torch.zeros(1, 1, 32, 32), torch.zeros(1, 5)
    torch.onnx.export(calibrated, (image, geometry), path, opset_version=OPSET,
                      input_names=["image", "geometry"], output_names=["probabilities"],
                      dynamic_axes={"image": {0: "n"}, "probabilities": {0: "n"}})
    return calibrated


def opencv_probabilities(path, image, geometry):
    net = cv2.dnn.readNetFromONNX(path)
    net.setInput(np.ascontiguousarray(image, np.float32), "image")
    net.setInput(np.ascontiguousarray(geometry, np.float32), "geometry")
    return net.forward("probabilities")


def check_opencv(calibrated, path, images, geometry):
    """Raises unless OpenCV reads the file and gives PyTorch's probabilities."""
    image = images.float().numpy() / 16.0
    with torch.no_grad():
        expected = calibrated(torch.from_numpy(image), geometry).numpy()
    got = opencv_probabilities(path, image, geometry.numpy())
    worst = float(np.abs(got - expected).max())
    if worst > OPENCV_TOLERANCE:
        raise RuntimeError(f"OpenCV differs from PyTorch by {worst}")
    return worst


def _pick_cases(val_data, seed):
    """Indices of small validation glyphs: characters of many classes and flags, and a few class 0."""
    rng = np.random.default_rng(seed)
    labels = val_data["labels"]
    small = np.array([r[0].size <= CASE_MAX_PIXELS for r in val_data["raw"]])
    chars = np.nonzero(small & (labels != alphabet.NOT_A_CHARACTER))[0]
    picked, seen = [], set()
    for i in rng.permutation(chars):
        if labels[i] not in seen:
            seen.add(labels[i])
            picked.append(int(i))
        if len(picked) == CASE_CHARACTERS:
            break
    junk = np.nonzero(labels == alphabet.NOT_A_CHARACTER)[0]
    junk = sorted(junk, key=lambda i: val_data["raw"][i][0].size)[:CASE_NOT_CHARACTERS * 5]
    picked += [int(i) for i in rng.choice(junk, CASE_NOT_CHARACTERS, replace=False)]
    return picked


def write_cases(calibrated, val_data, path, seed):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    lines = ["# Glyphs from held-out families with the probabilities PyTorch gave (see training/README.md).",
             "# Written by training/export.py; the first five classes, best first."]
    for i in _pick_cases(val_data, seed):
        bitmap, top, baseline, x_height = val_data["raw"][i]
        x_height = max(1, round(x_height))  # whole pixels: any reader of the file parses them alike
        h, w = bitmap.shape
        image = torch.from_numpy(prepare_image(bitmap))[None, None]
        geometry = torch.from_numpy(prepare_geometry(w, h, top, baseline, x_height))[None]
        with torch.no_grad():
            p = calibrated(image, geometry)[0].numpy()
        best = np.argsort(-p, kind="stable")[:TOP]
        lines.append(f"glyph {w} {h} {top} {baseline} {x_height}")
        lines += ["".join("1" if v else "0" for v in row) for row in bitmap]
        lines.append("probs " + " ".join(f"{alphabet.CODES[c]}:{p[c]:.6f}" for c in best))
    with open(path, "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")
