#!/usr/bin/env python3
"""Host tests for the installer's skin archive as the build packs it: entries, compression,
image sizes and state strips, the layouts the windows load, and reproducible bytes.

The archive and the layouts' folder come from QUILLON_SKIN_ZIP and QUILLON_SKIN_SOURCE_DIR (set
by CTest); without them the tests build a fresh archive from this checkout."""

import io
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

from PIL import Image, ImageChops, ImageStat

TOOLS = os.path.dirname(os.path.abspath(__file__))
SKIN_SOURCE = os.environ.get("QUILLON_SKIN_SOURCE_DIR", os.path.join(os.path.dirname(TOOLS), "skin"))
LAYOUTS = ("main.xml", "msg_box.xml", "main_uninstall.xml", "notice_box.xml")

# (entry, width, height, panes): panes is the number of equal state panes stacked top to bottom.
IMAGES = [
    ("background_welcome.png", 1800, 1200, 1), ("background_welcome_more.png", 1800, 1401, 1),
    ("background_installing.png", 1800, 1200, 1), ("background_finish.png", 1800, 1200, 1),
    ("background_messagebox.png", 1140, 570, 1), ("button_minimize.png", 90, 360, 4),
    ("button_close.png", 90, 360, 4), ("button_setup_or_next.png", 534, 516, 4), ("button_setup_qq.png", 641, 162, 1),
    ("checkbox_license.png", 279, 408, 8), ("button_license.png", 288, 144, 4),
    ("button_customize_setup.png", 234, 168, 4), ("button_uncustomize_setup.png", 234, 168, 4),
    ("button_browse.png", 225, 288, 4), ("progressbar_background.png", 560, 6, 1),
    ("progressbar_foreground_.png", 1680, 18, 1), ("button_finish.png", 540, 528, 4), ("button_ok.png", 228, 336, 4),
    ("button_cancel.png", 228, 336, 4), ("background_failed.png", 1800, 1200, 1), ("button_retry.png", 420, 480, 4),
    ("button_failed_close.png", 420, 480, 4), ("background_notice.png", 1140, 570, 1),
]
UNUSED_IMAGES = ["button111_setup_qq.png", "button_auto_start.png", "checkbox_setdefault.png",
                 "progressbar_foreground.bmp", "un_bg.png", "un_btn_ok.png", "un_cancle.png",
                 "un_continue.png", "un_done.png", "un_loading.png"]
STORED = {"progressbar_background.png"}

# Element names the toolkit's factory answers to, as the skins use them.
TOOLKIT_ELEMENTS = {"Window", "Font", "VerticalLayout", "HorizontalLayout", "Control", "Label", "Button",
                    "RichEdit", "Progress"}
DESCRIPTOR_ATTRIBUTES = ("bkimage", "foreimage", "normalimage", "hotimage", "pushedimage", "disabledimage")


def build_archive(folder):
    images = os.path.join(folder, "images")
    out = os.path.join(folder, "installer_skin.zip")
    subprocess.run([sys.executable, os.path.join(TOOLS, "make_skin_art.py"), images], check=True)
    subprocess.run([sys.executable, os.path.join(TOOLS, "pack_skin.py"), "--out", out,
                    "--images", os.path.join(images, "manifest.txt"),
                    *[os.path.join(SKIN_SOURCE, name) for name in LAYOUTS]], check=True)
    return out


def setUpModule():
    global ARCHIVE_PATH, ARCHIVE_BYTES, _scratch
    _scratch = tempfile.TemporaryDirectory()
    ARCHIVE_PATH = os.environ.get("QUILLON_SKIN_ZIP") or build_archive(_scratch.name)
    with open(ARCHIVE_PATH, "rb") as handle:
        ARCHIVE_BYTES = handle.read()


def tearDownModule():
    _scratch.cleanup()


def archive():
    return zipfile.ZipFile(io.BytesIO(ARCHIVE_BYTES))


