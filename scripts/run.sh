#!/usr/bin/env bash
# The main job: installs the demo payload embedded in bin/quillon_install.exe through the install worker
# into a folder of the Wine prefix, printing each progress message and the log, then the installed tree's
# summary, the uninstall entry and the links.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/wine-env.sh" "$build/wineprefix"
wine_prefix_ensure
trap 'wineserver -k 2>/dev/null || true' EXIT

target='C:\Program Files (x86)\vexor\Quillon'
output=$(mktemp "${TMPDIR:-/tmp}/quillon-run.XXXXXX")
status=0
wine "$root/bin/quillon_install.exe" "$target" </dev/null >"$output" 2>&1 || status=$?
cat "$output"
rm -f "$output"
exit $status
