#!/usr/bin/env python3
"""Packs an application tree into the installer's payload: a ustar archive cut into independent
zstd frames, after a skippable frame that tells the installer what is coming.

Usage: pack_payload.py [--level N] [--frame-size BYTES] [--verbose] SRC_DIR OUT_FILE

The payload stays a plain .tar.zst (every zstd decoder skips the skippable frame and joins the
frames), but the installer learns the entry count and the unpacked size before decoding anything,
and decodes the frames on every core with a few frames in memory at a time.

The archive is written by hand rather than with tarfile so that every header byte is fixed by
this file alone: the installer's reader relies on the exact field layout, and the same tree must
always give the same bytes. Anything the layout cannot carry is refused before any output exists.
"""

import argparse
import collections
import concurrent.futures
import os
import stat
import struct
import subprocess
import sys

BLOCK_SIZE = 512
RECORD_SIZE = 20 * BLOCK_SIZE
MAX_NAME_BYTES = 93
# The size field holds 11 octal digits, so 8 GiB is the first size it cannot express.
MAX_FILE_SIZE = 8 ** 11 - 1
MAX_MTIME = 8 ** 11 - 1
# The skippable frame before the data: magic, content length, then the payload index (a tag, the
# format version, the entry count and the tar stream's size). The installer reads the same layout.
INDEX_MAGIC = 0x184D2A5E
INDEX_TAG = b"QPIX"
INDEX_VERSION = 1
INDEX_LAYOUT = "<4sIQQ"
# Tar bytes per frame: the installer holds a few decoded frames at a time, so this bounds its memory,
# while larger frames compress a little better. It refuses frames over 8 MiB.
DEFAULT_FRAME_SIZE = 4 << 20
MIN_FRAME_SIZE = 64 << 10
MAX_FRAME_SIZE = 8 << 20
EXECUTABLE_EXTENSIONS = (".exe", ".dll")
# The tree is unpacked onto Windows, where these characters cannot appear in a file name; the
# backslash in particular would be read back as a folder separator.
CHARACTERS_WINDOWS_REFUSES = frozenset('\\:*?"<>|') | frozenset(map(chr, range(32)))
COPY_CHUNK = 1 << 20


class PackError(Exception):
    """A tree or a file the payload format cannot carry; the message names the culprit."""


class Entry:
    def __init__(self, name, host_path, is_dir, size, mode, mtime):
        self.name = name
        self.host_path = host_path
        self.is_dir = is_dir
        self.size = size
        self.mode = mode
        self.mtime = mtime


def octal_field(value, width):
    """Zero-padded octal digits followed by one NUL, filling a field of `width` bytes."""
    digits = format(value, "o").encode("ascii")
    if len(digits) > width - 1:
        raise ValueError(f"{value} does not fit in a {width}-byte octal field")
    return digits.rjust(width - 1, b"0") + b"\0"


def text_field(value, width):
    return value.ljust(width, b"\0")


def build_header(entry):
    name = entry.name.encode("ascii")
    fields = [
        text_field(name, 100),
        octal_field(entry.mode, 8),
        octal_field(0, 8),  # uid
        octal_field(0, 8),  # gid
        octal_field(entry.size, 12),
        octal_field(entry.mtime, 12),
        b" " * 8,  # checksum, counted as spaces while it is computed
        b"5" if entry.is_dir else b"0",
        text_field(b"", 100),  # linkname
        b"ustar\0",
        b"00",
        text_field(b"", 32),  # uname
        text_field(b"", 32),  # gname
        octal_field(0, 8),  # devmajor
        octal_field(0, 8),  # devminor
        text_field(b"", 155),  # prefix
        text_field(b"", 12),
    ]
    header = bytearray(b"".join(fields))
    assert len(header) == BLOCK_SIZE
    checksum = sum(header)
    header[148:156] = format(checksum, "06o").encode("ascii") + b"\0 "
    return bytes(header)


def padding_after(size, unit):
    return (unit - size % unit) % unit


