#!/usr/bin/env bash
# Brevan.exe end to end under Wine on a private Xvfb display: COM1 of a Wine
# prefix of its own is linked to receiver-sim's pty before the program starts,
# brevan_gui_driver.exe clicks UPDATE and follows the upgrade through the
# window, and the board memory the simulator recorded must equal the shipped
# slot. Language from the Unix locale, as Wine takes it.
#   brevan_gui_test.sh --lang en|zh --build-win DIR --program Brevan.exe
#                      --driver brevan_gui_driver.exe --host-tools DIR --shots DIR
#                      [--box finish|zero] [--fault split-bytes|split-random|vanish|held]
# --box finish: the loader says ',' after the last page, so its message box is
# open while the upgrade ends (the window closes the port on the tick after the
# last acknowledgement: a ',' that a loaded machine reads later than that is
# never read, the driver ends with 3 and the run is made once more); --box zero: it says '0' after page 3. The driver
# leaves the box open for 3 s, checks that the window still answers, then
# clicks OK; the upgrade must complete and CANCEL end the program within 2 s.
# --fault split-*: the replies come byte by byte or in random chunks, the upgrade
# must complete as ever; vanish: receiver-sim is killed once pages are going, the
# window must end in its time-out; held: COM1 answers its open as a port another
# program holds, the window must say the port is wrong. After a fault CANCEL must
# end the program within 2 s.
# Anything missing is a failure, never a skip. Bounded to 180 s in all.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
me=brevan-gui

lang="" build_win="" program="" driver="" host_tools="" shots="" box="" fault=""
while [ $# -gt 0 ]; do
  case $1 in
    --lang) lang=$2; shift 2 ;;
    --box) box=$2; shift 2 ;;
    --fault) fault=$2; shift 2 ;;
    --build-win) build_win=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --driver) driver=$2; shift 2 ;;
    --host-tools) host_tools=$2; shift 2 ;;
    --shots) shots=$2; shift 2 ;;
    *) echo "$me: unknown option $1" >&2; exit 2 ;;
  esac
done
case $box in
  "") ;;
  finish|zero) me=$me-$box ;;
  *) echo "$me: --box finish|zero" >&2; exit 2 ;;
esac
sim_fault=() driver_fault=()
case $fault in
  "") ;;
  split-bytes | split-random) sim_fault=(--split "${fault#split-}" --seed 5) ;;
  vanish) driver_fault=(--end overtime) ;;
  held) driver_fault=(--end port-wrong) ;;
  *) echo "$me: --fault split-bytes|split-random|vanish|held" >&2; exit 2 ;;
esac
[ -z "$fault" ] || me=$me-$fault
fail() { echo "$me-$lang: FAIL: $*" >&2; exit 1; }
case $lang in
  en) locale_name=en_US.UTF-8 ;;
  zh) locale_name=zh_CN.UTF-8 ;;
  *) echo "$me: --lang en|zh" >&2; exit 2 ;;
esac
[ -n "$build_win" ] && [ -n "$program" ] && [ -n "$driver" ] && [ -n "$host_tools" ] && [ -n "$shots" ] ||
  { echo "$me: --build-win, --program, --driver, --host-tools and --shots are all needed" >&2; exit 2; }

source "$root/tests/support/wine_gui_session.sh"
objdump=x86_64-w64-mingw32-objdump
sim=$host_tools/receiver-sim
checker=$host_tools/flash-check
packer=$host_tools/brevan-pack
gui_require_tools
command -v "$objdump" >/dev/null || fail "$objdump not found: run 'make setup'"
[ -x "$sim" ] || fail "receiver-sim not found at $sim: build the native tree HOST_TOOLS_DIR names"
[ -x "$checker" ] || fail "flash-check not found at $checker: build the native tree HOST_TOOLS_DIR names"
[ -x "$packer" ] || fail "brevan-pack not found at $packer: build the native tree HOST_TOOLS_DIR names"
[ -f "$program" ] || fail "$program not built"
[ -f "$driver" ] || fail "$driver not built"

# A person starts it from Explorer: no console window may come with it.
subsystem=$("$objdump" -p "$program" | grep -m1 '^Subsystem' || true)
case $subsystem in
  *"(Windows GUI)"*) echo "$me-$lang: $(basename "$program"): $subsystem" ;;
  *) fail "$program is not a GUI-subsystem program: '${subsystem:-no Subsystem line}'" ;;
esac

gui_locale "$build_win" "$locale_name"

work=$build_win/$me-$lang
rm -rf "$work"
mkdir -p "$work" "$shots"
export BUILD_WIN_DIR=$build_win
# Each run a prefix of its own: the runs go in parallel and each links its own COM1.
export WINEPREFIX=$build_win/wine-prefix-gui-brevan-$lang${box:+-$box}${fault:+-$fault}

sim_pid="" brevan_pid="" driver_pid=""
cleanup() {
  gui_stop "$driver_pid"
  gui_stop "$brevan_pid"
  gui_end "$sim_pid"
}
trap cleanup EXIT
gui_watchdog 180 "$me-$lang"
gui_display "$work"
gui_prefix "$work" "$root"
# The port the program offers first is its default COM1, not one remembered from an earlier run.
find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -iname 'brevan.ini' -delete

module=NET100.A serial=SIMGUI0001 software=D000000
# The slot's pages, as the program's own bank has them (slot 7: NET100).
slot_bytes=$("$packer" --list "$program" | awk '$1 == 7 { print $4 }')
[ -n "$slot_bytes" ] || fail "brevan-pack --list shows no slot 7 in $program"
# The finish box's ',' comes with the last acknowledgement in one piece, as a
# USB adapter hands both over: at wire pace it may land after the tick that
# closes the port, and then the window shows no box at all.
box_args=() driver_box=() timing=(--wire-timing)
case $box in
  finish) box_args=(--finish-after $((slot_bytes / 128))); driver_box=(--box "Upgrade finish!" --box-when last); timing=() ;;
  zero) box_args=(--zero-after 3); driver_box=(--box 48 --box-when early) ;;
