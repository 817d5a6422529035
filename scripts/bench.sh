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
echo "== upgrade: slot 7 (NET100, 203 pages) against receiver-sim with wire timing at 57600, both pacings =="
# Each page frame (133 bytes) and its acknowledgement (10 bytes) take 24.83 ms on the wire. The
# tick pacing sends a page on the first or second 25 ms tick after the previous acknowledgement;
# the acknowledgement pacing sends it as soon as the acknowledgement is parsed. The page phase runs
# from the first page frame's first byte to the last acknowledgement's last byte: from the loader's
# record, the first frame's arrival less its wire time to the last frame's arrival plus its answer's.
runs=3
: > "$work/pace-tick"; : > "$work/pace-ack"; : > "$work/cpu"
for run in $(seq $runs); do
  for pace in tick ack; do
    link=$work/receiver-$pace-$run
    "$bin/receiver-sim" --link "$link" --module NET100.A --software-version 0 --wire-timing \
      --report "$work/report-$pace-$run.json" > /dev/null &
    sim=$!
    for _ in $(seq 100); do [ -e "$link" ] && break; sleep 0.05; done
    XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data /usr/bin/time -f "%U %S %e" -o "$work/time-$pace-$run" \
      "$bin/brevan" --port "$link" --baud 9600 --pace "$pace" --progress none > /dev/null
    kill $sim; wait $sim 2>/dev/null || true
    python3 - "$work/report-$pace-$run.json" >> "$work/pace-$pace" <<'PY'
import json, sys
pages = json.load(open(sys.argv[1]))["pages"]
bit_us = 1e6 / 57600 * 10
frame_us, answer_us = 133 * bit_us, 10 * bit_us
distinct = len({p["address"] for p in pages})
phase = pages[-1]["atUs"] + answer_us - (pages[0]["atUs"] - frame_us)
wire = distinct * (frame_us + answer_us)
print(f"{phase / 1000:.1f} {wire / 1000:.1f} {(pages[-1]['atUs'] - pages[0]['atUs']) / (len(pages) - 1) / 25000:.3f} {distinct} {len(pages)}")
PY
    if [ "$pace" = tick ]; then
      awk '{ printf "%.3f %.3f\n", ($1 + $2) / $3 * 100, $1 + $2 }' "$work/time-$pace-$run" >> "$work/cpu"
    fi
  done
done
for pace in tick ack; do
  phase=$(cut -d' ' -f1 "$work/pace-$pace" | median)
  wire=$(cut -d' ' -f2 "$work/pace-$pace" | head -1)
  tpp=$(cut -d' ' -f3 "$work/pace-$pace" | median)
  pages=$(cut -d' ' -f4 "$work/pace-$pace" | head -1)
  frames=$(cut -d' ' -f5 "$work/pace-$pace" | sort -n | tail -1)
  awk -v p="$phase" -v w="$wire" -v t="$tpp" -v n="$runs" -v pace="$pace" -v pages="$pages" -v frames="$frames" 'BEGIN {
    target = pace == "tick" ? "ticks per page at most 2.05" : "at most 1.10x the wire time"
    printf "--pace %-4s: %d pages (%d frames at most); page phase median %.0f ms over %d runs; wire %.0f ms; ratio %.3f; ticks per page %.3f (target: %s)\n", pace, pages, frames, p, n, w, p / w, t, target }'
done
cpu=$(cut -d' ' -f1 "$work/cpu" | median)
cpus=$(cut -d' ' -f2 "$work/cpu" | median)
echo "updater CPU (tick pacing): median ${cpus} s, ${cpu}% of the wall time (target: under 2%)"

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

echo
echo "== record store: identities under 8-way contention; show and export over 100,000 boards (SQLite, PostgreSQL) =="
# The PostgreSQL cases on a throwaway server of their own, stopped however the run ends.
pg_dir=$root/build/records-pg
bash tests/support/postgres/pg_server.sh stop "$pg_dir" >/dev/null 2>&1 || true
bash tests/support/postgres/pg_server.sh start "$pg_dir" >/dev/null
trap 'bash tests/support/postgres/pg_server.sh stop "$pg_dir" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
"$bin/records-bench" --benchmark_format=console --benchmark_counters_tabular=true

echo
echo "== line view: one day's summary, page and JSON over 100,000 boards on 8 stations in 30 days (SQLite, PostgreSQL); memory over 10,000 requests =="
# Same server as above. Target: summary median under 100 ms on both stores.
"$bin/line-view-bench" --benchmark_format=console --benchmark_counters_tabular=true

echo
echo "== station: four slots against four receiver-sims, against one slot alone (torvik: two boards each; brevan: one upgrade each) =="
python3 scripts/station_bench.py "$bin" "$work/station"
