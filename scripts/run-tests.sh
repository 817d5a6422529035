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

# Most of these suites' time is real-time tests waiting on the line's wire timing, not
# computing: twice as many at once as there are processors halves the wall time.
suite_jobs=$((jobs * 2)) run_suite native build --timeout 300
suite_jobs=$((jobs * 2)) run_suite sanitizer build-asan --timeout 300

# The thread sanitizer build holds only the serial engine's and POSIX port's
# tests (make tsan): run every suite their sources define, and fail if one of
# those binaries was not built or no test matched.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
tsan_suites=$(sed -n 's/^TEST\(_F\|_P\)\?(\([A-Za-z0-9_]*\),.*/\2/p' tests/serial/engine/*.cpp tests/serial/posix/*.cpp |
  sort -u | paste -sd'|')
# The updater against receiver-sim: the faults, and one whole module, are enough to see the threads meet.
# (A parameterised test's name goes on with "  # GetParam() = ...": its entry takes the rest with " .*".)
tsan_suites="$tsan_suites|BrevanSim|EveryModuleType/BrevanSimModules\.WritesTheSlotAtItsAddresses/slot7 .*"
# A port that vanishes or is held, and replies in random chunks: the monitor thread's ends and its reads.
tsan_suites="$tsan_suites|Faults/BrevanSimFaults\.EndsAsTheFaultAllows/(PortVanishes|PortHeldByAnother|SplitRandom) .*"
# The hosts' cross-thread paths: sends and message boxes from the monitor thread.
tsan_suites="$tsan_suites|HeadlessEngine|TerminalHost"
# The configurator against receiver-sim: acknowledgements reported from the monitor thread, and its fault rows.
tsan_suites="$tsan_suites|TorvikSim|Rows/TorvikSimFaults"
# The acknowledgement pacing: the monitor thread stamps each acknowledgement and posts the next step.
tsan_suites="$tsan_suites|Pacing/BrevanSimPaced\.EndsAsTheTickPacingDoes/(AckFlatLayout|AckBytePaceLostPageFrames|AckLoaderSilentAfterPageFive) .*"
# The traffic trace: the engine's threads report into it at once while its writer runs.
tsan_suites="$tsan_suites|Trace|TraceSignals"
run_suite tsan build-tsan --timeout 300 --no-tests=error \
  -R "^(($tsan_suites)(\.|$)|serial_[a-z0-9_]*_test_NOT_BUILT|updater_sim_test_NOT_BUILT|configurator_sim_test_NOT_BUILT|framework_(headless_engine|terminal)_test_NOT_BUILT|traffic_trace_test_NOT_BUILT)"

# The fuzz targets (make fuzz-build): each over its seed corpus, then a few seconds of fuzzing.
echo "=== fuzz targets (build-fuzz) ==="
if ! bash scripts/fuzz.sh smoke 5; then
  status=1; failed+=("fuzz")
fi

run_suite windows build-win --timeout 600

if [ "$status" -ne 0 ]; then
  echo "FAILED suites: ${failed[*]}" >&2
fi
exit "$status"
