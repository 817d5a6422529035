#!/usr/bin/env bash
# Runs every test suite: native, sanitizers (address and thread), fuzz targets,
# Windows binaries under Wine. A hung test fails after its time-out. Each suite
# runs even when an earlier one failed; the exit code is non-zero when any failed.
#   run-tests.sh          the suites over the trees as they are built
#   run-tests.sh --build  builds the sanitizer, Windows and fuzz trees as well
#                         (the native one must be built), each beside suites
#                         that mostly wait, so the processors are never idle
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# Each heading says when its part began, so a slow run shows where it went.
began=$(date +%s)
at() { echo "at $(( $(date +%s) - began )) s"; }
build_beside=false
case "${1:-}" in
  --build) build_beside=true ;;
  "") ;;
  *) echo "usage: $0 [--build]" >&2; exit 64 ;;
esac
logs=$(mktemp -d)
build_pid=""
# A build beside the suites has a session of its own, out of reach of the
# terminal's interrupt: it is stopped with the run, not left behind.
stop_build() { [ -z "$build_pid" ] || kill -INT -- "-$build_pid" 2>/dev/null; }
trap 'stop_build; rm -rf "$logs"' EXIT
trap 'exit 130' INT TERM
# Failures are kept in a file, so that suites run beside each other in
# subshells report theirs too.
failures=$logs/failed
: >"$failures"

run_suite() {
  local name=$1 dir=$2
  shift 2
  echo "=== $name tests ($dir), $(at) ==="
  if [ ! -f "$dir/CTestTestfile.cmake" ]; then
    echo "$name: $dir is not built" >&2
    echo "$name" >>"$failures"; return
  fi
  if ! ctest --test-dir "$dir" --output-on-failure -j "${suite_jobs:-$jobs}" "$@" \
      | tee "$logs/$name.ctest"; then
    echo "$name" >>"$failures"
    cp "$dir/Testing/Temporary/LastTestsFailed.log" "$logs/$name.failed" 2>/dev/null
  fi
}

# The end of a long log is often all that is kept of it: each failed suite's
# tests are named there again, with the lines that say how they failed.
failure_summary() {
  local name
  while read -r name; do
    [ -f "$logs/$name.failed" ] || continue
    echo "--- $name: failed $(cut -d: -f2- "$logs/$name.failed" | tr '\n' ' ')"
    grep -E -A3 '^FAIL: |: Failure$|^\[  FAILED  \] [A-Za-z]|\*\*\*(Timeout|Exception)|ERROR: [A-Za-z]+Sanitizer' \
      "$logs/$name.ctest" | grep -v '^\[  FAILED  \] [0-9]* tests\?,' | head -n 40
  done <"$failures"
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

# The tests that compute run as many at once as there are processors. Most of
# the suites' time is the tests labelled realtime waiting on the line's wire
# timing and the programs' time-outs, not computing: natively sixteen at once
# on two processors take each as long as one alone does (ctest -L realtime, the
# sum of their times unchanged from -j4), so the longest of them sets the wall
# time. Under the address sanitizer they compute more: half as many at once.
# The headless browser (label browser) computes hard for seconds at a time:
# its tests run after the others, by themselves, so that it never takes the
# processors from a case that measures its own timing.
native_suites() {
  run_suite native build --timeout 300 -LE realtime
  suite_jobs=$((jobs * 8)) run_suite native-realtime build --timeout 300 -L realtime -LE browser
  suite_jobs=$jobs run_suite native-browser build --timeout 300 --no-tests=error -L browser
}

asan_suites() {
  run_suite sanitizer build-asan --timeout 300 -LE realtime
  suite_jobs=$((jobs * 4)) run_suite sanitizer-realtime build-asan --timeout 300 -L realtime -LE 'stress|browser'
  suite_jobs=$jobs run_suite sanitizer-browser build-asan --timeout 300 --no-tests=error -L browser
}

# The thread sanitizer build holds only the tests labelled tsan (make tsan builds
# their binaries); tsan_targets_built fails when one of them is missing. Its
# realtime tests compute more again: twice as many at once as processors keeps
# each as long as alone (four times as many made them a sixth slower).
tsan_suites() {
  run_suite tsan build-tsan --timeout 300 --no-tests=error -L tsan -LE realtime
  suite_jobs=$((jobs * 2)) run_suite tsan-realtime build-tsan --timeout 300 --no-tests=error -L tsan -L realtime
}

# The fuzz targets (make fuzz-build): each over its seed corpus, then a few
# seconds of fuzzing. They only compute: at the lowest priority, so that the
# suites beside them keep the processors.
fuzz_suite() {
  echo "=== fuzz targets (build-fuzz), $(at) ==="
  nice -n 19 bash scripts/fuzz.sh smoke 5 || echo fuzz >>"$failures"
}

# The Windows tests wait on Wine and the X server more than they compute: one
# more at once than processors (their prefixes start as copies of one template).
windows_suite() {
  suite_jobs=$((jobs + 1)) run_suite windows build-win --timeout 600
}

# A build beside the suites in front, on one processor of them, at the lowest
# priority: in a session of its own, so that where the kernel groups
# processes by session the whole group yields, not only each compiler in it.
# The suites keep the rest: a build on every processor, even at the lowest
# priority, made cases that answer within 20 ms miss. When the suites end, the
# build is stopped and goes on at full speed (ninja keeps what was finished).
# Its output is shown then.
start_build() {
  echo "=== building beside the suites: $*, $(at) ==="
  build_started=$(date +%s)
  build_targets=("$@")
  setsid bash -c 'echo 19 >/proc/self/autogroup 2>/dev/null; exec nice -n 19 make --no-print-directory JOBS=1 "$@"' \
    build "$@" >"$logs/build.log" 2>&1 &
  build_pid=$!
}

finish_build() {
  local rc=0
  if kill -0 "$build_pid" 2>/dev/null; then
    stop_build
    wait "$build_pid" 2>/dev/null
    echo "=== build beside the suites stopped after $(( $(date +%s) - build_started )) s ==="
    cat "$logs/build.log"
    echo "=== building at full speed: ${build_targets[*]}, $(at) ==="
    make --no-print-directory "${build_targets[@]}" || rc=$?
  else
    wait "$build_pid" || rc=$?
    echo "=== built beside the suites in $(( $(date +%s) - build_started )) s ==="
    cat "$logs/build.log"
  fi
  # A tree that failed to build shows as its suites' failure ("not built" or
  # a missing test program); the build's own failure is named as well.
  [ "$rc" -eq 0 ] || echo "build: ${build_targets[*]}" >>"$failures"
  build_pid=""
}

# Groups that wait rather than compute, run at once; each one's output is
# shown whole once all have ended, in the order given.
beside() {
  local pids=() group
  for group in "$@"; do
    "$group" >"$logs/$group.out" 2>&1 &
    pids+=($!)
  done
  wait "${pids[@]}"
  for group in "$@"; do cat "$logs/$group.out"; done
}

if $build_beside; then
  start_build asan
  native_suites
  finish_build
  start_build tsan windows fuzz-build
  asan_suites
  finish_build
else
  native_suites
  asan_suites
fi
# The thread sanitizer's real-time tests compute the most of all: beside the
# Wine suite, byte-paced upgrades missed their timing. The Wine tests wait on
# Wine; the fuzz smoke takes what they leave.
tsan_suites
beside windows_suite fuzz_suite

echo "=== all suites ended, $(at) ==="
if [ -s "$failures" ]; then
  failure_summary
  echo "FAILED suites: $(tr '\n' ' ' <"$failures")" >&2
  exit 1
fi
exit 0
