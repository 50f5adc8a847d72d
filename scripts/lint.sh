#!/usr/bin/env bash
# make lint: the formatting (.clang-format) and the static checks (.clang-tidy) over the project's own C++
# sources. clang-tidy reads the MinGW build's compile_commands.json and parses as the i686 MinGW target,
# with the MinGW C++ library the build uses. Benchmarks, fuzz harnesses and generated files are not linted.
# Usage: lint.sh BUILD_DIR   (exit status 1 when anything is reported)
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' | grep -v -e '^bench/' -e '/fuzz/')
status=0

echo "clang-format: ${#sources[@]} files"
clang-format --dry-run -Werror "${sources[@]}" || status=1

# The C++ library of the MinGW compiler the build uses, which clang does not find by itself.
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
mapfile -t includes < <(echo | "$cxx" -x c++ -E -v - 2>&1 | sed -n '/^#include <...>/,/^End of search/p' |
                        grep '/include/c++')
args=(--extra-arg=--target=i686-w64-mingw32)
for dir in "${includes[@]}"; do args+=("--extra-arg=-isystem${dir# }"); done
# The translation units the build compiles, less the ones of benchmarks, fuzz harnesses and generated code.
mapfile -t units < <(python3 - "$build/compile_commands.json" "$PWD" <<'PY'
import json, os, sys
root = sys.argv[2] + "/"
for entry in json.load(open(sys.argv[1])):
    file = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    relative = file[len(root):]
    if file.startswith(root) and relative.endswith(".cpp") and not relative.startswith(("bench/", "build")) \
            and "/fuzz/" not in relative:
        print(relative)
PY
)
echo "clang-tidy: ${#units[@]} files"
printf '%s\n' "${units[@]}" |
  xargs -P "${LINT_JOBS:-$(nproc)}" -n 4 clang-tidy -p "$build" --quiet "${args[@]}" 2>/dev/null |
  tee "$build/clang-tidy.log" | grep -E ': (warning|error):' && status=1
[ $status -eq 0 ] && echo "lint: clean"
exit $status
