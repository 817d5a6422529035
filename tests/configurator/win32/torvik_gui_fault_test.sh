#!/usr/bin/env bash
# Torvik.exe's line faults under Wine on a private Xvfb display, in a Wine
# prefix of its own; torvik_gui_driver.exe works the window (--vanish-port).
# COM1's receiver sends its replies in random chunks and starts at 19200:
# the Set must still leave the window's values on the board. COM2's receiver
# sends its replies byte by byte, never answers KAVEL,NO. and is killed once
# that command shows. COM3 answers its open as a held port does. Anything missing is a
# failure, never a skip; 90 s in all.
#   torvik_gui_fault_test.sh --build-win DIR --program Torvik.exe --driver torvik_gui_driver.exe
#                            --host-tools DIR --shots DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
me=torvik-gui-faults

fail() { echo "$me: FAIL: $*" >&2; exit 1; }
source "$root/tests/support/wine_gui_session.sh"
gui_options "$@"
[ ${#gui_rest[@]} -eq 0 ] || { echo "$me: unknown option ${gui_rest[0]}" >&2; exit 2; }
gui_inputs
gui_locale "$build_win" zh_CN.UTF-8

gui_workdir wine-prefix-gui-torvik-faults
rm -f "$shots"/torvik-*.png

pids=() torvik_pid="" driver_pid="" killer_pid=""
cleanup() {
  gui_stop "$driver_pid"
  gui_stop "$torvik_pid"
  gui_end "${pids[@]}" "$killer_pid"
}
trap cleanup EXIT
gui_watchdog 90 "$me"
gui_display "$work"
gui_prefix "$work" "$root"

type=T5 rate=115200
printf 'R8,9600,1,0,\r\n%s,%s,2,1,\r\n' "$type" "$rate" >"$work/run/gprscdmaset.ini"

start_sim() {  # COM number, then receiver-sim's faults
  local n=$1
  shift
  "$sim" --link "$WINEPREFIX/dosdevices/com$n" --wire-timing --report "$work/sim$n.json" --exit-after 85 "$@" \
    >"$work/sim$n.out" 2>"$work/sim$n.err" &
  pids[$n]=$!
  gui_sim_pty "${pids[$n]}" "$work/sim$n.out" "$WINEPREFIX/dosdevices/com$n" "$work/sim$n.err" >/dev/null
}
start_sim 1 --receiver-rate 19200 --split random --seed 3
start_sim 2 --split bytes --no-ack NO.
# Wine lets two processes share a COM port; a node that refuses to open for
# writing even for root gives the answer Windows gives for a held port.
refusing_node=/sys/devices/system/cpu/online
[ -e "$refusing_node" ] && ! (exec 8<>"$refusing_node") 2>/dev/null || fail "$refusing_node opens for writing: no held port here"
ln -sfn "$refusing_node" "$WINEPREFIX/dosdevices/com3"

# The port goes away as a pulled cable would: the receiver is killed.
(while [ ! -e "$work/vanish.flag" ]; do sleep 0.05; done; kill -KILL "${pids[2]}") &
killer_pid=$!

start=$SECONDS
(cd "$work/run" && exec "$root/cmake/wine-run.sh" "$program") >"$work/torvik.log" 2>&1 &
torvik_pid=$!
"$root/cmake/wine-run.sh" "$driver" --shots "$(winepath_of "$shots")" --values "$(winepath_of "$work/values.txt")" \
  --type "$type" --type-rate "$rate" --port COM1 --vanish-port COM2 --vanish-flag "$(winepath_of "$work/vanish.flag")" \
  --held-port COM3 &
driver_pid=$!
driver_rc=0
wait "$driver_pid" || driver_rc=$?
driver_pid=""
[ "$driver_rc" -eq 0 ] || { cat "$work/torvik.log" >&2; fail "the driver failed (exit $driver_rc)"; }
torvik_rc=0
wait "$torvik_pid" || torvik_rc=$?
torvik_pid=""
[ "$torvik_rc" -eq 0 ] || { cat "$work/torvik.log" >&2; fail "Torvik.exe exited with $torvik_rc"; }
elapsed=$((SECONDS - start))
wait "$killer_pid" 2>/dev/null || true
killer_pid=""
gui_sim_end "${pids[1]}" "$work/sim1.err"

python3 - "$work/sim1.json" "$work/values.txt" "$rate" "$me" <<'PY' ||
import json, sys
report = json.load(open(sys.argv[1]))
values = dict(line.rstrip("\n").split("=", 1) for line in open(sys.argv[2], encoding="utf-8"))
rate, me = int(sys.argv[3]), sys.argv[4]
fields = report["settingFields"]
got = (report["serialNumber"], fields.get("SETGPRS", [None])[0], fields.get("USER", [None])[0],
       report["savedRate"], report["configSaved"], len(report["settingsLog"]))
want = (values["serial"], values["localId"], values["userPass"], rate, True, 16)
if got != want:
    print("%s: the board holds %r, expected %r" % (me, got, want), file=sys.stderr)
    sys.exit(1)
PY
  fail "the board on COM1 does not hold the window's settings (report: $work/sim1.json)"
echo "$me: PASS in ${elapsed} s; screenshots in $shots/torvik-{vanished,held}.png"
