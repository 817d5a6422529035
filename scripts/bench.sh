#!/usr/bin/env bash
# Benchmarks: figures printed as medians, with the plain-read baseline
# measured side by side in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
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
