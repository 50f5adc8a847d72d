#!/usr/bin/env python3
"""Host tests for pack_payload.py: they read its payloads back byte by byte, the way the
installer does, and check that the tool refuses what the installer could not unpack."""

import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

PACKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pack_payload.py")
FIXED_EPOCH = 1700000000
# The header fields that are the same in every entry: no owner, no link, no name prefix.
FIXED_FIELDS = {"magic": b"ustar\0", "version": b"00", "uid": b"0000000\0", "gid": b"0000000\0",
                "uname": bytes(32), "gname": bytes(32), "linkname": bytes(100), "prefix": bytes(155)}


def run_packer(source_dir, out_file, *options, epoch=None):
    environment = dict(os.environ)
    environment.pop("SOURCE_DATE_EPOCH", None)
    if epoch is not None:
        environment["SOURCE_DATE_EPOCH"] = str(epoch)
    return subprocess.run([sys.executable, PACKER, *options, source_dir, out_file],
                          capture_output=True, text=True, env=environment)


def decompress(payload_path):
    return subprocess.run(["zstd", "-q", "-d", "-c", payload_path],
                          check=True, capture_output=True).stdout


def write_file(path, data=b"", executable=False):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as handle:
        handle.write(data)
    os.chmod(path, 0o755 if executable else 0o644)


def octal(field):
    return int(field.rstrip(b"\0 ").decode("ascii") or "0", 8)


def parse_archive(archive):
    """Reads the headers by field offset, returning (header fields, data) per entry, and checks
    the end-of-archive marker on the way."""
    layout = {"name": (0, 100), "mode": (100, 108), "uid": (108, 116), "gid": (116, 124), "size": (124, 136),
              "mtime": (136, 148), "checksum": (148, 156), "typeflag": (156, 157), "linkname": (157, 257),
              "magic": (257, 263), "version": (263, 265), "uname": (265, 297), "gname": (297, 329),
              "prefix": (345, 500), "whole": (0, 512)}
    entries = []
    offset = 0
    while archive[offset:offset + 512] != bytes(512):
        fields = {key: archive[offset + start:offset + end] for key, (start, end) in layout.items()}
        size = octal(fields["size"])
        entries.append((fields, archive[offset + 512:offset + 512 + size]))
        offset += 512 + (size + 511) // 512 * 512
    if archive[offset:offset + 1024] != bytes(1024) or any(archive[offset:]):
        raise AssertionError("archive does not end with zero blocks only")
    return entries


def entry_names(payload):
    return [fields["name"].rstrip(b"\0").decode() for fields, _ in parse_archive(decompress(payload))]


class PackerTestCase(unittest.TestCase):
    def setUp(self):
        self.work_dir = tempfile.mkdtemp(prefix="pack-test-")
        self.source = os.path.join(self.work_dir, "tree")
        self.payload = os.path.join(self.work_dir, "payload.tar.zst")
        os.mkdir(self.source)

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.work_dir], check=True)

    def path(self, relative):
        return os.path.join(self.source, relative)

    def pack(self, *options, epoch=FIXED_EPOCH):
        result = run_packer(self.source, self.payload, *options, epoch=epoch)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result


class HeaderFormatTests(PackerTestCase):
    def setUp(self):
        super().setUp()
        write_file(self.path("app.exe"), b"MZ fake program")
        write_file(self.path("run.sh"), b"#!/bin/sh\n", executable=True)
        write_file(self.path("readme.txt"), b"plain text\n")
        write_file(self.path("empty.dat"))
        write_file(self.path("plugins/Helper.DLL"), b"\x00\x01" * 300)
        write_file(self.path("data/exact-block.bin"), bytes(range(256)) * 2)
        self.longest_name = "data/" + "n" * 88
        write_file(self.path(self.longest_name), b"93 bytes of name")
        self.pack()
        self.archive = decompress(self.payload)
        self.by_name = {fields["name"].rstrip(b"\0").decode(): (fields, data)
                        for fields, data in parse_archive(self.archive)}

    def test_every_header_and_its_data(self):
        readable_only = {"readme.txt", "empty.dat", "data/exact-block.bin", self.longest_name}
        for name, (fields, data) in self.by_name.items():
            with self.subTest(name=name):
                self.assertEqual({key: fields[key] for key in FIXED_FIELDS}, FIXED_FIELDS)
                self.assertEqual(octal(fields["mtime"]), FIXED_EPOCH)
                whole = fields["whole"]
                self.assertEqual(fields["checksum"][6:], b"\0 ")
                self.assertEqual(octal(fields["checksum"]), sum(whole[:148]) + 8 * ord(" ") + sum(whole[156:]))
                # Relative names of at most 93 bytes; only directories end with a slash.
                self.assertFalse(name.startswith(("/", "./")))
                self.assertLessEqual(len(name), 93)
                self.assertEqual(name.endswith("/"), fields["typeflag"] == b"5")
                self.assertEqual(fields["mode"], b"0000666\0" if name in readable_only else b"0000777\0")
                self.assertEqual(fields["size"][11:], b"\0")
                # The data is cut at the size field's length: equal data means the right size too.
                if name.endswith("/"):
                    self.assertEqual(data, b"")
                else:
                    with open(self.path(name), "rb") as handle:
                        self.assertEqual(data, handle.read())
        self.assertEqual(len(self.longest_name), 93)
        self.assertIn(self.longest_name, self.by_name)
        self.assertEqual(len(self.archive) % 10240, 0)

    def test_an_empty_tree_gives_one_record_of_zeros(self):
        empty = os.path.join(self.work_dir, "empty")
        os.mkdir(empty)
        result = run_packer(empty, self.payload)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(decompress(self.payload), bytes(10240))


