#!/usr/bin/env bash
# Runs the test suite under Wine: one prefix in the build folder, a wineserver kept alive for the whole
# run, and a virtual X display for the programs that open windows. All of it is stopped afterwards.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$build/wineprefix"

cleanup() {
  wineserver -k 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

start_virtual_display

wine_prefix_ensure || exit 1
wineserver -p
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 900
