#!/usr/bin/env bash
# Brevan.exe keeps the chosen port and speed for a user who may not write the
# Windows directory. Under Wine a DIRECTORY named Brevan.INI stands in the
# prefix's Windows directory, so the profile calls cannot write the file there.
# First run: the driver picks COM2 and 38400 and presses UPDATE (COM2 is linked
# to receiver-sim, so the port opens and the PC must talk at that speed), then
# CANCEL. The choices must now be in %APPDATA%\Brevan\Brevan.INI inside the
# prefix, and nothing in the Windows directory. Second run: the window must
# start showing COM2 and 38400.
#   brevan_profile_gui_test.sh --build-win DIR --program Brevan.exe
#                              --driver brevan_gui_driver.exe --host-tools DIR --shots DIR
# Anything missing is a failure, never a skip. Bounded to 180 s in all.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
me=brevan-profile-gui
fail() { echo "$me: FAIL: $*" >&2; exit 1; }

source "$root/tests/support/wine_gui_session.sh"
gui_options "$@"
[ ${#gui_rest[@]} -eq 0 ] || { echo "$me: unknown option ${gui_rest[0]}" >&2; exit 2; }
gui_inputs
gui_workdir wine-prefix-gui-brevan-profile
gui_locale "$build_win" en_US.UTF-8

port=COM2 baud=38400
sim_pid="" brevan_pid="" driver_pid=""
cleanup() {
  gui_stop "$driver_pid"
  gui_stop "$brevan_pid"
  gui_end "$sim_pid"
}
trap cleanup EXIT
gui_watchdog 180 "$me"
gui_display "$work"
gui_prefix "$work" "$root"

windows_dir=$WINEPREFIX/drive_c/windows
[ -d "$windows_dir" ] || fail "no Windows directory in $WINEPREFIX"
# The user's application-data folder as the prefix has it (drive_c/users/<user>/AppData/Roaming).
appdata=$(find "$WINEPREFIX/drive_c/users" -mindepth 3 -maxdepth 3 -type d -path '*/AppData/Roaming' ! -path '*/Public/*')
[ -n "$appdata" ] && [ "$(printf '%s\n' "$appdata" | wc -l)" -eq 1 ] ||
  fail "not exactly one user AppData/Roaming folder in $WINEPREFIX/drive_c/users: '$appdata'"
user_ini=$appdata/Brevan/Brevan.INI
find "$windows_dir" -maxdepth 1 -iname 'brevan.ini' -exec rm -rf {} +
rm -rf "$appdata/Brevan"
# In the way: the profile calls cannot make a file where a directory stands.
mkdir "$windows_dir/Brevan.INI"

# Runs Brevan.exe with the driver in MODE; the driver's exit and the program's must be 0.
run_window() {
  local mode=$1 rc=0
  "$root/cmake/wine-run.sh" "$program" >"$work/brevan-$mode.log" 2>&1 &
  brevan_pid=$!
  "$root/cmake/wine-run.sh" "$driver" --lang en --program "$(winepath_of "$program")" \
    --shots "$(winepath_of "$shots")" --module NET100.A --serial SIMPROF001 --software-version D000000 \
    --shot-name "brevan-profile-$mode" --remember "$mode" --port "$port" --baud "$baud" || rc=$?
  [ "$rc" -eq 0 ] || { cat "$work/brevan-$mode.log" >&2; fail "the driver failed in the $mode run (exit $rc)"; }
  for _ in $(seq 150); do kill -0 "$brevan_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$brevan_pid" 2>/dev/null && fail "Brevan.exe still runs 15 s after its window closed ($mode run)"
  rc=0
  wait "$brevan_pid" || rc=$?
  brevan_pid=""
  [ "$rc" -eq 0 ] || { cat "$work/brevan-$mode.log" >&2; fail "Brevan.exe exited with $rc ($mode run)"; }
}

link=$WINEPREFIX/dosdevices/com2
"$sim" --link "$link" --module NET100.A --report "$work/report.json" --exit-after 170 \
  >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
pty=$(gui_sim_pty "$sim_pid" "$work/sim.out" "$link" "$work/sim.err")
echo "$me: $port -> $pty; $windows_dir/Brevan.INI is a directory"

run_window choose
gui_sim_end "$sim_pid" "$work/sim.err"
sim_pid=""
python3 - "$work/report.json" "$baud" <<'PY' || fail "receiver-sim did not hear the PC at the chosen speed"
import json, sys
rates = json.load(open(sys.argv[1]))["pcRates"]
if int(sys.argv[2]) not in rates:
    sys.exit("%s: the PC talked at %s, not at %s" % ("brevan-profile-gui", rates, sys.argv[2]))
print("brevan-profile-gui: the PC talked at %s" % rates)
PY

[ -f "$user_ini" ] || fail "no $user_ini after UPDATE: $(ls -la "$appdata" 2>&1 | tr '\n' ' ')"
[ -d "$windows_dir/Brevan.INI" ] || fail "the directory $windows_dir/Brevan.INI is gone"
[ -z "$(ls -A "$windows_dir/Brevan.INI")" ] || fail "something was written inside $windows_dir/Brevan.INI"
echo "$me: $user_ini holds:"
sed 's/^/    /' "$user_ini"
python3 - "$user_ini" "$port" "$baud" <<'PY' || fail "$user_ini does not hold the choices"
import configparser, sys
path, port, baud = sys.argv[1], sys.argv[2], sys.argv[3]
speeds = ["9600", "19200", "38400", "57600", "115200", "BREAK"]
ini = configparser.ConfigParser(strict=False)
ini.optionxform = str
ini.read_string(open(path, "rb").read().decode("latin-1"))
section = ini["TRX4800update"] if "TRX4800update" in ini else {}
got_port, got_baud = section.get("Serial Port"), section.get("Band Port")
if got_port != port or got_baud != str(speeds.index(baud)):
    sys.exit("brevan-profile-gui: Serial Port=%r, Band Port=%r; expected %r and %d"
             % (got_port, got_baud, port, speeds.index(baud)))
PY

run_window recall
echo "$me: PASS; screenshots in $shots/brevan-profile-{choose-chosen,choose-started,recall-recalled}.png"
