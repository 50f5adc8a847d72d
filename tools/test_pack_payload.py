#!/usr/bin/env python3
"""Host tests for pack_payload.py: they read its payloads back byte by byte, the way the
installer does, and check that the tool refuses what the installer could not unpack."""

import io
import os
import random
import struct
import subprocess
import sys
import tarfile
import tempfile
import unittest

PACKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pack_payload.py")
FIXED_EPOCH = 1700000000


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
    entries = []
    offset = 0
    while True:
        block = archive[offset:offset + 512]
        if block == bytes(512):
            break
        fields = {
            "name": block[0:100], "mode": block[100:108], "uid": block[108:116],
            "gid": block[116:124], "size": block[124:136], "mtime": block[136:148],
            "checksum": block[148:156], "typeflag": block[156:157],
            "linkname": block[157:257], "magic": block[257:263], "version": block[263:265],
            "uname": block[265:297], "gname": block[297:329], "prefix": block[345:500],
            "whole": block,
        }
        size = octal(fields["size"])
        data = archive[offset + 512:offset + 512 + size]
        entries.append((fields, data))
        offset += 512 + (size + 511) // 512 * 512
    if archive[offset:offset + 1024] != bytes(1024) or any(archive[offset:]):
        raise AssertionError("archive does not end with zero blocks only")
    return entries


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
        self.entries = parse_archive(self.archive)
        self.by_name = {fields["name"].rstrip(b"\0").decode(): (fields, data)
                        for fields, data in self.entries}

    def test_every_header_has_the_fixed_ustar_fields_and_a_valid_checksum(self):
        for fields, _ in self.entries:
            with self.subTest(name=fields["name"]):
                self.assertEqual(fields["magic"], b"ustar\0")
                self.assertEqual(fields["version"], b"00")
                self.assertEqual(fields["uid"], b"0000000\0")
                self.assertEqual(fields["gid"], b"0000000\0")
                self.assertEqual(fields["uname"], bytes(32))
                self.assertEqual(fields["gname"], bytes(32))
                self.assertEqual(fields["linkname"], bytes(100))
                self.assertEqual(fields["prefix"], bytes(155))
                self.assertEqual(octal(fields["mtime"]), FIXED_EPOCH)
                whole = fields["whole"]
                expected = sum(whole[:148]) + 8 * ord(" ") + sum(whole[156:])
                self.assertEqual(fields["checksum"][6:], b"\0 ")
                self.assertEqual(octal(fields["checksum"]), expected)

    def test_names_are_relative_and_only_directories_end_with_a_slash(self):
        for name, (fields, _) in self.by_name.items():
            with self.subTest(name=name):
                self.assertFalse(name.startswith(("/", "./")))
                self.assertLessEqual(len(name), 93)
                self.assertEqual(name.endswith("/"), fields["typeflag"] == b"5")
        self.assertIn(self.longest_name, self.by_name)
        self.assertEqual(len(self.longest_name), 93)

    def test_modes_types_and_sizes(self):
        expected_modes = {
            "app.exe": b"0000777\0", "run.sh": b"0000777\0", "plugins/Helper.DLL": b"0000777\0",
            "readme.txt": b"0000666\0", "empty.dat": b"0000666\0", "data/": b"0000777\0",
            "plugins/": b"0000777\0",
        }
        for name, mode in expected_modes.items():
            with self.subTest(name=name):
                fields, data = self.by_name[name]
                self.assertEqual(fields["mode"], mode)
                is_dir = name.endswith("/")
                self.assertEqual(fields["typeflag"], b"5" if is_dir else b"0")
                expected_size = 0 if is_dir else os.path.getsize(self.path(name))
                self.assertEqual(octal(fields["size"]), expected_size)
                self.assertEqual(fields["size"][11:], b"\0")

    def test_file_data_is_stored_whole_and_the_archive_fills_whole_records(self):
        for name, (_, data) in self.by_name.items():
            if not name.endswith("/"):
                with open(self.path(name), "rb") as handle:
                    self.assertEqual(data, handle.read(), name)
        self.assertEqual(len(self.archive) % 10240, 0)

    def test_python_tarfile_reads_the_same_entries(self):
        with tarfile.open(fileobj=io.BytesIO(self.archive), mode="r:") as archive:
            members = archive.getmembers()
            self.assertEqual([m.name.rstrip("/") for m in members],
                             [name.rstrip("/") for name in self.by_name])
            for member in members:
                with self.subTest(name=member.name):
                    self.assertEqual(member.mtime, FIXED_EPOCH)
                    if member.isdir():
                        self.assertEqual(member.mode, 0o777)
                    else:
                        self.assertTrue(member.isreg())
                        with open(self.path(member.name), "rb") as handle:
                            self.assertEqual(archive.extractfile(member).read(), handle.read())

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
        names = [fields["name"].rstrip(b"\0").decode()
                 for fields, _ in parse_archive(decompress(self.payload))]
        self.assertEqual(names, [
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

    def test_same_tree_with_source_date_epoch_gives_identical_bytes(self):
        self.pack()
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

    def test_success_is_silent_unless_verbose(self):
        quiet = self.pack()
        self.assertEqual((quiet.stdout, quiet.stderr), ("", ""))
        verbose = self.pack("--verbose")
        self.assertIn("4 entries", verbose.stdout)
        self.assertIn(f"tar {len(decompress(self.payload))} bytes", verbose.stdout)
        self.assertIn(f"compressed {os.path.getsize(self.payload)} bytes", verbose.stdout)


class FrameHeaderTests(PackerTestCase):
    def read_payload(self):
        with open(self.payload, "rb") as handle:
            return handle.read()

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
                payload = self.read_payload()
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

    def test_frame_sizes_outside_the_installers_limits_are_rejected(self):
        for frame_size in ("65535", str((8 << 20) + 1)):
            result = run_packer(self.source, self.payload, "--frame-size", frame_size)
            self.assertEqual(result.returncode, 2, result.stderr)
            self.assertIn("--frame-size", result.stderr)


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

    def test_symbolic_links_are_refused(self):
        for target, link in (("ok.txt", "link-to-file"), (".", "link-to-dir")):
            with self.subTest(link=link):
                os.symlink(target, self.path(link))
                self.assert_refused(link)
                os.unlink(self.path(link))

    def test_fifo_is_refused(self):
        os.mkfifo(self.path("pipe"))
        self.assert_refused("pipe")

    def test_non_ascii_names_are_refused(self):
        write_file(self.path("locale/zh-中文.txt"), "中文".encode())
        self.assert_refused("zh-")
        os.unlink(self.path("locale/zh-中文.txt"))
        with open(os.path.join(os.fsencode(self.source), b"latin1-\xe9.txt"), "wb"):
            pass
        self.assert_refused("latin1-")

    def test_names_windows_cannot_hold_are_refused(self):
        for name, printable_part in (("back\\slash.txt", "back"), ("drive:colon.txt", "drive"),
                                     ("tab\tname.txt", "name.txt")):
            with self.subTest(name=name):
                write_file(self.path(name))
                self.assert_refused(printable_part)
                os.unlink(self.path(name))

    def test_names_over_93_bytes_are_refused(self):
        long_file = "d/" + "f" * 92
        write_file(self.path(long_file))
        self.assert_refused("f" * 92)
        os.unlink(self.path(long_file))
        # The directory's trailing slash counts, so 93 characters of folder name is one too many.
        os.mkdir(self.path("g" * 93))
        self.assert_refused("g" * 93)

    def test_files_of_8_gib_are_refused(self):
        with open(self.path("huge.bin"), "wb") as handle:
            handle.truncate(8 * 1024 ** 3)
        self.assert_refused("huge.bin")

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

    def test_levels_outside_1_to_19_are_rejected(self):
        for level in ("0", "20"):
            with self.subTest(level=level):
                result = run_packer(self.source, self.payload, "--level", level)
                self.assertNotEqual(result.returncode, 0)
                self.assertFalse(os.path.exists(self.payload))


if __name__ == "__main__":
    unittest.main()
