#!/usr/bin/env python3
"""Prints the tests' share of the code: non-blank lines of test code against product plus test code.

What counts as code: files tracked by git whose names end in .cpp, .h, .c, .py, .cmake, .rc, .in, .xml
(skins and markup fixtures are code in this toolkit) or are called CMakeLists.txt. Data (the demo
payload's texts, the import lists, pictures) counts as neither.

  tests   everything under tests/ and the tool tests tools/test_*
  product app/ engine/ ui/ skin/ telemetry/ veneer/ uninstaller/ resources/ demo/ cmake/, the rest of
          tools/, and the top-level CMakeLists.txt
  neither benchmarks (bench/), fuzz harnesses (any fuzz/ folder), scripts/, docs/
"""
import pathlib
import subprocess
import sys

CODE_SUFFIXES = {".cpp", ".h", ".c", ".py", ".cmake", ".rc", ".in", ".xml"}
PRODUCT_TOPS = {"app", "engine", "ui", "skin", "telemetry", "veneer", "uninstaller", "resources", "demo",
                "cmake", "tools"}


def kind_of(path: pathlib.PurePosixPath) -> str | None:
    if path.suffix not in CODE_SUFFIXES and path.name != "CMakeLists.txt":
        return None
    parts = path.parts
    if "fuzz" in parts[:-1]:
        return None
    if parts[0] == "tests" or (parts[0] == "tools" and path.name.startswith("test_")):
        return "test"
    if parts[0] in PRODUCT_TOPS or parts == ("CMakeLists.txt",):
        return "product"
    return None


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    names = subprocess.run(["git", "-C", str(root), "ls-files", "-z"], check=True,
                           capture_output=True).stdout.decode().split("\0")
    lines = {"test": 0, "product": 0}
    for name in filter(None, names):
        kind = kind_of(pathlib.PurePosixPath(name))
        file = root / name
        if kind and file.is_file():
            text = file.read_bytes().decode("utf-8", errors="replace")
            lines[kind] += sum(1 for line in text.splitlines() if line.strip())
    total = lines["test"] + lines["product"]
    print(f"test_share={lines['test'] / total:.2f} ({lines['test']} test lines of {total})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
