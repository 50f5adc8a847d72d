#!/usr/bin/env bash
# Runs every benchmark program (build/bench/*_bench.exe) under Wine on a virtual display, from the bench
# folder so that generated inputs are found. Each prints name=value lines.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$build/wineprefix"

cleanup() {
  wineserver -k 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1920x1080x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

wine_prefix_ensure || exit 1
wineserver -p
status=0
for program in "$build"/bench/*_bench.exe; do
  [ -e "$program" ] || continue
  echo "# $(basename "$program")"
  (cd "$build/bench" && bash "$here/wine-run.sh" "$build/wineprefix" "$(basename "$program")") || status=1
done
exit $status