class OrderTests(PackerTestCase):
    def test_entries_come_breadth_first_sorted_by_name_bytes(self):
        for relative in ("b/z/deep.txt", "b/a.txt", "a/y/deeper/leaf.txt", "a/x.txt",
                         "B.txt", "_c.txt", "a/Y.txt"):
            write_file(self.path(relative), relative.encode())
        os.mkdir(self.path("b/empty"))
        self.pack()
        self.assertEqual(entry_names(self.payload), [
            "B.txt", "_c.txt", "a/", "b/",
            "a/Y.txt", "a/x.txt", "a/y/", "b/a.txt", "b/empty/", "b/z/",
            "a/y/deeper/", "b/z/deep.txt",
            "a/y/deeper/leaf.txt",
        ])

    def test_a_default_file_fills_in_only_where_the_tree_has_none(self):
        default = os.path.join(self.work_dir, "project_uninstaller.exe")
        write_file(default, b"project's")
        write_file(self.path("z.txt"), b"z")
        write_file(self.path("sub/x.txt"), b"x")
        cases = [(None, b"project's"), ("unins000.exe", b"tree's"), ("UNINS000.EXE", b"tree's")]
        for tree_name, expected in cases:
            if tree_name:
                write_file(self.path(tree_name), b"tree's")
            self.pack("--default-file", f"unins000.exe={default}")
            entries = [(fields["name"].rstrip(b"\0").decode(), data)
                       for fields, data in parse_archive(decompress(self.payload))]
            names = [name for name, _ in entries]
            self.assertEqual(names, sorted(names[:3], key=str.encode) + ["sub/x.txt"], tree_name)
            self.assertEqual([data for name, data in entries if name.lower() == "unins000.exe"], [expected])
            if tree_name:
                os.remove(self.path(tree_name))


class DeterminismTests(PackerTestCase):
    def setUp(self):
        super().setUp()
        write_file(self.path("quillon.exe"), b"program" * 1000)
        write_file(self.path("resources/locale/en-US.txt"), b"Hello\n")

    def test_same_tree_with_source_date_epoch_gives_identical_bytes_silently(self):
        quiet = self.pack()
        self.assertEqual((quiet.stdout, quiet.stderr), ("", ""))
        with open(self.payload, "rb") as handle:
            first = handle.read()
        # Touching every file must not matter once SOURCE_DATE_EPOCH fixes the times.
        for relative in ("quillon.exe", "resources/locale/en-US.txt", "resources"):
            os.utime(self.path(relative), (1234567, 1234567))
        self.pack()
        with open(self.payload, "rb") as handle:
            self.assertEqual(handle.read(), first)

    def test_without_source_date_epoch_the_file_times_are_used(self):
        os.utime(self.path("quillon.exe"), (1500000000, 1500000000))
        os.utime(self.path("resources"), (1400000000, 1400000000))
        self.pack(epoch=None)
        times = {fields["name"].rstrip(b"\0"): octal(fields["mtime"])
                 for fields, _ in parse_archive(decompress(self.payload))}
        self.assertEqual(times[b"quillon.exe"], 1500000000)
        self.assertEqual(times[b"resources/"], 1400000000)