def image(name):
    return Image.open(io.BytesIO(archive().read(name)))


def panes(img, count):
    h = img.height // count
    return [img.crop((0, i * h, img.width, (i + 1) * h)).convert("RGBA") for i in range(count)]


def mean_difference(a, b):
    return sum(ImageStat.Stat(ImageChops.difference(a, b)).mean)


class ArchiveLayoutTest(unittest.TestCase):
    def test_entries_are_the_layouts_then_every_image_at_the_root(self):
        names = archive().namelist()
        self.assertEqual(names[:len(LAYOUTS)], list(LAYOUTS))
        self.assertCountEqual(names[len(LAYOUTS):], [entry[0] for entry in IMAGES] + UNUSED_IMAGES)
        self.assertEqual(len({name.lower() for name in names}), len(names))

    def test_only_the_progress_track_is_stored(self):
        for info in archive().infolist():
            expected = zipfile.ZIP_STORED if info.filename in STORED else zipfile.ZIP_DEFLATED
            self.assertEqual(info.compress_type, expected, info.filename)
            # Sizes sit in the local headers: no trailing data descriptors, no zip64 records.
            self.assertEqual(info.flag_bits & 0x08, 0, info.filename)
            self.assertLess(info.file_size, 0xFFFFFFFF)
            self.assertGreater(info.file_size, 0, info.filename)
        self.assertIsNone(archive().testzip())


class ImageTest(unittest.TestCase):
    def test_every_image_has_its_exact_size(self):
        for name, width, height, _ in IMAGES:
            self.assertEqual(image(name).size, (width, height), name)
        for name in UNUSED_IMAGES:
            img = image(name)
            img.load()
            self.assertGreater(img.width * img.height, 0, name)

    def test_state_panes_differ_from_normal_and_are_not_empty(self):
        for name, _, _, count in IMAGES:
            if count == 1:
                continue
            states = panes(image(name), count)
            for start in range(0, count, 4):
                normal = states[start]
                for offset, state in enumerate(("hot", "pushed", "disabled"), 1):
                    self.assertGreater(mean_difference(normal, states[start + offset]), 1.0, f"{name} {state}")
            for index, pane in enumerate(states):
                self.assertIsNotNone(pane.getchannel("A").getbbox(), f"{name} pane {index} is empty")

    def test_ticked_and_unticked_agreement_boxes_and_the_two_customise_buttons_differ(self):
        states = panes(image("checkbox_license.png"), 8)
        for state in range(4):
            self.assertGreater(mean_difference(states[state], states[4 + state]), 1.0, state)
        folded, unfolded = (image(name).convert("RGBA") for name in ("button_customize_setup.png",
                                                                      "button_uncustomize_setup.png"))
        self.assertIsNotNone(ImageChops.difference(folded, unfolded).getbbox())

    def test_window_backgrounds_have_transparent_corners_and_opaque_middles(self):
        for name, width, height, _ in IMAGES:
            if not name.startswith("background_"):
                continue
            alpha = image(name).convert("RGBA").getchannel("A")
            for corner in ((0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)):
                self.assertEqual(alpha.getpixel(corner), 0, f"{name} {corner}")
            self.assertEqual(alpha.crop((30, 30, width - 30, height - 30)).getextrema(), (255, 255), name)

    def test_customise_background_continues_the_welcome_background(self):
        # The window only grows when the customise view opens: the upper part must not change.
        welcome = image("background_welcome.png").convert("RGBA").crop((0, 0, 1800, 1150))
        more = image("background_welcome_more.png").convert("RGBA").crop((0, 0, 1800, 1150))
        self.assertIsNone(ImageChops.difference(welcome, more).getbbox())


