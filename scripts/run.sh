#!/usr/bin/env bash
# make run. With a real display (DISPLAY set): opens the installer bin/QuillonSetup.exe for the user.
# Headless: starts a virtual display and lets scripts/e2e/run_demo.py install the demo application like a
# person would, saving screenshots of every view to bin/screenshots/, then prints where it was installed,
# the uninstall entry, the links and the log.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/wine-env.sh" "$build/wineprefix"
wine_prefix_ensure

xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  wine "$root/bin/QuillonSetup.exe" </dev/null >/dev/null 2>&1
  exit $?
fi

start_virtual_display || exit 1
wineserver -p
# The driver needs no module beyond the standard library; the system interpreter is the one Debian's
# packages set up.
/usr/bin/python3 "$here/e2e/run_demo.py" --root "$root" --build "$build"
