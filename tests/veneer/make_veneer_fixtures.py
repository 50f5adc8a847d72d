#!/usr/bin/env python3
"""Builds the toolkit's test fixtures: PNG images, skin archives (good and damaged) and copies of the
hand-written malformed markup files. Usage: make_veneer_fixtures.py SOURCE_FIXTURES OUTPUT_DIR"""
import io
import os
import shutil
import struct
import sys
import zipfile
import zlib


def png(width, height, pixels):
    """pixels: list of rows of (r, g, b, a)."""
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def solid(width, height, rgba):
    return png(width, height, [[rgba] * width for _ in range(height)])


def nine_part():
    # 9x9: 3-pixel corners red, edges green, middle blue (all opaque).
    def colour(x, y):
        edges = (x < 3 or x >= 6) + (y < 3 or y >= 6)
        return [(0, 0, 255, 255), (0, 255, 0, 255), (255, 0, 0, 255)][edges]

    return png(9, 9, [[colour(x, y) for x in range(9)] for y in range(9)])


def main():
    source, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(source):
        shutil.copy(os.path.join(source, name), os.path.join(out, name))

    images = {
        "pixels.png": png(2, 2, [[(255, 0, 0, 255), (0, 255, 0, 255)], [(0, 0, 255, 128), (255, 255, 255, 0)]]),
        "bg.png": solid(40, 30, (10, 20, 30, 255)),
        "nine.png": nine_part(),
        "half.png": solid(4, 4, (200, 100, 50, 128)),
        "left_opaque.png": png(4, 1, [[(255, 0, 0, 255)] * 2 + [(0, 0, 0, 0)] * 2]),
    }
    def write(name, blob):
        with open(os.path.join(out, name), "wb") as f:
            f.write(blob)

    for name, data in images.items():
        write(name, data)
    write("not_an_image.png", b"this is text, not an image")

    markup = '<?xml version="1.0" encoding="utf-8"?>\n<Window size="600,400">\n  <VerticalLayout name="root" />\n</Window>\n'
    big_text = os.urandom(300000).hex()  # incompressible enough to make inflate work
    skin = os.path.join(out, "skin.zip")
    with zipfile.ZipFile(skin, "w") as z:
        z.writestr(zipfile.ZipInfo("main.xml"), markup.encode("utf-8"), compress_type=zipfile.ZIP_DEFLATED)
        z.writestr("img/logo.png", images["pixels.png"], compress_type=zipfile.ZIP_DEFLATED)
        z.writestr("Stored.TXT", b"stored bytes", compress_type=zipfile.ZIP_STORED)
        z.writestr("deep/er/big.txt", big_text.encode(), compress_type=zipfile.ZIP_DEFLATED)
        z.writestr("empty.xml", b"", compress_type=zipfile.ZIP_STORED)

    data = open(skin, "rb").read()
    eocd = data.rfind(b"PK\x05\x06")
    directory = struct.unpack("<I", data[eocd + 16:eocd + 20])[0]

    def patched(name, fmt, offset, value):
        damaged = bytearray(data)
        struct.pack_into(fmt, damaged, offset, value)
        write(name, bytes(damaged))

    # Directory offset pointing past the end of the file.
    patched("directory_offset_past_end.zip", "<I", eocd + 16, len(data) + 1000)
    # Directory entry claims a name far longer than the directory.
    patched("directory_name_too_long.zip", "<H", directory + 28, 0xFFFF)
    # Cut in half: the end record is gone.
    write("truncated_half.zip", data[: len(data) // 2])
    # Deflated data of the first entry overwritten with noise.
    local_name_len, local_extra_len = struct.unpack("<HH", data[26:30])
    start = 30 + local_name_len + local_extra_len
    noisy = bytearray(data)
    for i in range(start, start + 20):
        noisy[i] ^= 0x5A
    write("corrupt_deflate_data.zip", bytes(noisy))
    # The first entry's local header offset points at the middle of nowhere.
    patched("local_header_offset_past_data.zip", "<I", directory + 42, len(data) - 10)
    # An entry that claims more compressed bytes than the archive holds.
    patched("compressed_size_past_end.zip", "<I", directory + 20, 0x7FFFFFF0)

    # A skin of exactly 4 MiB and one byte more.
    limit = 4 * 1024 * 1024
    body = b"<Window>" + b" " * (limit - len(b"<Window>") - len(b"</Window>")) + b"</Window>"
    write("exactly_4mib.xml", body)
    write("over_4mib.xml", body + b" ")
    write("empty_file.xml", b"")
    # Markup nested 1.4 million levels deep: "<a>" over and over, 4 MiB in all.
    write("nested_4mib.xml", b"<a>" * (limit // 3))

    # A tiny archive whose directory claims 4 GiB for an image and a font file.
    claims = io.BytesIO()
    with zipfile.ZipFile(claims, "w") as z:
        for name in ("big.png", "big.ttf"):
            z.writestr(zipfile.ZipInfo(name), b"x" * 64, compress_type=zipfile.ZIP_DEFLATED)
    claims = bytearray(claims.getvalue())
    at = claims.find(b"PK\x01\x02")
    while at >= 0:
        struct.pack_into("<I", claims, at + 24, 0xFFFFFFFF)
        at = claims.find(b"PK\x01\x02", at + 4)
    write("declares_4gib.zip", bytes(claims))


if __name__ == "__main__":
    main()