def fixed_mtime_from_environment():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value is None or value == "":
        return None
    try:
        seconds = int(value)
    except ValueError:
        raise PackError(f"SOURCE_DATE_EPOCH is not a whole number of seconds: {value!r}")
    if not 0 <= seconds <= MAX_MTIME:
        raise PackError(f"SOURCE_DATE_EPOCH is out of range: {value}")
    return seconds


def describe_entry(name, info):
    if stat.S_ISLNK(info.st_mode):
        return f"{name}: symbolic links cannot be packed"
    if stat.S_ISFIFO(info.st_mode):
        return f"{name}: FIFOs cannot be packed"
    if stat.S_ISSOCK(info.st_mode):
        return f"{name}: sockets cannot be packed"
    if stat.S_ISCHR(info.st_mode) or stat.S_ISBLK(info.st_mode):
        return f"{name}: device files cannot be packed"
    return f"{name}: only regular files and directories can be packed"


def make_entry(relative_name, host_path, info, fixed_mtime):
    try:
        relative_name.encode("ascii")
    except UnicodeEncodeError:
        raise PackError(f"{host_path}: name is not ASCII")
    refused = sorted(set(relative_name) & CHARACTERS_WINDOWS_REFUSES)
    if refused:
        raise PackError(f"{host_path}: name contains {refused[0]!r}, which Windows file names "
                        f"cannot hold")
    is_dir = stat.S_ISDIR(info.st_mode)
    archive_name = relative_name + "/" if is_dir else relative_name
    if len(archive_name) > MAX_NAME_BYTES:
        raise PackError(
            f"{host_path}: archive name is {len(archive_name)} bytes, "
            f"longer than {MAX_NAME_BYTES}")
    if is_dir:
        size = 0
        mode = 0o777
    else:
        size = info.st_size
        if size > MAX_FILE_SIZE:
            raise PackError(f"{host_path}: {size} bytes is 8 GiB or more")
        executable = (info.st_mode & 0o111) != 0 or \
            relative_name.lower().endswith(EXECUTABLE_EXTENSIONS)
        mode = 0o777 if executable else 0o666
    mtime = fixed_mtime if fixed_mtime is not None else min(max(int(info.st_mtime), 0), MAX_MTIME)
    return Entry(archive_name, host_path, is_dir, size, mode, mtime)


def list_directory(host_dir):
    try:
        names = os.listdir(os.fsencode(host_dir))
    except OSError as error:
        raise PackError(f"{host_dir}: cannot list directory: {error.strerror}")
    # Sorting the raw bytes keeps the order independent of the host's locale.
    return sorted(names)


def collect_entries(source_dir, fixed_mtime):
    """Walks the tree breadth-first so that every directory precedes its contents and the
    installer can create folders as it meets them."""
    entries = []
    pending_dirs = [("", source_dir)]
    while pending_dirs:
        next_level = []
        for relative_dir, host_dir in pending_dirs:
            for raw_name in list_directory(host_dir):
                name = os.fsdecode(raw_name)
                host_path = os.path.join(host_dir, name)
                try:
                    info = os.lstat(host_path)
                except OSError as error:
                    raise PackError(f"{host_path}: {error.strerror}")
                if not (stat.S_ISREG(info.st_mode) or stat.S_ISDIR(info.st_mode)):
                    raise PackError(describe_entry(host_path, info))
                relative_name = f"{relative_dir}/{name}" if relative_dir else name
                entry = make_entry(relative_name, host_path, info, fixed_mtime)
                entries.append(entry)
                if entry.is_dir:
                    next_level.append((relative_name, host_path))
        pending_dirs = next_level
    return entries


def archive_size(entries):
    size = 2 * BLOCK_SIZE
    for entry in entries:
        size += BLOCK_SIZE + entry.size + padding_after(entry.size, BLOCK_SIZE)
    return size + padding_after(size, RECORD_SIZE)


