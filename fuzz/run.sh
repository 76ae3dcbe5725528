#!/usr/bin/env bash
# Fuzzes the ZIP reader and kvzip check's directory parser, each for a while:
# fuzz/run.sh BUILD_DIR [SECONDS]
# BUILD_DIR is the fuzz preset's build tree. New inputs go to a working
# corpus per fuzzer in the build tree (the seeds under fuzz/corpus stay as
# committed); a crashing input is saved under BUILD_DIR/fuzz/findings. Prints
# the number of executions of each and exits nonzero when one found a fault.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
findings="$build/fuzz/findings"
mkdir -p "$findings"

fuzz() {  # name
  local name=$1
  local fuzzer="$build/fuzz/$name"
  [ -x "$fuzzer" ] || { echo "run.sh: $fuzzer not built (cmake --preset fuzz)" >&2; return 2; }
  local work="$build/fuzz/corpus-work-$name" log="$build/fuzz/last-run-$name.log"
  mkdir -p "$work"
  "$fuzzer" "$work" "$here/corpus" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=70000 \
    -artifact_prefix="$findings/$name-" -print_final_stats=1 >"$log" 2>&1
  local status=$?
  local runs
  runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | grep -o '[0-9]*')
  [ -n "$runs" ] || runs=$(grep -o '^stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  echo "$name: ${runs:-unknown} executions in ${seconds} s, corpus $(ls "$work" | wc -l) inputs"
  if [ $status -ne 0 ]; then
    echo "$name: FOUND A FAULT (exit $status); inputs in $findings, log in $log" >&2
    grep -E 'ERROR|SUMMARY|fuzzer:|artifact' "$log" | head -20 >&2
    return 1
  fi
}

failed=0
fuzz zip_fuzzer || failed=1
fuzz archive_check_fuzzer || failed=1
exit $failed
