#!/usr/bin/env bash
# Runs the libFuzzer targets of build-fuzz (make fuzz-build).
#   fuzz.sh smoke [SECONDS]  each target over its seed corpus, then SECONDS (default 5) of fuzzing;
#                            what it finds new goes to a temporary directory
#   fuzz.sh long [SECONDS]   each target for SECONDS (default 120); new inputs are kept in
#                            build-fuzz/corpus/<target>, next to the seeds in fuzz/corpus/<target>
# Fails when any target crashes, reports a sanitizer error, hangs (-timeout) or exceeds its memory
# limit; the input that did it is kept in build-fuzz/artifacts/<target>/ and its log in build-fuzz/logs/.
set -uo pipefail
cd "$(dirname "$0")/.."
mode=${1:-smoke}
case "$mode" in
  smoke) seconds=${2:-5} ;;
  long) seconds=${2:-120} ;;
  *) echo "usage: $0 smoke|long [SECONDS]" >&2; exit 64 ;;
esac
targets=(upgrade_replies hex_converter image_bank type_file profile ack_watch command_set)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p build-fuzz/logs
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
failed=()

# One target: its verdict line on stdout, its findings on stderr; non-zero when it failed.
fuzz_one() {
  local t=$1
  local bin=build-fuzz/bin/fuzz_$t seeds=fuzz/corpus/$t log=build-fuzz/logs/$t.log corpus rc runs done_line cov
  if [ ! -x "$bin" ] || [ ! -d "$seeds" ]; then
    echo "fuzz $t: $bin or $seeds missing (make fuzz-build)" >&2
    return 1
  fi
  if [ "$mode" = long ]; then corpus=build-fuzz/corpus/$t; else corpus=$scratch/$t; fi
  mkdir -p "$corpus" "build-fuzz/artifacts/$t"
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$t/" "$corpus" "$seeds" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\) ft: \([0-9]*\) corp: \([^ ]*\).*/cov \1, features \2, corpus \3/p' <<<"$done_line")
  if [ "$rc" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|FUZZ_CHECK failed|SUMMARY: ' "$log"; then
    echo "fuzz $t: FAILED (exit $rc), log $log" >&2
    grep -E 'ERROR|runtime error|FUZZ_CHECK|SUMMARY|Test unit written|#[0-9]+ ' "$log" | tail -20 >&2
    return 1
  fi
  echo "fuzz $t: ${seconds}s, ${runs:-?} runs, ${cov:-no DONE line}"
}

# As many targets at once as there are processors: each is one process busy
# for its seconds, so the smoke run takes its seconds per round, not per target.
at_once=$(nproc)
running=()
for t in "${targets[@]}"; do
  fuzz_one "$t" >"$scratch/$t.out" 2>"$scratch/$t.err" &
  running+=("$t:$!")
  if [ ${#running[@]} -ge "$at_once" ]; then
    for entry in "${running[@]}"; do
      if ! wait "${entry#*:}"; then status=1; failed+=("${entry%%:*}"); fi
      cat "$scratch/${entry%%:*}.out"; cat "$scratch/${entry%%:*}.err" >&2
    done
    running=()
  fi
done
for entry in "${running[@]}"; do
  if ! wait "${entry#*:}"; then status=1; failed+=("${entry%%:*}"); fi
  cat "$scratch/${entry%%:*}.out"; cat "$scratch/${entry%%:*}.err" >&2
done

if [ "$status" -ne 0 ]; then echo "fuzz: FAILED targets: ${failed[*]}" >&2; fi
exit "$status"