class LayoutFileTest(unittest.TestCase):
    def layout(self, name):
        raw = archive().read(name)
        self.assertTrue(raw.startswith(b'<?xml version="1.0" encoding="UTF-8"?>'), name)
        return raw.decode("utf-8"), ElementTree.fromstring(raw)

    def test_layouts_stay_inside_the_toolkit_grammar(self):
        for name in LAYOUTS:
            text, root = self.layout(name)
            self.assertEqual(root.tag, "Window")
            for element in root.iter():
                self.assertIn(element.tag, TOOLKIT_ELEMENTS, f"{name}: {element.tag}")
            # The toolkit ends a comment at the first "->".
            comments = re.findall(r"<!--(.*?)-->", text, re.S)
            for body in comments:
                self.assertNotIn("->", body, name)
            if name == "main.xml":  # the main layout keeps its commented variants
                self.assertTrue(any("<Window" in body for body in comments))
                self.assertTrue(any('name="background_img"' in body for body in comments))
            # Attribute values in double quotes, names without "-" or ".".
            markup = re.sub(r"<!--.*?-->|<\?.*?\?>", "", text, flags=re.S)
            for tag in re.findall(r"<[^/][^>]*>", markup):
                self.assertRegex(tag, r'^<\w+(\s+[\w:]+\s*=\s*"[^"]*")*\s*/?>$', name)

    def test_image_descriptors_name_archive_images_within_their_bounds(self):
        entries = set(archive().namelist())
        sizes = {}
        for name in LAYOUTS:
            _, root = self.layout(name)
            for element in root.iter():
                for attribute in DESCRIPTOR_ATTRIBUTES:
                    descriptor = element.get(attribute)
                    if descriptor is None:
                        continue
                    keys = dict(re.findall(r"(\w+)='([^']*)'", descriptor))
                    self.assertEqual(keys.get("gdiplus"), "true", descriptor)
                    self.assertIn(keys["file"], entries, descriptor)
                    if "source" in keys:
                        if keys["file"] not in sizes:
                            sizes[keys["file"]] = image(keys["file"]).size
                        width, height = sizes[keys["file"]]
                        left, top, right, bottom = map(int, keys["source"].split(","))
                        self.assertTrue(0 <= left < right <= width and 0 <= top < bottom <= height, descriptor)


class ReproducibleBuildTest(unittest.TestCase):
    def test_a_second_build_gives_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(build_archive(folder), "rb") as handle:
                again = handle.read()
        if again != ARCHIVE_BYTES:
            first = {info.filename: info.CRC for info in archive().infolist()}
            second = {info.filename: info.CRC for info in zipfile.ZipFile(io.BytesIO(again)).infolist()}
            changed = sorted(name for name in first.keys() | second.keys() if first.get(name) != second.get(name))
            self.fail(f"archive bytes differ; entries that changed: {changed or 'none (headers only)'}")


class PackerTest(unittest.TestCase):
    def pack(self, folder, files):
        manifest = os.path.join(folder, "manifest.txt")
        with open(manifest, "w", encoding="utf-8") as handle:
            handle.writelines(os.path.basename(path) + "\n" for path in files)
        layout = os.path.join(folder, "a.xml")
        with open(layout, "w", encoding="utf-8") as handle:
            handle.write("<Window/>")
        return subprocess.run([sys.executable, os.path.join(TOOLS, "pack_skin.py"), "--out",
                               os.path.join(folder, "out.zip"), "--images", manifest, layout],
                              capture_output=True, text=True)

    def test_refuses_names_that_clash_ignoring_case_and_empty_entries(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, data in (("Logo.png", b"x"), ("logo.PNG", b"y"), ("empty.png", b"")):
                with open(os.path.join(folder, name), "wb") as handle:
                    handle.write(data)
            clash = self.pack(folder, ["Logo.png", "logo.PNG"])
            self.assertNotEqual(clash.returncode, 0)
            self.assertIn("ignoring case", clash.stderr)
            empty = self.pack(folder, ["Logo.png", "empty.png"])
            self.assertNotEqual(empty.returncode, 0)
            self.assertIn("empty", empty.stderr)
            self.assertFalse(os.path.exists(os.path.join(folder, "out.zip")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
