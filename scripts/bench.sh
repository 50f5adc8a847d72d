#!/usr/bin/env bash
# Runs the benchmarks under Wine on a virtual display and prints their name=value figures.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/wine-env.sh" "$build/wineprefix"

cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

start_virtual_display
wine_prefix_ensure
wineserver -p

# 0. The shipped program's size: the whole file, and everything but its resources (payload, skin, icon).
exe=$root/bin/QuillonSetup.exe
echo "# QuillonSetup.exe"
echo "exe_bytes=$(stat -c %s "$exe")"
code_bytes=0
for hex_size in $(i686-w64-mingw32-objdump -h "$exe" | awk '$1 ~ /^[0-9]+$/ && $2 != ".rsrc" { print $3 }'); do
  code_bytes=$((code_bytes + 16#$hex_size))
done
echo "exe_code_bytes=$code_bytes"

# 1. The reference payload and a payload of about 1 GB (seven copies of the reference tree, level 3),
#    generated once and keyed by the generator and the packer.
key=$(cat "$root/bench/make_reference_tree.py" "$root/tools/pack_payload.py" | sha256sum | cut -c1-12)
cache=${QUILLON_BENCH_CACHE:-$HOME/.cache/quillon-bench}/$key
payload=$cache/reference.tar.zst
big_payload=$cache/big.tar.zst
if [ ! -f "$payload" ] || [ ! -f "$big_payload" ]; then
  echo "generating the reference payloads (once; level 19 takes a few minutes)..."
  mkdir -p "$cache"
  tree=$(mktemp -d)
  python3 "$root/bench/make_reference_tree.py" "$tree/reference"
  if [ ! -f "$payload" ]; then
    SOURCE_DATE_EPOCH=1700000000 python3 "$root/tools/pack_payload.py" --level 19 --verbose \
      "$tree/reference" "$payload.partial"
    mv "$payload.partial" "$payload"
  fi
  if [ ! -f "$big_payload" ]; then
    mkdir -p "$tree/big"
    for copy in 1 2 3 4 5 6 7; do cp -al "$tree/reference" "$tree/big/copy$copy"; done
    SOURCE_DATE_EPOCH=1700000000 python3 "$root/tools/pack_payload.py" --level 3 --verbose \
      "$tree/big" "$big_payload.partial"
    mv "$big_payload.partial" "$big_payload"
  fi
  rm -rf "$tree"
fi
echo "payload_bytes=$(stat -c %s "$payload")"

# 2. Native extraction on this machine, the yardstick (median of three).
scratch=$(mktemp -d "$build/bench-native.XXXXXX")
times=()
for _ in 1 2 3; do
  rm -rf "$scratch/out" && mkdir "$scratch/out"
  start=$EPOCHREALTIME
  tar -I zstd -xf "$payload" -C "$scratch/out"
  end=$EPOCHREALTIME
  times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
done
rm -rf "$scratch"
native=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)

# 3. Extraction under Wine.
echo "# extract_bench.exe"
(cd "$build/bench" && wine extract_bench.exe "$(winepath -w "$payload")" "$native" </dev/null 2>&1 | tr -d '\r')
echo "# extract_bench.exe --big"
(cd "$build/bench" && wine extract_bench.exe "$(winepath -w "$big_payload")" --big </dev/null 2>&1 | tr -d '\r')

# 4. The programs that need no arguments, from the bench folder so that generated inputs are found.
for program in "$build"/bench/*_bench.exe; do
  name=$(basename "$program")
  case "$name" in extract_bench.exe | worker_bench.exe) continue ;; esac
  echo "# $name"
  echo "load_average=$(cut -d' ' -f1-3 /proc/loadavg)"
  (cd "$build/bench" && wine "$name" </dev/null 2>&1 | tr -d '\r')
done

# 5. The whole install worker. Its program carries the payload as a resource, as the installer does, so it
#    is linked against the cached payload here.
echo "# worker_bench.exe"
ln -f "$payload" "$build/bench/reference.tar.zst" 2>/dev/null || cp "$payload" "$build/bench/reference.tar.zst"
cmake --build "$build" --target worker_bench >/dev/null
wine "$build/bench/worker_bench.exe" 'C:\quillon-bench\Quillon' "$native" </dev/null 2>&1 | tr -d '\r' | grep -v '^\['