def write_archive(entries, sink):
    written = 0
    for entry in entries:
        sink.write(build_header(entry))
        written += BLOCK_SIZE
        if entry.is_dir:
            continue
        copied = 0
        with open(entry.host_path, "rb") as source:
            while True:
                chunk = source.read(COPY_CHUNK)
                if not chunk:
                    break
                copied += len(chunk)
                if copied > entry.size:
                    break
                sink.write(chunk)
        # The index records the exact stream size, so a file that changed underneath must stop
        # the pack rather than produce a header that lies about its data.
        if copied != entry.size:
            raise PackError(f"{entry.host_path}: file changed size while it was being packed")
        pad = padding_after(entry.size, BLOCK_SIZE)
        sink.write(b"\0" * pad)
        written += entry.size + pad
    end = 2 * BLOCK_SIZE
    end += padding_after(written + end, RECORD_SIZE)
    sink.write(b"\0" * end)
    return written + end


def index_frame(entry_count, tar_size):
    content = struct.pack(INDEX_LAYOUT, INDEX_TAG, INDEX_VERSION, entry_count, tar_size)
    return struct.pack("<II", INDEX_MAGIC, len(content)) + content


def compress_frame(chunk, level):
    """One independent frame with its content size and checksum, its window no larger than the
    chunk (a decoder then needs no more memory than the chunk itself)."""
    window_log = max(10, (len(chunk) - 1).bit_length())
    command = ["zstd", "-q", f"-{level}", "--check", "--content-size",
               f"--stream-size={len(chunk)}", "-T1", f"--zstd=wlog={window_log}", "-c", "-"]
    try:
        result = subprocess.run(command, input=chunk, capture_output=True)
    except FileNotFoundError:
        raise PackError("zstd: command not found; install the zstd package")
    if result.returncode != 0:
        raise PackError(f"zstd failed with exit status {result.returncode}: "
                        f"{result.stderr.decode(errors='replace').strip()}")
    return result.stdout


class FrameSink:
    """Cuts the tar stream into chunks of frame_size bytes and compresses them on every core,
    writing the frames in stream order with a bounded number of chunks in flight."""

    def __init__(self, out_file, level, frame_size):
        self.out_file = out_file
        self.level = level
        self.frame_size = frame_size
        self.pending = bytearray()
        workers = os.cpu_count() or 1
        self.in_flight_limit = 2 * workers
        self.executor = concurrent.futures.ThreadPoolExecutor(workers)
        self.in_flight = collections.deque()

    def write(self, data):
        self.pending += data
        while len(self.pending) >= self.frame_size:
            self.submit(bytes(self.pending[:self.frame_size]))
            del self.pending[:self.frame_size]

    def submit(self, chunk):
        self.in_flight.append(self.executor.submit(compress_frame, chunk, self.level))
        while len(self.in_flight) > self.in_flight_limit:
            self.out_file.write(self.in_flight.popleft().result())

    def finish(self):
        if self.pending:
            self.submit(bytes(self.pending))
            self.pending.clear()
        while self.in_flight:
            self.out_file.write(self.in_flight.popleft().result())
        self.executor.shutdown()

    def abandon(self):
        for future in self.in_flight:
            future.cancel()
        self.executor.shutdown()


def compress_tree(entries, level, frame_size, out_path):
    tar_size = archive_size(entries)
    with open(out_path, "wb") as out_file:
        out_file.write(index_frame(len(entries), tar_size))
        sink = FrameSink(out_file, level, frame_size)
        try:
            written = write_archive(entries, sink)
            sink.finish()
        except BaseException:
            sink.abandon()
            raise
    # The index promised this size; a file that changed underneath must stop the pack.
    if written != tar_size:
        raise PackError(f"the archive came to {written} bytes instead of {tar_size}")
    return tar_size


def inside(path, directory):
    path = os.path.realpath(path)
    directory = os.path.realpath(directory)
    return os.path.commonpath([path, directory]) == directory


def add_default_files(entries, default_files, fixed_mtime):
    """Adds each NAME=PATH file at the top level when the tree has no entry of that name (any letter
    case, as Windows sees it), keeping the top level sorted like the walk sorts it."""
    top_count = sum(1 for entry in entries if "/" not in entry.name.rstrip("/"))
    top, rest = entries[:top_count], entries[top_count:]
    for spec in default_files:
        name, _, host_path = spec.partition("=")
        if not name or "/" in name or not host_path:
            raise PackError(f"--default-file {spec!r}: expected NAME=PATH with a top-level NAME")
        if any(entry.name.rstrip("/").lower() == name.lower() for entry in top):
            continue
        try:
            info = os.stat(host_path)
        except OSError as error:
            raise PackError(f"{host_path}: {error.strerror}")
        if not stat.S_ISREG(info.st_mode):
            raise PackError(f"{host_path}: --default-file must name a regular file")
        top.append(make_entry(name, host_path, info, fixed_mtime))
    top.sort(key=lambda entry: os.fsencode(entry.name.rstrip("/")))
    return top + rest


