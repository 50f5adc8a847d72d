#!/usr/bin/env python3
"""Packs the installer's skin archive: the layouts and their images, all at the archive's root.

Usage: pack_skin.py --out ZIP --images MANIFEST LAYOUT.xml...

MANIFEST is the list that make_skin_art.py writes beside its images (one file name a line). The
layouts come first, in the order given, then the images in manifest order. Every entry is deflated
except "progressbar_background.png", which is stored. Time stamps, attributes and compression
level are fixed, so the same files always give the same archive bytes.

The installer looks entries up by name ignoring case and treats an empty entry as missing, so
names that differ only in case and empty files are refused rather than packed.
"""

import argparse
import os
import sys
import zipfile

STORED_ENTRIES = frozenset({"progressbar_background.png"})
FIXED_TIME = (1980, 1, 1, 0, 0, 0)
DEFLATE_LEVEL = 9


class PackError(Exception):
    pass


def read_manifest(path):
    folder = os.path.dirname(os.path.abspath(path))
    with open(path, encoding="utf-8") as handle:
        names = [line.strip() for line in handle if line.strip()]
    return [os.path.join(folder, name) for name in names]


def pack(out_path, files):
    seen = {}
    for path in files:
        name = os.path.basename(path)
        if not name.isascii() or "/" in name or "\\" in name:
            raise PackError(f"{path}: entry names must be plain ASCII file names")
        if name.lower() in seen:
            raise PackError(f"{path}: clashes with {seen[name.lower()]} (names are matched ignoring case)")
        seen[name.lower()] = path
        if os.path.getsize(path) == 0:
            raise PackError(f"{path}: empty entries read as missing")
    temp_path = out_path + ".partial"
    with zipfile.ZipFile(temp_path, "w") as archive:
        for path in files:
            name = os.path.basename(path)
            info = zipfile.ZipInfo(name, date_time=FIXED_TIME)
            info.create_system = 0
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE, as Windows archivers write it
            if name in STORED_ENTRIES:
                info.compress_type = zipfile.ZIP_STORED
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as handle:
                archive.writestr(info, handle.read(), compresslevel=DEFLATE_LEVEL)
    os.replace(temp_path, out_path)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--images", required=True, help="manifest written by make_skin_art.py")
    parser.add_argument("layouts", nargs="+")
    args = parser.parse_args(argv)
    try:
        pack(args.out, list(args.layouts) + read_manifest(args.images))
    except (PackError, OSError) as error:
        print(f"pack_skin: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
