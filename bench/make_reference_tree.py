#!/usr/bin/env python3
"""Writes a reference application tree shaped like the shipped one: 345 files in 26 directories, about
150 MB, compressing about 2.2:1 (executables and libraries mixing code-like and incompressible parts,
many small resource files). Deterministic: the same tree on every machine.

Usage: make_reference_tree.py OUTDIR
"""
import os
import random
import shutil
import sys

FILES = 345
TOTAL_BYTES = 150 * 1000 * 1000


def main() -> int:
    out = sys.argv[1]
    rng = random.Random(345_26)
    shutil.rmtree(out, ignore_errors=True)
    folders = [""]
    for name in ["bin", "lib", "plugins", "resources", "locales", "docs"]:
        folders.append(name)
    while len(folders) < 27:  # 26 directories below the top level
        parent = rng.choice(folders[1:])
        child = f"{parent}/sub{len(folders):02d}"
        if parent.count("/") < 3:
            folders.append(child)
    for folder in folders:
        os.makedirs(os.path.join(out, folder), exist_ok=True)

    # A few large libraries, many small files, as in a desktop application.
    weights = [rng.paretovariate(1.1) for _ in range(FILES)]
    scale = TOTAL_BYTES / sum(weights)
    sizes = [max(64, int(w * scale)) for w in weights]
    vocabulary = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz_") for _ in range(rng.randint(3, 12)))
                  for _ in range(2000)]
    for index, size in enumerate(sizes):
        folder = folders[index % len(folders)]
        suffix = [".dll", ".exe", ".dat", ".json", ".png", ".txt"][index % 6]
        path = os.path.join(out, folder, f"file{index:03d}{suffix}")
        with open(path, "wb") as f:
            written = 0
            while written < size:
                chunk = min(65536, size - written)
                if rng.random() < 0.25:
                    data = rng.randbytes(chunk)  # packed or already compressed parts
                else:
                    words = []
                    length = 0
                    while length < chunk:
                        word = rng.choice(vocabulary)
                        words.append(word)
                        length += len(word) + 1
                    data = b" ".join(words)[:chunk]
                f.write(data)
                written += chunk
    return 0


if __name__ == "__main__":
    sys.exit(main())