def pack(source_dir, out_file, level, frame_size=DEFAULT_FRAME_SIZE, default_files=()):
    if not os.path.isdir(source_dir):
        raise PackError(f"{source_dir}: not a directory")
    # A payload written into the tree it packs would be swallowed by the next pack.
    if inside(out_file, source_dir):
        raise PackError(f"{out_file}: output file must not be inside {source_dir}")
    fixed_mtime = fixed_mtime_from_environment()
    entries = add_default_files(collect_entries(source_dir, fixed_mtime), default_files, fixed_mtime)
    out_dir = os.path.dirname(os.path.abspath(out_file))
    # Packing into a neighbour and renaming at the end means a failed pack never leaves a
    # truncated payload where the build would take it for a good one.
    temporary_path = os.path.join(
        out_dir, f".{os.path.basename(out_file)}.{os.getpid()}.tmp")
    # Created like any new file, so the finished payload gets the usual umask permissions.
    os.close(os.open(temporary_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666))
    try:
        tar_size = compress_tree(entries, level, frame_size, temporary_path)
        os.replace(temporary_path, out_file)
    except BaseException:
        os.unlink(temporary_path)
        raise
    return entries, tar_size


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Pack an application tree into a zstd-compressed ustar payload.")
    parser.add_argument("--level", type=int, default=19,
                        help="zstd compression level, 1 to 19 (default 19)")
    parser.add_argument("--frame-size", type=int, default=DEFAULT_FRAME_SIZE, metavar="BYTES",
                        help=f"tar bytes per zstd frame, {MIN_FRAME_SIZE} to {MAX_FRAME_SIZE} "
                             f"(default {DEFAULT_FRAME_SIZE})")
    parser.add_argument("--verbose", action="store_true", help="print a summary when done")
    parser.add_argument("--default-file", action="append", default=[], metavar="NAME=PATH",
                        help="pack PATH as the top-level file NAME when the tree has none (repeatable)")
    parser.add_argument("source_dir", metavar="SRC_DIR")
    parser.add_argument("out_file", metavar="OUT_FILE")
    arguments = parser.parse_args(argv)
    if not 1 <= arguments.level <= 19:
        parser.error(f"--level must be between 1 and 19, not {arguments.level}")
    if not MIN_FRAME_SIZE <= arguments.frame_size <= MAX_FRAME_SIZE:
        parser.error(f"--frame-size must be between {MIN_FRAME_SIZE} and {MAX_FRAME_SIZE}, "
                     f"not {arguments.frame_size}")
    return arguments


def remove_stale_output(out_file):
    """A payload left from an earlier pack would look current to the build after this one
    failed, so a failure leaves no payload at all."""
    try:
        if stat.S_ISREG(os.lstat(out_file).st_mode):
            os.unlink(out_file)
    except OSError:
        pass


def main(argv):
    arguments = parse_arguments(argv)
    try:
        entries, tar_size = pack(arguments.source_dir, arguments.out_file,
                                 arguments.level, arguments.frame_size, arguments.default_file)
    except (PackError, OSError) as error:
        if isinstance(error, PackError):
            message = str(error)
        else:
            message = f"{error.filename or arguments.out_file}: {error.strerror}"
        print(f"pack_payload: error: {message}", file=sys.stderr)
        # A path inside the tree is one of the tree's own files, never an earlier payload.
        if not inside(arguments.out_file, arguments.source_dir):
            remove_stale_output(arguments.out_file)
        return 1
    if arguments.verbose:
        directories = sum(1 for entry in entries if entry.is_dir)
        print(f"pack_payload: {len(entries)} entries ({len(entries) - directories} files, "
              f"{directories} dirs), tar {tar_size} bytes, "
              f"compressed {os.path.getsize(arguments.out_file)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
