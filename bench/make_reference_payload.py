#!/usr/bin/env python3
"""Builds the benchmarks' reference application tree and packs it as a payload: shaped like the shipped
application (345 files in 26 folders, about 150 MB, compressing about 2.2:1), the same bytes on every run.

Usage: make_reference_payload.py PACKER TREE_DIR OUT_FILE
"""
import os
import random
import shutil
import subprocess
import sys

FILES = 345
FOLDERS = 26
TOTAL_BYTES = 150 * 1000 * 1000
BLOCK = 64 * 1024
# Share of incompressible blocks; the rest is text-like and compresses well.
RANDOM_SHARE = 0.29


def folder_names():
    names = ["bin/", "resources/", "plugins/", "locales/", "docs/"]
    parents = list(names)
    while len(names) < FOLDERS:
        parent = parents[len(names) % len(parents)]
        name = "%sgroup%02d/" % (parent, len(names))
        names.append(name)
        parents.append(name)
    return names


def file_sizes(rng):
    weights = [rng.paretovariate(1.1) for _ in range(FILES)]
    scale = TOTAL_BYTES / sum(weights)
    return [max(1, int(w * scale)) for w in weights]


def text_pool(rng):
    words = ["quillon", "render", "texture", "shader", "vertex", "buffer", "frame", "layer", "widget",
             "config", "value", "index", "string", "module", "thread", "window", "event", "color"]
    return " ".join(rng.choice(words) + str(rng.randrange(1000)) for _ in range(1_000_000)).encode()


def content(rng, pool, size):
    parts = []
    left = size
    while left > 0:
        n = min(BLOCK, left)
        if rng.random() < RANDOM_SHARE:
            parts.append(rng.randbytes(n))
        else:
            start = rng.randrange(len(pool) - n)
            parts.append(pool[start:start + n])
        left -= n
    return b"".join(parts)


def main():
    packer, tree, out_file = sys.argv[1:4]
    rng = random.Random(20240601)
    shutil.rmtree(tree, ignore_errors=True)
    folders = folder_names()
    for folder in folders:
        os.makedirs(os.path.join(tree, folder), exist_ok=True)
    pool = text_pool(rng)
    for index, size in enumerate(file_sizes(rng)):
        folder = "" if index < 20 else folders[index % len(folders)]
        name = "quillon_launcher.exe" if index == 0 else "unins000.exe" if index == 1 else "file%03d.bin" % index
        with open(os.path.join(tree, folder, name), "wb") as out:
            out.write(content(rng, pool, size))
    os.environ["SOURCE_DATE_EPOCH"] = "1700000000"
    subprocess.run([sys.executable, packer, "--level", "3", tree, out_file], check=True)


if __name__ == "__main__":
    main()
