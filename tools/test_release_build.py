#!/usr/bin/env python3
"""What a release build promises about bin/QuillonSetup.exe, checked on the built file.

Usage: test_release_build.py --setup EXE --source-dir DIR --build-dir DIR --deps-prefix DIR

- Reproducible: no link time in the PE or resource headers, no folder of this machine inside.
- Signing (scripts/sign.sh, as the build runs it): a copy signed with a throwaway certificate verifies
  against it, a tampered copy does not, the resources (the payload among them) are the unsigned ones byte
  for byte, and signing twice at the same SOURCE_DATE_EPOCH gives the same bytes.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ARGS = None
RESOURCE_DIRECTORY, SECURITY_DIRECTORY = 2, 4


class PeImage:
    """The few header fields of a 32-bit PE file these checks need."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, self.link_time, _, _, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise ValueError("not a 32-bit PE file")
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i) for i in range(16)]
        self.sections = [struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)
                         for i in range(sections)]

    def directory_bytes(self, index):
        rva, size = self.directories[index]
        for _, virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                start = raw_offset + rva - address
                return self.data[start:start + size]
        raise ValueError(f"data directory {index} lies in no section")


def run(*command, **options):
    return subprocess.run([str(part) for part in command], capture_output=True, text=True, **options)


class ReleaseBuild(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="quillon-release-"))
        cls.addClassCleanup(shutil.rmtree, cls.work)
        # A build given a certificate signs the product itself: its unsigned form is what the link wrote.
        cls.unsigned = cls.work / "unsigned.exe"
        shutil.copyfile(ARGS.setup, cls.unsigned)
        if PeImage(cls.unsigned.read_bytes()).directories[SECURITY_DIRECTORY][1]:
            stripped = cls.work / "stripped.exe"
            subprocess.run(["osslsigncode", "remove-signature", "-in", cls.unsigned, "-out", stripped], check=True,
                           capture_output=True)
            stripped.replace(cls.unsigned)

    def test_reproducible(self):
        data = Path(ARGS.setup).read_bytes()
        image = PeImage(data)
        self.assertEqual(image.link_time, 0, "link time in the PE header")
        self.assertEqual(struct.unpack_from("<I", image.directory_bytes(RESOURCE_DIRECTORY), 4)[0], 0,
                         "time in the resource directory")
        folders = {ARGS.source_dir, ARGS.build_dir, ARGS.deps_prefix, os.path.expanduser("~")}
        for folder in sorted(f.rstrip("/") for f in folders if f and f != "/"):
            for encoding in ("utf-8", "utf-16-le"):
                self.assertNotIn(folder.encode(encoding), data, f"{folder} ({encoding}) inside the installer")

    def test_signed_copy(self):
        signed = self.work / "QuillonSetup.exe"
        shutil.copyfile(self.unsigned, signed)
        environment = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
        sys.path.insert(0, str(Path(ARGS.source_dir) / "scripts" / "e2e"))
        import driver
        certificate = driver.sign_with_test_certificate(ARGS.source_dir, signed, self.work / "certificate")

        verified = run("osslsigncode", "verify", "-CAfile", certificate, "-in", signed)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn("Signature verification: ok", verified.stdout)
        unsigned_image, signed_image = PeImage(self.unsigned.read_bytes()), PeImage(signed.read_bytes())
        self.assertNotEqual(signed_image.directories[SECURITY_DIRECTORY][1], 0, "no signature in the copy")
        self.assertEqual(signed_image.directory_bytes(RESOURCE_DIRECTORY),
                         unsigned_image.directory_bytes(RESOURCE_DIRECTORY), "resources changed by signing")

        tampered = bytearray(signed.read_bytes())
        tampered[len(tampered) // 2] ^= 0xFF  # inside the payload, which the signature covers
        tampered_file = self.work / "tampered.exe"
        tampered_file.write_bytes(bytes(tampered))
        self.assertNotEqual(run("osslsigncode", "verify", "-CAfile", certificate, "-in", tampered_file).returncode,
                            0, "a changed payload byte still verifies")

        twice = []
        for name in ("first.exe", "second.exe"):
            shutil.copyfile(self.unsigned, self.work / name)
            subprocess.run(["bash", Path(ARGS.source_dir) / "scripts" / "sign.sh",
                            "--pkcs12", self.work / "certificate" / "signer.p12",
                            "--password-file", self.work / "certificate" / "password.txt", self.work / name],
                           check=True, env=environment)
            twice.append((self.work / name).read_bytes())
        self.assertEqual(twice[0], twice[1], "the same SOURCE_DATE_EPOCH signed twice differs")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--setup", "--source-dir", "--build-dir", "--deps-prefix"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
