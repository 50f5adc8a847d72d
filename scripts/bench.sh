#!/usr/bin/env bash
# Runs the benchmarks and prints their figures as `name=value` lines.
# The install worker is compared with native `tar -I zstd -xf` of the same payload into the same file system
# (best of three runs each).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cmake --build "$build" --target worker_bench >/dev/null
source "$here/wine-env.sh" "$build/wineprefix"
wine_prefix_ensure
trap 'wineserver -k 2>/dev/null || true; rm -rf "$build/bench/native"' EXIT

payload="$build/bench/reference.tar.zst"
native_s=
for run in 1 2 3; do
  rm -rf "$build/bench/native" && mkdir -p "$build/bench/native"
  start=$(date +%s.%N)
  tar -I zstd -xf "$payload" -C "$build/bench/native"
  elapsed=$(echo "$(date +%s.%N) - $start" | bc)
  if [ -z "$native_s" ] || [ "$(echo "$elapsed < $native_s" | bc)" = 1 ]; then native_s=$elapsed; fi
done
printf 'native_s=%.3f\n' "$native_s"

wineserver -p
output=$(mktemp "${TMPDIR:-/tmp}/bench.XXXXXX")
wine "$build/bench/worker_bench.exe" 'C:\quillon-bench\Quillon' </dev/null >"$output" 2>&1 || { cat "$output"; exit 1; }
tr -d '\r' <"$output"
worker_s=$(tr -d '\r' <"$output" | sed -n 's/^worker_s=//p')
rm -f "$output"
printf 'worker_vs_native_ratio=%.2f\n' "$(echo "$worker_s / $native_s" | bc -l)"
