#!/usr/bin/env bash
# Torvik.exe end to end under Wine on a private Xvfb display, in a Wine
# prefix of its own whose COM1 and COM2 are receiver-sim ptys, started in a
# directory holding gprscdmaset.ini; torvik_gui_driver.exe works the window.
# COM1's receiver starts at 19200 while the chosen type wants 115200: the
# rate broadcast must move it, and the board must end with the window's
# values, each setting received once. COM2's receiver answers 150 ms late,
# for closing the port (and last the program) while an acknowledgement is
# being reported, after a 98-character mount point typed into the window has
# gone to it. The chosen type's name and first LED parameter are GBK bytes,
# as a Chinese Windows writes the type file: the name must show as its
# characters and the bytes reach the board unchanged. Anything missing is a
# failure, never a skip; 90 s in all.
#   torvik_gui_test.sh --build-win DIR --program Torvik.exe --driver torvik_gui_driver.exe
#                      --host-tools DIR --shots DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
me=torvik-gui

fail() { echo "$me: FAIL: $*" >&2; exit 1; }
source "$root/tests/support/wine_gui_session.sh"
gui_options "$@"
[ ${#gui_rest[@]} -eq 0 ] || { echo "$me: unknown option ${gui_rest[0]}" >&2; exit 2; }
gui_inputs
# The production PCs run a Chinese Windows (ANSI code page 936).
gui_locale "$build_win" zh_CN.UTF-8

gui_workdir wine-prefix-gui-torvik
rm -f "$shots"/torvik-*.png

sim_pid="" race_pid="" torvik_pid="" driver_pid=""
cleanup() {
  gui_stop "$driver_pid"
  gui_stop "$torvik_pid"
  gui_end "$sim_pid" "$race_pid"
}
trap cleanup EXIT
gui_watchdog 90 "$me"
gui_display "$work"
gui_prefix "$work" "$root"

# The first row would be the default; the second is chosen, with its own rate
# and LEDs. Its name is "测试T5" and its first LED parameter "灯", both in GBK.
type=测试T5 type_gbk='\xB2\xE2\xCA\xD4T5' rate=115200 led1_gbk='\xB5\xC6' led2=1
printf "R8,9600,1,0,\r\n${type_gbk},%s,${led1_gbk},%s,\r\n" "$rate" "$led2" >"$work/run/gprscdmaset.ini"
ack_delay=150

"$sim" --link "$WINEPREFIX/dosdevices/com1" --receiver-rate 19200 --wire-timing \
  --report "$work/report.json" --exit-after 85 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
"$sim" --link "$WINEPREFIX/dosdevices/com2" --ack-delay "$ack_delay" --wire-timing \
  --report "$work/race-report.json" --exit-after 85 >"$work/race.out" 2>"$work/race.err" &
race_pid=$!
pty=$(gui_sim_pty "$sim_pid" "$work/sim.out" "$WINEPREFIX/dosdevices/com1" "$work/sim.err")
race_pty=$(gui_sim_pty "$race_pid" "$work/race.out" "$WINEPREFIX/dosdevices/com2" "$work/race.err")
echo "$me: COM1 -> $pty (receiver at 19200), COM2 -> $race_pty (acknowledging ${ack_delay} ms late)"

start=$SECONDS
(cd "$work/run" && exec "$root/cmake/wine-run.sh" "$program") >"$work/torvik.log" 2>&1 &
torvik_pid=$!
"$root/cmake/wine-run.sh" "$driver" --shots "$(winepath_of "$shots")" --values "$(winepath_of "$work/values.txt")" \
  --type "$type" --type-rate "$rate" --port COM1 --race-port COM2 --ack-delay "$ack_delay" \
  --close-after 0,100,250 &
driver_pid=$!
driver_rc=0
wait "$driver_pid" || driver_rc=$?
driver_pid=""
[ "$driver_rc" -eq 0 ] || { cat "$work/torvik.log" >&2; fail "the driver failed (exit $driver_rc)"; }
# The driver saw the process end; here it is reaped.
torvik_rc=0
wait "$torvik_pid" || torvik_rc=$?
torvik_pid=""
[ "$torvik_rc" -eq 0 ] || { cat "$work/torvik.log" >&2; fail "Torvik.exe exited with $torvik_rc"; }
elapsed=$((SECONDS - start))

gui_sim_end "$sim_pid" "$work/sim.err"
sim_pid=""
gui_sim_end "$race_pid" "$work/race.err"
race_pid=""

python3 - "$work/report.json" "$work/values.txt" "$rate" "$led2" "$me" "$work/race-report.json" <<'EOF' ||
import json, sys
report = json.load(open(sys.argv[1]))
values = dict(line.rstrip("\n").split("=", 1) for line in open(sys.argv[2], encoding="utf-8"))
rate, led2, me = int(sys.argv[3]), sys.argv[4], sys.argv[5]
# The report writes each received byte as the character of that value.
led1 = b"\xB5\xC6".decode("latin-1")
fields = report["settingFields"]
problems = []
def want(what, got, expected):
    if got != expected:
        problems.append("%s: %r, expected %r" % (what, got, expected))
want("serial number", report["serialNumber"], values["serial"])
want("SETGPRS local id", fields.get("SETGPRS", [None])[0], values["localId"])
want("USER user:password", fields.get("USER", [None])[0], values["userPass"])
want("LED of the chosen type", fields.get("LED"), [led1, led2])
want("saved rate", report["savedRate"], rate)
want("config saved", report["configSaved"], True)
want("receiver rates", report["receiverRates"], [19200, rate])
broadcast = "KAVEL,COM,%d,9600," % rate
if not any(c["text"] == broadcast and c["rate"] == 19200 for c in report["commands"]):
    problems.append("the receiver never heard %s at 19200" % broadcast)
names = [t.split(",")[1] for t in report["settingsLog"]]
want("settings in order", names, ["APN", "SETGPRS", "SETGSM", "IPSET", "USER", "MODEGPRS", "MODEKAVEL", "LED",
                                  "OPEN", "USEDNS", "DNS", "USEGGA", "GGA", "SERIAL", "NO.", "SAVECONFIG"])
settings = [c for c in report["commands"] if c["kind"] == "setting"]
slow = sorted({c["rate"] for c in settings} - {rate})
if slow:
    problems.append("settings arrived at %s" % slow)
race = json.load(open(sys.argv[6]))
want("mount point typed into the window", race["settingFields"].get("IPSET", [None] * 3)[2], values.get("mount"))
if len(values.get("mount", "")) != 98:
    problems.append("the driver typed no 98-character mount point")
for p in problems:
    print("%s: %s" % (me, p), file=sys.stderr)
sys.exit(1 if problems else 0)
EOF
  fail "the board does not hold the window's settings (report: $work/report.json)"
echo "$me: the board holds serial number $(sed -n 's/^serial=//p' "$work/values.txt"), the type's rate $rate saved"
echo "$me: PASS in ${elapsed} s; screenshots in $shots/torvik-{start,port-open,after-set,about,mount-98,mount-99}.png"