esac
link=$WINEPREFIX/dosdevices/com1
"$sim" --link "$link" "${timing[@]}" --module "$module" --serial "$serial" --software-version "$software" \
  --power-on-delay 4000 --flash-out "$work/flash.bin" --report "$work/report.json" --exit-after 170 \
  "${box_args[@]}" "${sim_fault[@]}" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
pty=$(gui_sim_pty "$sim_pid" "$work/sim.out" "$link" "$work/sim.err")
echo "$me-$lang: COM1 -> $pty (receiver-sim --module $module)"
if [ "$fault" = held ]; then
  # Wine lets two processes share a COM port; a node that refuses to open for
  # writing even for root gives the answer Windows gives for a held port.
  refusing_node=/sys/devices/system/cpu/online
  [ -e "$refusing_node" ] && ! (exec 8<>"$refusing_node") 2>/dev/null || fail "$refusing_node opens for writing: no held port here"
  ln -sfn "$refusing_node" "$link"
fi

start=$SECONDS
"$root/cmake/wine-run.sh" "$program" >"$work/brevan.log" 2>&1 &
brevan_pid=$!
"$root/cmake/wine-run.sh" "$driver" --lang "$lang" --program "$(winepath_of "$program")" \
  --shots "$(winepath_of "$shots")" --module "$module" --serial "$serial" --software-version "$software" \
  --shot-name "brevan-$lang${box:+-$box}${fault:+-$fault}" "${driver_box[@]}" "${driver_fault[@]}" &
driver_pid=$!
if [ "$fault" = vanish ]; then
  # Once some pages are in, the far end dies as an unplugged cable would take it away.
  for _ in $(seq 600); do
    [ "$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["pages"]))' "$work/report.json" 2>/dev/null || echo 0)" -ge 40 ] && break
    sleep 0.1
  done
  kill -KILL "$sim_pid" 2>/dev/null || fail "receiver-sim was gone before it was to be killed"
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
  echo "$me-$lang: receiver-sim killed after $(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["pages"]))' "$work/report.json") pages"
fi
driver_rc=0
wait "$driver_pid" || driver_rc=$?
driver_pid=""
[ "$(readlink "$link" 2>/dev/null)" = "$pty" ] || echo "$me-$lang: COM1 now links to '$(readlink "$link" 2>/dev/null)'" >&2
[ "$driver_rc" -eq 0 ] || { cat "$work/brevan.log" >&2; fail "the driver failed (exit $driver_rc)"; }

# CANCEL ended the window: the program must end with it, with exit code 0
# (the driver saw the process end within 2 s after a box; here it is reaped).
for _ in $(seq 150); do kill -0 "$brevan_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$brevan_pid" 2>/dev/null && fail "Brevan.exe still runs 15 s after its window closed"
brevan_rc=0
wait "$brevan_pid" || brevan_rc=$?
brevan_pid=""
[ "$brevan_rc" -eq 0 ] || { cat "$work/brevan.log" >&2; fail "Brevan.exe exited with $brevan_rc"; }
elapsed=$((SECONDS - start))

if [ -n "$fault" ] && [ "${fault#split-}" = "$fault" ]; then
  [ -z "$sim_pid" ] || { gui_sim_end "$sim_pid" "$work/sim.err"; sim_pid=""; }
  echo "$me-$lang: PASS in ${elapsed} s; screenshots in $shots/brevan-$lang-$fault-*.png"
  exit 0
fi
gui_sim_end "$sim_pid" "$work/sim.err"
sim_pid=""

check=$("$checker" --program "$program" --slot 7 --flash "$work/flash.bin") || fail "the board memory differs from slot 7"
echo "$me-$lang: $check"
pages=$(printf '%s' "$check" | sed -n 's/.*(\([0-9]*\) pages).*/\1/p')

python3 - "$work/report.json" "$pages" "$me" "$lang" <<'EOF' || fail "the simulator's report does not show a whole upgrade"
import json, sys
report = json.load(open(sys.argv[1]))
want, me, lang = int(sys.argv[2]), sys.argv[3], sys.argv[4]
pages = report["pages"]
problems = []
if not report.get("upgradeStarted"):
    problems.append("the receiver never took KAVEL,SOFTWARE,")
if 57600 not in report.get("pcRates", []):
    problems.append("the PC never switched to 57600 baud: %s" % report.get("pcRates"))
if len(pages) < want or report["pagesReceived"] < want:
    problems.append("%d pages received, the slot has %d" % (len(pages), want))
unacked = [p["address"] for p in pages if not p["acknowledged"]]
if unacked:
    problems.append("pages left unacknowledged at %s" % unacked[:8])
for p in problems:
    print("%s: %s" % (me, p), file=sys.stderr)
if problems:
    sys.exit(1)
resent = sum(w["count"] - 1 for w in report["pageWrites"])
span = (pages[-1]["atUs"] - pages[0]["atUs"]) / 1e6
ticks = span / (len(pages) - 1) / 0.025
print("%s: %d pages in %.2f s, %.2f ticks per page (%s; 25 ms ticks; %d pages sent again)"
      % (me, len(pages), span, ticks, lang, resent))
EOF
stages="start,probing,writing,done"
[ -z "$box" ] || stages="$stages,box"
echo "$me-$lang: PASS in ${elapsed} s; screenshots in $shots/brevan-$lang${box:+-$box}-{$stages}.png"
