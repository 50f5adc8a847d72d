#!/usr/bin/env bash
# Runs the benchmarks and prints their figures. The reference payload is generated once and cached.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/wine-env.sh" "$build/wineprefix"
wine_prefix_ensure
trap 'wineserver -k 2>/dev/null || true' EXIT

# 1. The reference payload, keyed by the generator and the packer.
key=$(cat "$root/bench/make_reference_tree.py" "$root/tools/pack_payload.py" | sha256sum | cut -c1-12)
cache=${QUILLON_BENCH_CACHE:-$HOME/.cache/quillon-bench}/$key
payload=$cache/reference.tar.zst
if [ ! -f "$payload" ]; then
  echo "generating the reference payload (once; level 19 takes a few minutes)..."
  mkdir -p "$cache"
  tree=$(mktemp -d)
  python3 "$root/bench/make_reference_tree.py" "$tree"
  SOURCE_DATE_EPOCH=1700000000 python3 "$root/tools/pack_payload.py" --level 19 --long-window --verbose \
    "$tree" "$payload.partial"
  mv "$payload.partial" "$payload"
  rm -rf "$tree"
fi

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
echo "== payload extraction =="
wine "$build/bench/extract_bench.exe" "$(winepath -w "$payload")" "$native" </dev/null 2>&1 | tr -d '\r'

# 4. The whole install worker. Its program carries the payload as a resource, as the installer does, so it
#    is linked against the cached payload here.
echo "== install worker =="
mkdir -p "$build/bench"
ln -f "$payload" "$build/bench/reference.tar.zst" 2>/dev/null || cp "$payload" "$build/bench/reference.tar.zst"
cmake --build "$build" --target worker_bench >/dev/null
wine "$build/bench/worker_bench.exe" 'C:\quillon-bench\Quillon' "$native" </dev/null 2>&1 | tr -d '\r' | grep -v '^\['
