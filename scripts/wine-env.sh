# Sourced by the scripts that run Windows programs: the Wine settings every run shares.
# Usage: source scripts/wine-env.sh PREFIX_DIR
export WINEPREFIX=$1
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Creates the prefix once; concurrent callers wait on the lock instead of racing wineboot.
wine_prefix_ensure() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.quillon-ready" ]; then
      rm -rf "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || { echo "error: wine prefix $WINEPREFIX was not created" >&2; exit 1; }
      touch "$WINEPREFIX/.quillon-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}
