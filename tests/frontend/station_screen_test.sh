#!/usr/bin/env bash
# The station's view in a real terminal: torvik with three receiver-sims and a
# port that is not there, inside tmux at 80x24. The screen shows a block per
# slot, PASS and FAIL once boards end, a slot's number starts that slot alone
# and Enter every idle one, and when the program ends the final state of every
# slot is left on the terminal as plain lines. With --scan the labels are
# typed into the view's bottom line and go to the slot that asks. Every
# capture is kept in the test's output and in CAPTURES.
#   station_screen_test.sh TORVIK RECEIVER_SIM CAPTURES
set -euo pipefail
torvik=$1 sim=$2 captures=$3
command -v tmux >/dev/null || { echo "FAIL: tmux is not installed (scripts/setup.sh installs it)"; exit 1; }
work=$(mktemp -d)
session=station-$$
sims=()
cleanup() {
  tmux -L "$session" kill-server 2>/dev/null || true
  tmux -L "$session-nokeys" kill-server 2>/dev/null || true
  tmux -L "$session-scan" kill-server 2>/dev/null || true
  for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$captures"
rm -f "$captures"/*.txt  # this run's captures only
fail() { echo "FAIL: $*"; exit 1; }

printf 'X7,115200,LOW,HIGH,\n' >"$work/gprscdmaset.ini"
start_sim() {  # name, extra options
  local name=$1
  shift
  "$sim" --link "$work/$name" --receiver-rate 115200 "$@" >"$work/$name.out" 2>&1 &
  sims+=($!)
}
start_sim a
start_sim b
start_sim apn --no-ack APN
for name in a b apn; do
  for _ in $(seq 100); do [ -e "$work/$name" ] && break; sleep 0.1; done
  [ -e "$work/$name" ] || fail "receiver-sim $name did not come up"
done

tmux -L "$session" new-session -d -s main -x 80 -y 24 \
  "cd '$work' && XDG_DATA_HOME='$work/data' '$torvik' --port '$work/a' --port '$work/b' --port '$work/apn' \
   --port '$work/gone' --type X7 --boards 2 --station bench-1; echo EXIT=\$?; sleep 600"

n=0
capture() {  # name: the pane now, kept and shown
  n=$((n + 1))
  local file="$captures/$(printf '%02d' "$n")-$1.txt"
  tmux -L "$session" capture-pane -p -t main >"$file"
  echo "--- capture $1 ---"
  cat "$file"
  last=$file
}
# Waits up to seconds for the pane to show text (a fixed string).
wait_for() {
  local text=$1 seconds=$2 name=$3
  for _ in $(seq $((seconds * 5))); do
    tmux -L "$session" capture-pane -p -t main | grep -qF -- "$text" && { capture "$name"; return 0; }
    sleep 0.2
  done
  capture "$name-missing"
  fail "the screen never showed '$text' within $seconds s"
}

wait_for "setting" 15 running
grep -qF "1 $work/a" "$last" || fail "slot 1's block does not name its port"
grep -qF "4 $work/gone" "$last" || fail "slot 4's block does not name its port"
# The first boards end: PASS for a and b, FAIL with its cause for the APN one.
wait_for "3 $work/apn  FAIL" 60 first-boards
grep -qF "1 $work/a  PASS" "$last" || fail "slot 1's first board is not shown as PASS"
grep -qF "4 $work/gone  FAIL" "$last" || fail "the missing port's slot is not shown as FAIL"
grep -qF "does not exist" "$last" || fail "the missing port's cause is not shown"
grep -qF "went unanswered" "$last" || fail "the APN board's cause is not shown"
[ "$(wc -l <"$last")" -le 24 ] || fail "the screen is more than 24 lines"
awk 'length > 80 { exit 1 }' "$last" || fail "a line is wider than 80 columns"
# Every live slot idle before a key is pressed (a slow machine finishes them one by one).
for _ in $(seq 150); do
  [ "$(tmux -L "$session" capture-pane -p -t main | grep -c "waiting: Enter")" -ge 3 ] && break
  sleep 0.2
done
capture idle
[ "$(grep -c "waiting: Enter" "$last")" -ge 3 ] || fail "the three slots never all waited for their next board"

# Slot 1 alone: it runs, slot 2 stays waiting.
tmux -L "$session" send-keys -t main 1
sleep 1.5
capture slot-1-started
sed -n '/^ 1 /,/^ 2 /p' "$last" | grep -q "waiting: Enter" && fail "slot 1 did not start on its number"
sed -n '/^ 2 /,/^ 3 /p' "$last" | grep -q "waiting: Enter" || fail "slot 2 started without being asked"
tmux -L "$session" send-keys -t main Enter
wait_for "EXIT=" 90 ended
# The final state stays on the terminal as plain lines.
grep -qF "$work/a: boards 2, passed 2, failed 0; last PASS" "$last" || fail "slot 1's final line is missing"
grep -qF "$work/apn: boards 2, passed 0, failed 2; last FAIL" "$last" || fail "the APN slot's final line is missing"
grep -qF "$work/gone: boards 0" "$last" || fail "the missing port's final line is missing"
grep -qF "This run: boards 6, passed 4, failed 2, yield 66%" "$last" || fail "the station's totals are missing"
grep -qF "EXIT=3" "$last" || fail "the exit code is not the worst slot's (3)"

# The screen with nobody at the keys (standard input not a terminal): every
# slot goes straight on to its next board instead of waiting for Enter.
# A server of its own: a new session on the old socket can race the old server's exit.
tmux -L "$session" kill-server 2>/dev/null || true
session=$session-nokeys
tmux -L "$session" new-session -d -s main -x 80 -y 24 \
  "cd '$work' && XDG_DATA_HOME='$work/data' '$torvik' --port '$work/a' --port '$work/b' --type X7 --boards 2 \
   --station bench-1 </dev/null; echo EXIT=\$?; sleep 600"
wait_for "EXIT=" 90 no-keys-ended
grep -qF "$work/a: boards 2, passed 2" "$last" || fail "without keys slot 1 did not go on to its second board"
grep -qF "EXIT=0" "$last" || fail "without keys the run did not pass"

# Labels scanned into the view: each goes to the slot that asks (the first
# that asks, or the one Tab chose); Escape clears a half-typed one, Ctrl-D ends.
tmux -L "$session" kill-server 2>/dev/null || true
session=${session%-nokeys}-scan
tmux -L "$session" new-session -d -s main -x 80 -y 24 \
  "cd '$work' && XDG_DATA_HOME='$work/data' '$torvik' --port '$work/a' --port '$work/b' --type X7 --boards 2 \
   --station bench-1 --scan; echo EXIT=\$?; sleep 600"
wait_for "scan the label" 15 scan-asks
[ "$(grep -c "scan the label" "$last")" -eq 2 ] || fail "both slots should ask for a label"
tmux -L "$session" send-keys -t main -l "HALF"
wait_for "label: HALF_" 5 scan-typing
tmux -L "$session" send-keys -t main Escape
sleep 0.5
tmux -L "$session" send-keys -t main -l "LBL-A"
tmux -L "$session" send-keys -t main Enter
tmux -L "$session" send-keys -t main -l "LBL-B"
tmux -L "$session" send-keys -t main Enter
# Each slot shows its label once its board has ended; the slots keep their
# own pace, so either may end first.
wait_for "label LBL-B" 60 scan-second-label
wait_for "label LBL-A" 60 scan-first-boards
grep -qF "HALF" "$last" && fail "Escape did not clear the half-typed label"
sed -n '/^.1 /,/^.2 /p' "$last" | grep -qF "label LBL-A" || fail "the first label did not go to the first slot that asked"
for _ in $(seq 100); do
  [ "$(tmux -L "$session" capture-pane -p -t main | grep -c "scan the label")" -ge 2 ] && break
  sleep 0.2
done
tmux -L "$session" send-keys -t main C-d
wait_for "EXIT=" 30 scan-ended
grep -qF "$work/a: boards 1, passed 1" "$last" || fail "slot 1 did not end after its scanned board"
grep -qF "$work/b: boards 1, passed 1" "$last" || fail "slot 2 did not end after its scanned board"
grep -qF "EXIT=0" "$last" || fail "the scanned run did not pass"
echo "station screen: all checks passed"
