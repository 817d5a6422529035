#!/usr/bin/env python3
"""Station benchmark: one torvik (or brevan) process driving N slots against N
receiver-sims, side by side with one slot alone, in the same run. Prints the
median wall time of each, their ratio, the station's CPU per slot and its peak
resident memory (from the process's own rusage).

    station_bench.py BIN_DIR WORK_DIR
"""
import os
import resource
import statistics
import subprocess
import sys
import time

bin_dir, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
sim = os.path.join(bin_dir, "receiver-sim")
os.makedirs(work, exist_ok=True)
with open(os.path.join(work, "gprscdmaset.ini"), "w") as f:
    f.write("X7,115200,LOW,HIGH,\n")


def start_sims(names, extra):
    procs = []
    for name in names:
        link = os.path.join(work, name)
        p = subprocess.Popen([sim, "--link", link] + extra, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        p.stdout.readline()  # its port: ready
        procs.append(p)
    return procs


def stop(procs):
    for p in procs:
        p.terminate()
    for p in procs:
        p.wait()


def run(argv):
    """Wall seconds, CPU seconds and peak RSS (KiB) of one run of argv."""
    start = time.monotonic()
    p = subprocess.Popen(argv, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         env=dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"),
                                  XDG_CONFIG_HOME=os.path.join(work, "config")))
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"station bench: {' '.join(argv)} ended with {os.waitstatus_to_exitcode(status)}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def compare(title, program, args, slots, sim_extra, runs):
    names = [f"{title}-{i}" for i in range(slots)]
    sims = start_sims(names, sim_extra)
    try:
        alone, station, cpu, rss = [], [], [], []
        for _ in range(runs):
            wall, _, _ = run([program, "--port", os.path.join(work, names[0])] + args)
            alone.append(wall)
            ports = [a for n in names for a in ("--port", os.path.join(work, n))]
            wall, used, peak = run([program] + ports + args)
            station.append(wall)
            cpu.append(used / wall / slots * 100)
            rss.append(peak)
    finally:
        stop(sims)
    a, s = statistics.median(alone), statistics.median(station)
    print(f"{title}: one slot median {a:.2f} s, {slots} slots median {s:.2f} s over {runs} runs each;"
          f" ratio {s / a:.3f} (target: at most 1.10)")
    print(f"{title}: station CPU per slot while working: median {statistics.median(cpu):.2f}% of a core;"
          f" peak resident memory {max(rss) / 1024:.1f} MiB")


torvik = os.path.join(bin_dir, "torvik")
brevan = os.path.join(bin_dir, "brevan")
common = ["--progress", "none", "--db", os.path.join(work, "records.sqlite3")]
compare("torvik", torvik, ["--type", "X7", "--boards", "2", "--station", "bench"] + common, 4,
        ["--receiver-rate", "115200"], 3)
compare("brevan", brevan, ["--baud", "9600"] + common, 4, ["--wire-timing", "--module", "EM310.00"], 3)

# Memory with eight slots: eight upgrades at once.
names = [f"eight-{i}" for i in range(8)]
sims = start_sims(names, ["--wire-timing", "--module", "EM310.00"])
try:
    ports = [a for n in names for a in ("--port", os.path.join(work, n))]
    wall, used, peak = run([brevan] + ports + ["--baud", "9600"] + common)
finally:
    stop(sims)
print(f"brevan, 8 slots: {wall:.2f} s, CPU per slot {used / wall / 8 * 100:.2f}% of a core,"
      f" peak resident memory {peak / 1024:.1f} MiB")
