# Sourced by the scripts that run Windows programs: the Wine settings every run shares.
# Usage: source scripts/wine-env.sh PREFIX_DIR [win64|win32]
export WINEPREFIX=$1
# A prefix keeps the architecture it was made with (Wine refuses to run it as the other); a new one is made
# as the second argument says: win64 (the default) is a 64-bit Windows that runs the 32-bit programs under
# WoW64, win32 a 32-bit Windows.
WINEARCH=$(sed -n 's/^#arch=//p' "$1/system.reg" 2>/dev/null | head -n 1 || true)
export WINEARCH=${WINEARCH:-${2:-win64}}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Bumped whenever wine_prefix_settings changes, so that existing prefixes receive the new settings.
wine_prefix_settings_version=4

# Settings every prefix gets on top of Wine's defaults.
wine_prefix_settings() {
  # The skins name "Microsoft YaHei UI"; the Debian CJK font stands in for it.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'Microsoft YaHei UI' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
  # A crashing test program must end, not wait on Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # No just-in-time debugger, as on a Windows machine without one: a crashing program ends itself with its
  # exception code. Wine's default debugger (winedbg --auto) would attach and end the process itself, with an
  # exit code that depends on the debugger's state (0 has been seen). Both registry views: 32-bit programs
  # read theirs.
  for view in 32 64; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f \
      /reg:$view >/dev/null 2>&1
  done
}

# Creates the prefix once and brings its settings up to date; concurrent callers wait on the lock instead
# of racing wineboot.
wine_prefix_ensure() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.quillon-ready" ]; then
      # A half-made prefix is started over; any other folder (a build tree named by mistake) is left alone.
      if [ -n "$(ls -A "$WINEPREFIX" 2>/dev/null)" ] && [ ! -e "$WINEPREFIX/system.reg" ] && [ ! -d "$WINEPREFIX/drive_c" ]; then
        echo "error: $WINEPREFIX is not a Wine prefix; refusing to replace it" >&2
        exit 1
      fi
      rm -rf "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      local system_folder=syswow64
      [ "$WINEARCH" = win32 ] && system_folder=system32
      [ -d "$WINEPREFIX/drive_c/windows/$system_folder" ] || { echo "error: wine prefix $WINEPREFIX was not created" >&2; exit 1; }
      echo 0 > "$WINEPREFIX/.quillon-ready"
    fi
    if [ "$(cat "$WINEPREFIX/.quillon-ready")" != "$wine_prefix_settings_version" ]; then
      wine_prefix_settings
      echo "$wine_prefix_settings_version" > "$WINEPREFIX/.quillon-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts an Xvfb display for the programs that open windows and exports DISPLAY; the caller stops it
# with: kill "$xvfb_pid". The server picks a free display number itself and reports it once it accepts
# connections (-displayfd): choosing a number here could race another run's server for it, and a program
# started before the server listens finds no display.
start_virtual_display() {
  local ready display=
  exec {ready}< <(exec Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp 3>&1 </dev/null >/dev/null 2>&1)
  xvfb_pid=$!
  read -r -t 60 -u "$ready" display || true
  exec {ready}<&-
  if [ -z "$display" ]; then
    echo "error: Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    return 1
  fi
  export DISPLAY=":$display"
}
