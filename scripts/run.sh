#!/usr/bin/env bash
# The main job: unpacks the demo payload embedded in bin/quillon_extract.exe into a folder of the Wine
# prefix, printing each progress message, then shows where the files landed.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/wine-env.sh" "$build/wineprefix"
wine_prefix_ensure
trap 'wineserver -k 2>/dev/null || true' EXIT

target='C:\Program Files (x86)\vexor\Quillon'
wine "$root/bin/quillon_extract.exe" "$target"
unix_target="$WINEPREFIX/drive_c/Program Files (x86)/vexor/Quillon"
echo
echo "installed tree ($unix_target):"
(cd "$unix_target" && find . -mindepth 1 | sort | sed 's/^/  /')
