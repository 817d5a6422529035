#!/usr/bin/env bash
# The shipped terminal programs carry the headless core, never the test host:
# no test driver, no painter, no held or recorded message boxes. nm -C lists
# each program's symbols; a program without the core's symbols (stripped, or
# not a terminal program) fails too, so the check cannot pass by reading
# nothing.
#   terminal_symbols_check.sh --nm NM PROGRAM...
set -euo pipefail
me=terminal-symbols
nm=nm
if [ "${1:-}" = --nm ]; then nm=$2; shift 2; fi
[ $# -gt 0 ] || { echo "$me: no program given" >&2; exit 2; }
fail() { echo "$me: FAIL: $*" >&2; exit 1; }
command -v "$nm" >/dev/null || fail "$nm not found"

# Test-side names: the test host class and the driver, painter and box desk
# parts that have names of their own.
forbidden=(
  'fw::HeadlessHost::' 'fw::MessageBoxDesk' 'TestTerminalHost'
  'QueueOpenFileAnswer' 'HoldMessageBoxes' 'AnswerMessageBoxes' 'OpenMessageBoxes'
  'MoveControl' 'PaintInvalidated' 'DefaultPaint' 'IsTrackingMouse' 'RefuseMouseTracking'
  'fw::RasterDC' 'fw::RasterSurface' 'fw::RasterLook'
)
# What every terminal program runs on.
required='fw::HeadlessCore::RunUntil'

status=0
for program in "$@"; do
  [ -f "$program" ] || fail "$program not found"
  symbols=$("$nm" -C "$program" 2>/dev/null) || fail "$nm could not read $program"
  grep -qF -- "$required" <<<"$symbols" || fail "$program has no $required: stripped, or not a terminal program"
  for name in "${forbidden[@]}"; do
    if hits=$(grep -F -- "$name" <<<"$symbols"); then
      echo "$me: $program carries $name:" >&2
      head -3 <<<"$hits" | sed 's/^/    /' >&2
      status=1
    fi
  done
  [ $status -ne 0 ] || echo "$me: $program: no test host symbol"
done
[ $status -eq 0 ] || fail "test host symbols in a shipped program"
