#!/usr/bin/env bash
# The main job: the shipped terminal updater upgrades a simulated receiver's
# modem board over a pseudo-terminal, with the line's timing at 57600 baud,
# and the flashed memory is checked against the built-in image.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "Firmware images built into $bin/brevan (demo data, not real firmware):"
"$bin/brevan" --list
echo

# The receiver reports an EM310 module; its loader answers at 57600 baud.
"$bin/receiver-sim" --link "$work/receiver" --module EM310.00 --wire-timing \
  --flash-out "$work/flash.bin" --report "$work/report.json" > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/receiver" ] && break; sleep 0.05; done
[ -e "$work/receiver" ] || { echo "demo: receiver-sim did not come up" >&2; exit 1; }

echo "Upgrading the simulated receiver on $work/receiver:"
# A private profile and record store, so the demo leaves the user's remembered port and records alone.
set +e
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data "$bin/brevan" --port "$work/receiver" --baud 9600
code=$?
set -e
echo "brevan exit code: $code"
[ "$code" -eq 0 ] || exit "$code"

# Slot 2 (EM310) is flashed from 0x2000 on; compare what the board holds with the image.
"$bin/flash-check" --program "$bin/brevan" --slot 2 --flash "$work/flash.bin"
