#!/usr/bin/env bash
# Builds QuillonSetup.exe twice, from two copies of this working tree in folders of different names, each
# into a fresh build folder with the cached dependencies, and fails unless the two are the same bytes.
# Arguments are build settings (-DNAME=VALUE) for both. SOURCE_DATE_EPOCH should be set (make
# reproducible-check sets it): without it the payload keeps the files' own times.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(bash "$root/scripts/build-deps.sh" | tail -n 1)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

copies=(first second-copy)
for copy in "${copies[@]}"; do
  mkdir -p "$work/$copy"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | tar --null -T - --ignore-failed-read -cf -) |
    tar -xf - -C "$work/$copy"
  echo "building $work/$copy/bin/QuillonSetup.exe"
  (cd "$work/$copy" && cmake --preset default -DQUILLON_DEPS_PREFIX="$prefix" "$@" >/dev/null &&
   cmake --build build --target quillon_setup -j 2 >/dev/null)
done

one="$work/${copies[0]}/bin/QuillonSetup.exe" two="$work/${copies[1]}/bin/QuillonSetup.exe"
if ! cmp -s "$one" "$two"; then
  echo "reproducible-check: the two builds differ ($(cmp -l "$one" "$two" | wc -l) bytes; first offsets):" >&2
  cmp -l "$one" "$two" | head -n 8 >&2
  exit 1
fi
echo "reproducible-check: both builds are $(sha256sum < "$one" | cut -c1-64) ($(stat -c %s "$one") bytes)"