class FrameHeaderTests(PackerTestCase):
    def frames(self, payload):
        """The index frame's fields, then (window size, content size, checksum flag, frame bytes) per
        data frame, read from the headers as the installer reads them."""
        magic, length, tag, version, entries, unpacked = struct.unpack("<II4sIQQ", payload[:32])
        self.assertEqual((magic, length, tag, version), (0x184D2A5E, 24, b"QPIX", 1))
        frames, offset = [], 32
        while offset < len(payload):
            self.assertEqual(payload[offset:offset + 4], b"\x28\xb5\x2f\xfd")
            descriptor = payload[offset + 4]
            single_segment = bool(descriptor & 0x20)
            self.assertEqual(descriptor & 0x03, 0, "no dictionary id")
            size_bytes = [0, 2, 4, 8][descriptor >> 6] or (1 if single_segment else 0)
            self.assertGreater(size_bytes, 0, "content size must be present")
            start = offset + 5 + (0 if single_segment else 1)
            content = int.from_bytes(payload[start:start + size_bytes], "little") + (256 if size_bytes == 2 else 0)
            if single_segment:
                window = content
            else:
                window_descriptor = payload[offset + 5]
                base = 1 << (10 + (window_descriptor >> 3))
                window = base + base // 8 * (window_descriptor & 7)
            # The frame's length: walk the block headers to the last block, then the checksum.
            position = start + size_bytes
            while True:
                header = int.from_bytes(payload[position:position + 3], "little")
                block_type, block_size = (header >> 1) & 3, header >> 3
                position += 3 + (1 if block_type == 1 else block_size)
                if header & 1:
                    break
            position += 4 if descriptor & 0x04 else 0
            frames.append((window, content, bool(descriptor & 0x04), position - offset))
            offset = position
        return entries, unpacked, frames

    def test_index_frame_then_independent_frames_with_checksum_size_and_a_window_within_the_frame(self):
        write_file(self.path("a/random.bin"), random.Random(7).randbytes(700 * 1024))
        write_file(self.path("b.txt"), b"quill and ink\n" * 40000)
        for frame_size in (65536, 262144, 4 << 20):
            with self.subTest(frame_size=frame_size):
                self.pack("--level", "3", "--frame-size", str(frame_size))
                with open(self.payload, "rb") as handle:
                    payload = handle.read()
                entries, unpacked, frames = self.frames(payload)
                archive = decompress(self.payload)
                self.assertEqual((entries, unpacked), (len(parse_archive(archive)), len(archive)))
                self.assertEqual(sum(content for _, content, _, _ in frames), unpacked)
                self.assertEqual(len(frames), -(-unpacked // frame_size))
                for window, content, checksum, _ in frames:
                    self.assertTrue(checksum)
                    self.assertLessEqual(content, frame_size)
                    self.assertLessEqual(window, frame_size)
                listing = subprocess.run(["zstd", "-lv", self.payload], capture_output=True, text=True,
                                         check=True).stdout
                self.assertIn(f"Zstandard Frames: {len(frames)}", listing)
                self.assertIn("Skippable Frames: 1", listing)
                # The payload stays a plain .tar.zst for the usual tools.
                extracted = os.path.join(self.work_dir, f"extracted-{frame_size}")
                os.mkdir(extracted)
                subprocess.run(["tar", "-I", "zstd", "-xf", self.payload, "-C", extracted], check=True)
                self.assertEqual(subprocess.run(["diff", "-r", self.source, extracted]).returncode, 0)


class RefusalTests(PackerTestCase):
    def setUp(self):
        super().setUp()
        write_file(self.path("ok.txt"), b"fine")

    def assert_refused(self, offending_name, *options):
        result = run_packer(self.source, self.payload, *options)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout, "")
        message = result.stderr.strip()
        self.assertNotIn("\n", message)
        self.assertIn(offending_name, message)
        self.assertEqual(sorted(os.listdir(self.work_dir)), ["tree"],
                         "a refused pack must leave no output or temporary file")

    def test_entries_the_installer_cannot_unpack_are_refused(self):
        def huge(path):
            with open(path, "wb") as handle:
                handle.truncate(8 * 1024 ** 3)

        # (path below the tree, how to make it, a part of the name that the message shows)
        cases = [
            ("link-to-file", lambda path: os.symlink("ok.txt", path), "link-to-file"),
            ("link-to-dir", lambda path: os.symlink(".", path), "link-to-dir"),
            ("pipe", os.mkfifo, "pipe"),
            ("locale/zh-中文.txt", write_file, "zh-"),
            ("back\\slash.txt", write_file, "back"),
            ("drive:colon.txt", write_file, "drive"),
            ("tab\tname.txt", write_file, "name.txt"),
            # The directory's trailing slash counts, so 93 characters of folder name is one too many.
            ("d/" + "f" * 92, write_file, "f" * 92),
            ("g" * 93, os.mkdir, "g" * 93),
            ("huge.bin", huge, "huge.bin"),
        ]
        for relative, make, shown in cases:
            with self.subTest(name=relative):
                make(self.path(relative))
                self.assert_refused(shown)
                subprocess.run(["rm", "-rf", self.path(relative.split("/")[0])], check=True)
        with open(os.path.join(os.fsencode(self.source), b"latin1-\xe9.txt"), "wb"):
            pass
        self.assert_refused("latin1-")

    def test_a_failed_pack_removes_an_earlier_payload(self):
        with open(self.payload, "wb") as handle:
            handle.write(b"payload from an earlier build")
        os.symlink("ok.txt", self.path("link"))
        result = run_packer(self.source, self.payload)
        self.assertEqual(result.returncode, 1)
        self.assertFalse(os.path.exists(self.payload))

    def test_an_output_inside_the_tree_is_refused_and_left_alone(self):
        inner = self.path("ok.txt")
        result = run_packer(self.source, inner)
        self.assertEqual(result.returncode, 1)
        self.assertIn("ok.txt", result.stderr)
        with open(inner, "rb") as handle:
            self.assertEqual(handle.read(), b"fine")

    def test_levels_and_frame_sizes_outside_the_installers_limits_are_rejected(self):
        for option, value in (("--level", "0"), ("--level", "20"), ("--frame-size", "65535"),
                              ("--frame-size", str((8 << 20) + 1))):
            with self.subTest(option=option, value=value):
                result = run_packer(self.source, self.payload, option, value)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(option, result.stderr)
                self.assertFalse(os.path.exists(self.payload))


if __name__ == "__main__":
    unittest.main()
