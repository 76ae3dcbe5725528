#!/usr/bin/env bash
# Fuzzes the ZIP reader for a while: fuzz/run.sh BUILD_DIR [SECONDS]
# BUILD_DIR is the fuzz preset's build tree. New inputs go to a working
# corpus in the build tree (the seeds under fuzz/corpus stay as committed);
# a crashing input is saved under BUILD_DIR/fuzz/findings. Prints the number
# of executions and exits nonzero when the fuzzer found a fault.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
fuzzer="$build/fuzz/zip_fuzzer"
[ -x "$fuzzer" ] || { echo "run.sh: $fuzzer not built (cmake --preset fuzz)" >&2; exit 2; }

work="$build/fuzz/corpus-work"
findings="$build/fuzz/findings"
log="$build/fuzz/last-run.log"
mkdir -p "$work" "$findings"

"$fuzzer" "$work" "$here/corpus" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=70000 \
  -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1
status=$?

runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | grep -o '[0-9]*')
[ -n "$runs" ] || runs=$(grep -o '^stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
echo "zip_fuzzer: ${runs:-unknown} executions in ${seconds} s, corpus $(ls "$work" | wc -l) inputs"
if [ $status -ne 0 ]; then
  echo "zip_fuzzer: FOUND A FAULT (exit $status); inputs in $findings, log in $log" >&2
  grep -E 'ERROR|SUMMARY|zip_fuzzer:|artifact' "$log" | head -20 >&2
  exit 1
fi
