#!/usr/bin/env bash
# The 32-bit Windows lane of the end-to-end tests, as a CTest fixture around its cases.
#   start  makes the 32-bit prefix (once; it stays in the build folder), keeps a wineserver running for the
#          lane, starts an X display of the lane's own and trusts the telemetry test server's authority in
#          the prefix, as the server's own start does in the 64-bit prefix
#   stop   removes the authority again and stops that wineserver and display
# The lane runs beside the 64-bit one: with a prefix, a wineserver and a display of its own, its windows,
# input and focus never meet the other lane's. PREFIX_DIR.display holds the display and its Xvfb's process
# id ("DISPLAY PID") while the lane runs.
# Usage: wine32-lane.sh start|stop PREFIX_DIR TRUST_TOOL [CA_FILE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command=$1 prefix=$2 trust_tool=$3
source "$here/wine-env.sh" "$prefix" win32
[ "$WINEARCH" = win32 ] || { echo "error: $prefix is a $WINEARCH prefix, not a 32-bit one" >&2; exit 1; }

case $command in
  start)
    # The display first: every Wine process of the lane, the prefix's set-up included, opens its windows there.
    start_virtual_display
    echo "$DISPLAY $xvfb_pid" >"$prefix.display"
    wine_prefix_ensure
    # A running server does not become persistent (-p ends with status 2): the one the set-up started ends
    # first, and one that a run cut short left behind is ended, with its processes on that run's display.
    # Persistence only saves each case the server's start, so a server started meanwhile is no error.
    # The server leaves the standard handles at once; CTest would otherwise wait for it to end.
    wineserver -k 2>/dev/null || true
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1 || true
    "$here/wine-run.sh" "$prefix" "$trust_tool" add "Z:$(realpath "$4" | tr / '\\')"
    ;;
  stop)
    [ -f "$prefix/system.reg" ] || exit 0  # never made: nothing to undo
    status=0
    "$here/wine-run.sh" "$prefix" "$trust_tool" remove || status=$?
    wineserver -k 2>/dev/null || true
    if [ -f "$prefix.display" ]; then
      read -r _ xvfb_pid <"$prefix.display"
      kill "$xvfb_pid" 2>/dev/null || true
      rm -f "$prefix.display"
    fi
    exit $status
    ;;
  *)
    echo "usage: $0 start|stop PREFIX_DIR TRUST_TOOL [CA_FILE]" >&2
    exit 2
    ;;
esac
