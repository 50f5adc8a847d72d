#!/usr/bin/env bash
# Runs the test suite under Wine: a 64-bit prefix in the build folder with a wineserver kept alive for the
# whole run, and a virtual X display for the programs that open windows. All of it is stopped afterwards.
# The 32-bit lane of the end-to-end tests makes and runs its own prefix through a CTest fixture
# (scripts/wine32-lane.sh).
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$build/wineprefix"

cleanup() {
  wineserver -k 2>/dev/null
  # The 32-bit lane's fixture stops its own wineserver; a run cut short leaves it to this.
  [ -d "$build/wineprefix32" ] && WINEPREFIX="$build/wineprefix32" wineserver -k 2>/dev/null
  if [ -f "$build/wineprefix32.display" ]; then
    read -r _ lane_xvfb_pid <"$build/wineprefix32.display"
    kill "$lane_xvfb_pid" 2>/dev/null
    rm -f "$build/wineprefix32.display"
  fi
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -f "${replay_log:-}"
}
trap cleanup EXIT

# While the Wine tests run, the host fuzz harnesses are built and replay their committed corpora and crash
# reproducers (no Wine), at low priority: the Wine tests spend much of their time waiting on windows and
# processes. A failure there fails the run as a failing test does.
replay_log=$(mktemp "${TMPDIR:-/tmp}/fuzz-replay.XXXXXX")
nice -n 10 bash "$here/fuzz.sh" replay >"$replay_log" 2>&1 &
replay_pid=$!

start_virtual_display || exit 1

wine_prefix_ensure || exit 1
# A server still running (the prefix's set-up, a run that was cut short) refuses to become persistent (-p
# ends with status 2), and every test program would then start and stop a server of its own: this run owns
# the prefix, so any such server is ended first.
wineserver -k 2>/dev/null
wineserver -w
wineserver -p || { echo "error: no persistent wineserver for $WINEPREFIX" >&2; exit 1; }
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 900
status=$?
wait "$replay_pid"
replay_status=$?
cat "$replay_log"
rm -f "$replay_log"
[ "$replay_status" -eq 0 ] || status=1
python3 "$here/count-test-share.py" "$here/.."
exit "$status"
