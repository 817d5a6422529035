#!/usr/bin/env bash
# Runs every test suite: native, sanitizers (address and thread), the fuzz
# targets, Windows binaries under Wine. The native build comes first (make
# build); the other builds run behind the suites, one after another at the
# lowest priority, so that they compute while the suites mostly wait on the
# line's timing; each suite waits for its build. A hung test fails after its
# time-out. Each suite runs even when an earlier one failed; the exit code is
# non-zero when any suite or build failed.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0
failed=()

builds=$(mktemp -d)
behind=("asan" "tsan" "fuzz-build" "windows")
(
  for target in "${behind[@]}"; do
    if nice -n 19 make --no-print-directory "$target" >"$builds/$target.log" 2>&1; then rc=0; else rc=1; fi
    echo "$rc" >"$builds/$target.rc"
  done
) &
builder=$!
# Stopped with the suites: an interrupted run leaves no build behind.
trap 'kill "$builder" 2>/dev/null; pkill -P "$builder" 2>/dev/null; rm -rf "$builds"' EXIT

# Waits for a build behind, shows its output; false when it failed.
await_build() {
  local target=$1 started=$SECONDS
  while [ ! -f "$builds/$target.rc" ]; do
    if ! kill -0 "$builder" 2>/dev/null && [ ! -f "$builds/$target.rc" ]; then
      echo "build $target: the builder ended without it" >&2
      status=1; failed+=("build $target"); return 1
    fi
    sleep 1
  done
  echo "=== build $target (waited $((SECONDS - started)) s) ==="
  cat "$builds/$target.log"
  if [ "$(cat "$builds/$target.rc")" != 0 ]; then
    echo "build $target FAILED" >&2
    status=1; failed+=("build $target"); return 1
  fi
}

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
run_suite native build --timeout 300 -LE realtime
suite_jobs=$((jobs * 8)) run_suite native-realtime build --timeout 300 -L realtime
if await_build asan; then
  run_suite sanitizer build-asan --timeout 300 -LE realtime
  suite_jobs=$((jobs * 4)) run_suite sanitizer-realtime build-asan --timeout 300 -L realtime -LE stress
fi

# The thread sanitizer build holds only the tests labelled tsan (make tsan builds
# their binaries); tsan_targets_built fails when one of them is missing. Its
# realtime tests compute more again: twice as many at once as processors keeps
# each as long as alone (four times as many made them a sixth slower).
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
if await_build tsan; then
  run_suite tsan build-tsan --timeout 300 --no-tests=error -L tsan -LE realtime
  suite_jobs=$((jobs * 2)) run_suite tsan-realtime build-tsan --timeout 300 --no-tests=error -L tsan -L realtime
fi

# The fuzz targets (make fuzz-build): each over its seed corpus, then a few seconds of fuzzing.
if await_build fuzz-build; then
  echo "=== fuzz targets (build-fuzz) ==="
  if ! bash scripts/fuzz.sh smoke 5; then
    status=1; failed+=("fuzz")
  fi
fi

# The Windows tests wait on Wine and the X server more than they compute: one
# more at once than processors (their prefixes start as copies of one template).
if await_build windows; then
  suite_jobs=$((jobs + 1)) run_suite windows build-win --timeout 600
fi

if [ "$status" -ne 0 ]; then
  echo "FAILED suites: ${failed[*]}" >&2
fi
exit "$status"
