#!/usr/bin/env python3
"""Writes a benchmark skin shaped like the installer's main window: a 1800x1200 background drawn at
900x600, ten image buttons, labels and a 560x7 progress area. Usage: make_bench_skin.py OUTPUT_DIR"""
import os
import struct
import sys
import zlib


def png(width, height, row_fn):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        raw += row_fn(y)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b"")


def background_row(width, height):
    def row(y):
        out = bytearray()
        g = 40 + y * 120 // height
        for x in range(width):
            out += bytes((20 + x * 60 // width, g, 160, 255))
        return out
    return row


def button_row(width, height, base):
    # Three states side by side, rounded-looking translucent edges.
    def row(y):
        out = bytearray()
        for x in range(width):
            state = x * 3 // width
            edge = min(x % (width // 3), width // 3 - 1 - x % (width // 3), y, height - 1 - y)
            alpha = 255 if edge > 2 else 90 + edge * 50
            out += bytes(((base + 40 * state) % 256, 120, 200 - 30 * state, alpha))
        return out
    return row


def solid_row(width, rgba):
    line = bytes(rgba) * width
    return lambda y: line


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "bg.png": png(1800, 1200, background_row(1800, 1200)),
        "btn_install.png": png(837, 153, button_row(837, 153, 30)),
        "btn_small.png": png(180, 60, button_row(180, 60, 90)),
        "progress_bg.png": png(840, 11, solid_row(840, (255, 255, 255, 60))),
        "progress_fg.png": png(840, 11, solid_row(840, (40, 200, 120, 255))),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    small = "file='btn_small.png' source='0,0,60,60' gdiplus='true'"
    buttons = "\n".join(
        f'      <Button name="opt{i}" width="30" height="30" bkimage="{small}" />' for i in range(6))
    skin = f"""<?xml version="1.0" encoding="UTF-8"?>
<Window size="600,400" caption="0,0,0,-1" layered="true">
  <VerticalLayout name="root" bkimage="file='bg.png' gdiplus='true'">
    <HorizontalLayout height="40" inset="16,8,8,0">
      <Label name="title" width="200" bkcolor="#40FFFFFF" />
      <Control />
      <Button name="min_btn" width="30" height="30" bkimage="{small}" />
      <Button name="close_btn" width="30" height="30" padding="4,0,0,0" bkimage="{small}" />
    </HorizontalLayout>
    <Control height="150" />
    <HorizontalLayout height="30" childalign="center">
{buttons}
    </HorizontalLayout>
    <VerticalLayout height="90" childalign="center" inset="0,20,0,0">
      <Button name="install_btn" width="279" height="51" bkimage="file='btn_install.png' source='0,0,279,51' gdiplus='true'" />
    </VerticalLayout>
    <VerticalLayout height="40" childalign="center">
      <Label name="progress_label" width="560" height="20" bkcolor="#30000000" />
      <HorizontalLayout name="progress" width="560" height="7" bkimage="file='progress_bg.png' gdiplus='true'">
        <Control name="progress_fg" width="0" bkimage="file='progress_fg.png' gdiplus='true'" />
      </HorizontalLayout>
    </VerticalLayout>
    <Control />
    <HorizontalLayout height="30" inset="16,0,16,8">
      <Label name="agree" width="300" bkcolor="#20FFFFFF" />
      <Control />
      <Button name="custom_btn" width="60" height="22" bkimage="{small}" />
    </HorizontalLayout>
  </VerticalLayout>
</Window>
"""
    with open(os.path.join(out, "main.xml"), "w", encoding="utf-8") as f:
        f.write(skin)


if __name__ == "__main__":
    main()
