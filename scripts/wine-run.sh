#!/usr/bin/env bash
# Runs one Windows program under Wine in the build's own prefix (CTest's cross-compiling emulator).
# Usage: wine-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh" "$1"
shift
wine_prefix_ensure || exit 1

# Wine's own background processes (services, explorer) inherit the first program's standard handles and
# outlive it; had they inherited a pipe, the reader would wait for them forever. The output goes through
# a file instead and is printed when the program has ended.
output=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$output"' EXIT
wine "$@" </dev/null >"$output" 2>&1
status=$?
cat "$output"
exit $status
