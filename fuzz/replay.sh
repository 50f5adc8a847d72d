#!/usr/bin/env bash
# Runs every file of the given folders once through a harness; fails when any input fails or when the
# corpus folder holds nothing (a harness that replays nothing checks nothing).
set -uo pipefail
harness=$1
shift
inputs=()
for folder in "$@"; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' file; do inputs+=("$file"); done < <(find "$folder" -type f ! -name '.*' -print0 | sort -z)
done
if [ ${#inputs[@]} -eq 0 ]; then
  echo "no inputs to replay in: $*" >&2
  exit 1
fi
"$harness" -runs=1 "${inputs[@]}" 2>&1 | tail -n 3
status=${PIPESTATUS[0]}
echo "replayed ${#inputs[@]} inputs through $(basename "$harness"): exit $status"
exit "$status"
