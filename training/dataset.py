"""Renders a data set of prepared glyphs from a list of faces, in worker processes, reproducibly."""
import multiprocessing

import numpy as np

import alphabet
import glyphs
from prepare import SIZE, SUBSAMPLES, prepare_geometry, prepare_image

# Image pixels are means of 16 samples: stored exactly as counts 0..16 in a byte.
LEVELS = SUBSAMPLES * SUBSAMPLES
# A face's glyphs are rendered in chunks of this many: one task for a worker.
CHUNK = 2000

_distribution = None


def _class_distribution():
    global _distribution
    if _distribution is None:
        _distribution = alphabet.class_distribution()
    return _distribution


def _render_chunk(task):
    path, family_index, count, seed = task
    rng = np.random.default_rng(seed)
    face = glyphs.FaceRenderer(path)
    dist = _class_distribution().copy()
    missing = [alphabet.CLASS_OF_CHAR[c] for c in alphabet.CHARS if c not in face.available]
    dist[missing] = 0
    dist /= dist.sum()
    images = np.zeros((count, SIZE, SIZE), np.uint8)
    geometry = np.zeros((count, 5), np.float32)
    labels = np.zeros(count, np.int16)
    flags = np.zeros(count, np.int32)
    raw = []
    n = 0
    while n < count:
        if rng.random() < glyphs.NOT_A_CHARACTER_SHARE:
            cls = alphabet.NOT_A_CHARACTER
        else:
            cls = int(rng.choice(alphabet.NUM_CLASSES, p=dist))
        made = glyphs.make_glyph(face, cls, rng)
        if made is None:
            continue
        bitmap, top, baseline, x_height, flag = made
        h, w = bitmap.shape
        images[n] = np.round(prepare_image(bitmap) * LEVELS).astype(np.uint8)
        geometry[n] = prepare_geometry(w, h, top, baseline, x_height)
        labels[n] = cls
        flags[n] = flag
        raw.append((bitmap, top, baseline, x_height))
        n += 1
    families = np.full(count, family_index, np.int16)
    return images, geometry, labels, flags, families, raw


def plan(families, faces, role, total, seed):
    """Tasks giving each family of the role an equal share of total, split over its faces."""
    tasks = []
    chosen = [(i, f) for i, f in enumerate(families) if f.role == role]
    per_family = total // len(chosen)
    for index, fam in chosen:
        family_faces = faces[fam.name]
        for k, face in enumerate(family_faces):
            share = per_family // len(family_faces) + (1 if k < per_family % len(family_faces) else 0)
            for start in range(0, share, CHUNK):
                tasks.append((face.path, index, min(CHUNK, share - start), seed * 1_000_003 + len(tasks)))
    return tasks


def render(tasks, workers, keep_raw=False):
    """The tasks' samples concatenated in task order (so the same tasks give the same data)."""
    with multiprocessing.Pool(workers) as pool:
        parts = pool.map(_render_chunk, tasks, chunksize=1)
    data = {name: np.concatenate([p[i] for p in parts])
            for i, name in enumerate(["images", "geometry", "labels", "flags", "families"])}
    if keep_raw:
        data["raw"] = [r for p in parts for r in p[5]]
    return data
