#!/usr/bin/env bash
# Benchmarks: figures printed as medians, with the plain-read baseline
# measured side by side in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
now_ns() { date +%s%N; }

# A 64 MiB program file whose overlay (the shipped updater's) is at the very end.
big=$work/big-program
overlay_bytes=655360
shipped=$bin/brevan
head -c $((64 * 1024 * 1024 - overlay_bytes)) /dev/urandom | tr 'D' 'd' > "$big"
tail -c $overlay_bytes "$shipped" >> "$big"
cat "$big" > /dev/null  # both sides start from the page cache

echo "== image bank: find and load from a 64 MiB program file, against one plain read =="
runs=21
: > "$work/load"; : > "$work/cat"
for _ in $(seq $runs); do
  t0=$(now_ns); "$bin/brevan-pack" --list "$big" > /dev/null; t1=$(now_ns)
  cat "$big" > /dev/null; t2=$(now_ns)
  echo $(( (t1 - t0) / 1000 )) >> "$work/load"
  echo $(( (t2 - t1) / 1000 )) >> "$work/cat"
done
load=$(median < "$work/load")
plain=$(median < "$work/cat")
awk -v l="$load" -v c="$plain" -v n="$runs" 'BEGIN {
  printf "brevan-pack --list (find + load + list): median %.1f ms over %d runs\n", l / 1000, n
  printf "cat FILE >/dev/null:                     median %.1f ms over %d runs\n", c / 1000, n
  printf "ratio: %.2fx (target: within 1.5x)\n", l / c }'

echo
echo "== in-process (Google Benchmark) =="
BANK_BENCH_FILE=$big "$bin/bank-bench" --benchmark_format=console

echo
echo "== serial port: CPU of an open port with no traffic for 10 s =="
"$bin/serial-idle-bench" 10

echo
echo "== serial port: 1 MiB burst over a pty through the engine, against cat on the same kind of pty =="
"$bin/serial-rx-bench" 9

echo
echo "== upgrade: slot 7 (NET100, 203 pages) against receiver-sim with wire timing at 57600 =="
# Each page and its acknowledgement take about 24.8 ms on the wire, so a page should go out on
# the first or second 25 ms tick after the previous one's acknowledgement.
runs=3
: > "$work/tpp"; : > "$work/cpu"
for run in $(seq $runs); do
  link=$work/receiver-$run
  "$bin/receiver-sim" --link "$link" --module NET100.A --software-version 0 --wire-timing \
    --report "$work/report-$run.json" > /dev/null &
  sim=$!
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  XDG_CONFIG_HOME=$work/config /usr/bin/time -f "%U %S %e" -o "$work/time-$run" \
    "$bin/brevan" --port "$link" --baud 9600 > /dev/null
  kill $sim; wait $sim 2>/dev/null || true
  python3 - "$work/report-$run.json" >> "$work/tpp" <<'PY'
import json, sys
pages = json.load(open(sys.argv[1]))["pages"]
span = pages[-1]["atUs"] - pages[0]["atUs"]
print(f"{span / (len(pages) - 1) / 25000:.3f} {len(pages)}")
PY
  awk '{ printf "%.3f %.3f\n", ($1 + $2) / $3 * 100, $1 + $2 }' "$work/time-$run" >> "$work/cpu"
done
tpp=$(cut -d' ' -f1 "$work/tpp" | median)
pages=$(cut -d' ' -f2 "$work/tpp" | head -1)
cpu=$(cut -d' ' -f1 "$work/cpu" | median)
cpus=$(cut -d' ' -f2 "$work/cpu" | median)
echo "pages written: $pages; ticks per page: median $tpp over $runs runs (target: at most 2.05)"
echo "updater CPU: median ${cpus} s, ${cpu}% of the wall time (target: under 2%)"

echo
echo "== configurator: a whole Set (直通 on, HERON) against receiver-sim answering at once =="
# The floor is what the Set's own waits impose: the rate broadcast (5 rates x 800 ms + 400 ms),
# 400 ms after each item without reply, 200 ms before each acknowledgement is reported, and after
# each acknowledgement half a 50 ms send tick on average before the next item goes (after an item
# without reply the tick is already due). Measured from the press of Set to the end of the last
# item's pause, from the per-item times of torvik's --report.
runs=5
: > "$work/set"
for run in $(seq $runs); do
  link=$work/torvik-$run
  dir=$work/torvik-dir-$run
  mkdir -p "$dir"
  printf '82,9600,HIGH,HIGH,\n' > "$dir/gprscdmaset.ini"
  "$bin/receiver-sim" --link "$link" > /dev/null &
  sim=$!
  for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
  (cd "$dir" && "$root/$bin/torvik" --port "$link" --report "$dir/boards.jsonl" > /dev/null)
  kill $sim; wait $sim 2>/dev/null || true
  python3 - "$dir/boards.jsonl" >> "$work/set" <<'PY'
import json, sys
board = json.loads(open(sys.argv[1]).readline())
items = [i for i in board["items"] if i["writtenMs"] >= 0]
acked = sum(1 for i in items if i["replyAwaited"])
plain = len(items) - acked
floor = 4400 + 400 * plain + 200 * acked + 25 * acked
last = items[-1]
wall = last["writtenMs"] + (400 if not last["replyAwaited"] else 0)
assert all(i["outcome"] in ("sent", "acknowledged") for i in items), "an item was not acknowledged"
print(f"{wall} {floor} {len(items)}")
PY
done
wall=$(cut -d' ' -f1 "$work/set" | median)
floor=$(cut -d' ' -f2 "$work/set" | head -1)
items=$(cut -d' ' -f3 "$work/set" | head -1)
awk -v w="$wall" -v f="$floor" -v n="$runs" -v i="$items" 'BEGIN {
  printf "Set of %d items: median %.0f ms over %d runs; floor %.0f ms; ratio %.3f (target: at most 1.05)\n", i, w, n, f, w / f }'

echo
echo "== configurator: a babbling receiver, 1 GiB through a pty into the link =="
"$bin/torvik-babble-bench" 1
