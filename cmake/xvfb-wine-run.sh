#!/usr/bin/env bash
# Runs a Windows GUI test under Wine on a private Xvfb display: the server
# picks a free display number (-displayfd), so parallel tests never share
# one, and it is stopped when the test ends. Missing Xvfb is a failure.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
command -v Xvfb >/dev/null || { echo "xvfb-wine-run: Xvfb not found: run 'make setup'" >&2; exit 2; }

fifo_dir=$(mktemp -d "${TMPDIR:-/tmp}/xvfb-wine.XXXXXX")
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$fifo_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo_dir/display" 2>"$fifo_dir/xvfb.log" &
xvfb_pid=$!
display=
if ! read -r -t 20 display <"$fifo_dir/display" || [ -z "$display" ]; then
  echo "xvfb-wine-run: Xvfb did not start:" >&2
  cat "$fifo_dir/xvfb.log" >&2 || true
  exit 2
fi
export DISPLAY=":$display"
# A prefix of its own: the other Wine tests' wineserver and desktop process run without a display.
export WINEPREFIX=${WINEPREFIX:-${BUILD_WIN_DIR:-$here/../build-win}/wine-prefix-gui}
# Not exec: Xvfb is stopped on the way out.
set +e
"$here/wine-run.sh" "$@"
status=$?
set -e
exit "$status"
