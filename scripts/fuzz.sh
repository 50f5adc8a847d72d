#!/usr/bin/env bash
# Host fuzzing of the parsers of outside input (fuzz/). Usage:
#   scripts/fuzz.sh build             configure and build the harnesses in build-fuzz (clang, 32-bit)
#   scripts/fuzz.sh replay            build, then replay every committed corpus file and crash reproducer
#   scripts/fuzz.sh run [NAME...]     build, then fuzz each harness (all by default) for FUZZ_SECONDS
#                                     (default 60), one after another, at low priority
# A run grows build-fuzz/work/NAME (first a copy of fuzz/corpus/NAME), writes crash reproducers to
# build-fuzz/artifacts/NAME/, prints fuzz_NAME_execs=N and fuzz_NAME_crashes=N, and adds a line to
# FUZZ_TALLY (default build-fuzz/tally.tsv): date, harness, executions, crashes.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-60}
tally=${FUZZ_TALLY:-$build/tally.tsv}
harnesses=(markup zip draw_info attribute_text image html_text layout entry_name)

# Inputs stay small: every construct of each grammar fits, and small inputs run fast.
max_len() {
  case $1 in
    markup | draw_info | image) echo 512 ;;
    zip) echo 1024 ;;
    *) echo 256 ;;
  esac
}

build_harnesses() {
  cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE= >/dev/null && cmake --build "$build" -j2 >/dev/null
}

run_one() {
  local name=$1 work="$build/work/$name" artifacts="$build/artifacts/$name/"
  if [ ! -d "$work" ]; then
    mkdir -p "$work" && cp "$root/fuzz/corpus/$name/"* "$work/"
  fi
  mkdir -p "$artifacts"
  local before log="$build/$name.log"
  before=$(find "$artifacts" -type f | wc -l)
  nice -n 10 "$build/fuzz_$name" "$work" -max_total_time="$seconds" -max_len="$(max_len "$name")" \
    -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts" >"$log" 2>&1
  local execs crashes
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  crashes=$(($(find "$artifacts" -type f | wc -l) - before))
  echo "fuzz_${name}_execs=${execs:-0}"
  echo "fuzz_${name}_crashes=$crashes"
  printf '%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$name" "${execs:-0}" "$crashes" >>"$tally"
  [ "$crashes" -eq 0 ]
}

case ${1:-run} in
  build) build_harnesses ;;
  replay) build_harnesses && ctest --test-dir "$build" --output-on-failure ;;
  run)
    shift
    build_harnesses || exit 1
    [ $# -gt 0 ] && harnesses=("$@")
    status=0
    for name in "${harnesses[@]}"; do run_one "$name" || status=1; done
    exit $status
    ;;
  *) echo "usage: $0 build | replay | run [NAME...]" >&2; exit 2 ;;
esac
