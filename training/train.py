#!/usr/bin/python3
"""make model: renders the training and validation glyphs, trains the glyph model, fits its
temperature, exports it to ONNX with its labels and test cases, and writes its record."""
import argparse
import hashlib
import os
import time

import numpy as np
import torch
from torch import nn

import alphabet
import dataset
import export
import fonts
import report
from model import GlyphNet

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BATCH = 256
LEARNING_RATE = 3e-3
WEIGHT_DECAY = 1e-4


def parse_args():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--train-samples", type=int, default=500_000)
    p.add_argument("--val-samples", type=int, default=40_000)
    p.add_argument("--epochs", type=int, default=6)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--workers", type=int, default=2)
    # Two threads: on an idle machine about twice as fast as one. On a machine busy with other
    # builds one trained three times faster than two (944 against 312 glyphs/s): --threads 1.
    p.add_argument("--threads", type=int, default=2)
    p.add_argument("--work-dir", default=os.path.join(HERE, "out"))
    p.add_argument("--data-dir", default=os.path.join(ROOT, "data"))
    p.add_argument("--cases", default=os.path.join(ROOT, "tests", "data", "glyphnet", "cases.txt"))
    return p.parse_args()


# The files that make the glyphs: a kept data set is used again only while they are unchanged.
GENERATOR = ["alphabet.py", "dataset.py", "fonts.py", "glyphs.py", "prepare.py", "families.txt"]


def generator_digest():
    digest = hashlib.sha256()
    for name in GENERATOR:
        with open(os.path.join(HERE, name), "rb") as f:
            digest.update(f.read())
    return digest.hexdigest()[:12]


def load_or_render(families, faces, role, total, seed, workers, work_dir, keep_raw):
    """The role's data set, rendered once and kept in work_dir for reruns with the same settings
    and the same generator."""
    path = os.path.join(work_dir, f"{role}-{total}-{seed}-{generator_digest()}.npz")
    if os.path.exists(path) and not keep_raw:
        with np.load(path) as f:
            return {k: f[k] for k in f.files}
    tasks = dataset.plan(families, faces, role, total, seed)
    data = dataset.render(tasks, workers, keep_raw)
    np.savez(path, **{k: v for k, v in data.items() if k != "raw"})
    return data


def tensors(data):
    images = torch.from_numpy(data["images"]).unsqueeze(1)
    return images, torch.from_numpy(data["geometry"]), torch.from_numpy(data["labels"].astype(np.int64))


def as_input(images):
    return images.float() / dataset.LEVELS


def logits_of(net, images, geometry, batch=2048):
    net.eval()
    out = []
    with torch.no_grad():
        for i in range(0, len(images), batch):
            out.append(net(as_input(images[i:i + batch]), geometry[i:i + batch]))
    return torch.cat(out)


def train(net, train_data, epochs, seed, log):
    images, geometry, labels = tensors(train_data)
    opt = torch.optim.AdamW(net.parameters(), lr=LEARNING_RATE, weight_decay=WEIGHT_DECAY)
    steps = epochs * ((len(labels) + BATCH - 1) // BATCH)
    sched = torch.optim.lr_scheduler.OneCycleLR(opt, LEARNING_RATE, total_steps=steps, pct_start=0.15)
    gen = torch.Generator().manual_seed(seed)
    loss_fn = nn.CrossEntropyLoss()
    for epoch in range(epochs):
        net.train()
        order = torch.randperm(len(labels), generator=gen)
        start, total, correct = time.time(), 0.0, 0
        for i in range(0, len(order), BATCH):
            idx = order[i:i + BATCH]
            out = net(as_input(images[idx]), geometry[idx])
            loss = loss_fn(out, labels[idx])
            opt.zero_grad()
            loss.backward()
            opt.step()
            sched.step()
            total += loss.item() * len(idx)
            correct += (out.argmax(1) == labels[idx]).sum().item()
        rate = len(order) / (time.time() - start)
        log(f"epoch {epoch + 1}: loss {total / len(order):.4f}, train accuracy "
            f"{correct / len(order):.4f}, {rate:.0f} samples/s")


def fit_temperature(logits, labels):
    """The temperature that minimises the negative log-likelihood of the given glyphs."""
    log_t = torch.zeros(1, requires_grad=True)
    opt = torch.optim.LBFGS([log_t], lr=0.1, max_iter=200)

    def closure():
        opt.zero_grad()
        loss = nn.functional.cross_entropy(logits / log_t.exp(), labels)
        loss.backward()
        return loss

    opt.step(closure)
    return float(log_t.exp())


def main():
    args = parse_args()
    torch.manual_seed(args.seed)
    torch.set_num_threads(args.threads)
    os.makedirs(args.work_dir, exist_ok=True)
    started = time.time()
    lines = []

    def log(msg):
        print(f"[{time.time() - started:7.0f} s] {msg}", flush=True)
        lines.append(msg)

    families = fonts.read_families()
    faces = fonts.all_faces(families)
    train_data = load_or_render(families, faces, "train", args.train_samples, args.seed, args.workers,
                                args.work_dir, keep_raw=False)
    val_data = load_or_render(families, faces, "heldout", args.val_samples, args.seed + 1000,
                              args.workers, args.work_dir, keep_raw=True)
    render_s = time.time() - started
    log(f"rendered {len(train_data['labels'])} training and {len(val_data['labels'])} validation glyphs")

    net = GlyphNet(alphabet.NUM_CLASSES)
    train(net, train_data, args.epochs, args.seed, log)
    train_s = time.time() - started - render_s

    images, geometry, labels = tensors(val_data)
    logits = logits_of(net, images, geometry)
    # The temperature is fitted on one half of the validation glyphs and judged on the other.
    fit, judge = torch.arange(0, len(labels), 2), torch.arange(1, len(labels), 2)
    temperature = fit_temperature(logits[fit], labels[fit])
    probs = torch.softmax(logits / temperature, dim=1).numpy()
    log(f"temperature {temperature:.3f}")

    onnx_path = os.path.join(args.data_dir, "glyphnet.onnx")
    calibrated = export.export(net, temperature, onnx_path)
    alphabet.write_labels(os.path.join(args.data_dir, "glyphnet.labels"))
    export.write_cases(calibrated, val_data, args.cases, args.seed)
    export.check_opencv(calibrated, onnx_path, images[:512], geometry[:512])
    log("exported; OpenCV matches PyTorch")

    settings = vars(args) | {"batch": BATCH, "learning_rate": LEARNING_RATE}
    report.write(os.path.join(args.data_dir, "glyphnet-record.md"), families, faces, settings, net,
                 train_data, val_data, probs, judge.numpy(), temperature,
                 {"render_s": render_s, "train_s": train_s, "total_s": time.time() - started}, lines,
                 os.path.getsize(onnx_path))


if __name__ == "__main__":
    main()
