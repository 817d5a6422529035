#!/usr/bin/env bash
# Runs every test suite: native, sanitizers (address and thread), Windows binaries under Wine.
# A hung test fails after its time-out. Each suite runs even when an earlier one failed; the exit code is non-zero
# when any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0
failed=()

run_suite() {
  local name=$1 dir=$2
  shift 2
  echo "=== $name tests ($dir) ==="
  if [ ! -f "$dir/CTestTestfile.cmake" ]; then
    echo "$name: $dir is not built" >&2
    status=1; failed+=("$name"); return
  fi
  if ! ctest --test-dir "$dir" --output-on-failure -j "${suite_jobs:-$jobs}" "$@"; then
    status=1; failed+=("$name")
  fi
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The tests that compute run as many at once as there are processors. Most of
# the suites' time is the tests labelled realtime waiting on the line's wire
# timing and the programs' time-outs, not computing: natively sixteen at once
# on two processors take each as long as one alone does (ctest -L realtime, the
# sum of their times unchanged from -j4), so the longest of them sets the wall
# time. Under the address sanitizer they compute more: half as many at once.
# The headless browser (label browser) computes hard for seconds at a time:
# its tests run after the others, by themselves, so that it never takes the
# processors from a case that measures its own timing.
run_suite native build --timeout 300 -LE realtime
suite_jobs=$((jobs * 8)) run_suite native-realtime build --timeout 300 -L realtime -LE browser
suite_jobs=$jobs run_suite native-browser build --timeout 300 --no-tests=error -L browser
run_suite sanitizer build-asan --timeout 300 -LE realtime
suite_jobs=$((jobs * 4)) run_suite sanitizer-realtime build-asan --timeout 300 -L realtime -LE 'stress|browser'
suite_jobs=$jobs run_suite sanitizer-browser build-asan --timeout 300 --no-tests=error -L browser

# The thread sanitizer build holds only the tests labelled tsan (make tsan builds
# their binaries); tsan_targets_built fails when one of them is missing. Its
# realtime tests compute more again: twice as many at once as processors keeps
# each as long as alone (four times as many made them a sixth slower).
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
run_suite tsan build-tsan --timeout 300 --no-tests=error -L tsan -LE realtime
suite_jobs=$((jobs * 2)) run_suite tsan-realtime build-tsan --timeout 300 --no-tests=error -L tsan -L realtime

# The fuzz targets (make fuzz-build): each over its seed corpus, then a few seconds of fuzzing.
echo "=== fuzz targets (build-fuzz) ==="
if ! bash scripts/fuzz.sh smoke 5; then
  status=1; failed+=("fuzz")
fi

# The Windows tests wait on Wine and the X server more than they compute: one
# more at once than processors (their prefixes start as copies of one template).
suite_jobs=$((jobs + 1)) run_suite windows build-win --timeout 600

if [ "$status" -ne 0 ]; then
  echo "FAILED suites: ${failed[*]}" >&2
fi
exit "$status"
