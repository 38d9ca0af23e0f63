#!/usr/bin/env python3
"""How steady loadOBJ is from one fresh process to the next. Each round runs, in fresh
processes: the read+memchr probe, loadOBJ, then a program that allocates, touches and frees
2 GB (as another program might between two loads). Usage:

    bench/obj_rounds.py BUILD_DIR [--rounds 9] [--reader loadOBJ] [--churn-mb 2048] [--file OBJ]
                        [--binary OBJ_ONCE] [--pause SECONDS]

BUILD_DIR holds kestrine_obj_once and kestrine_bench (whose first run writes the 1M-triangle
mesh into /tmp); --binary runs the readings with another build's kestrine_obj_once; --pause waits after
each churn (time for the kernel to hand the freed memory back to the host, where it does that).
Prints every run with its counters (CPU time, its system part, page faults,
transparent huge pages the kernel handed out meanwhile), then the fastest and slowest loadOBJ,
their ratio, and the median against the probe's.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

from bench_folder import mesh

MESH = mesh(1000000)


def vmstat(name):
    with open("/proc/vmstat") as f:
        for line in f:
            key, value = line.split()
            if key == name:
                return int(value)
    return 0


def once(binary, reader, argument):
    huge = vmstat("thp_fault_alloc")
    done = subprocess.run([binary, reader, argument], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=True)
    fields = done.stderr.splitlines()[-1].split()
    return {"seconds": float(fields[1]), "cpu": float(fields[2]), "peak": float(fields[3]),
            "digest": fields[5], "sys": float(fields[6]), "faults": int(fields[7]),
            "huge": vmstat("thp_fault_alloc") - huge}


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--rounds", type=int, default=9)
    ap.add_argument("--reader", default="loadOBJ", help="loadOBJ or loadOBJ-1")
    ap.add_argument("--churn-mb", type=int, default=2048)
    ap.add_argument("--file", default=MESH)
    ap.add_argument("--binary")
    ap.add_argument("--pause", type=float, default=0.0)
    args = ap.parse_args()
    binary = args.binary or os.path.join(args.build, "kestrine_obj_once")
    if not os.path.exists(args.file):
        subprocess.run([os.path.join(args.build, "kestrine_bench"),
                        "--benchmark_filter=BM_ObjLoadOBJ", "--benchmark_min_time=0.001"],
                       stdout=subprocess.DEVNULL, check=True)
    with open("/sys/kernel/mm/transparent_hugepage/enabled") as f:
        thp = f.read().strip()
    load_before = load_average()
    probes, loads, digests = [], [], set()
    print("| round | probe | probe sys | loadOBJ | CPU | sys | page faults | huge pages |"
          " load |")
    print("|---|---|---|---|---|---|---|---|---|")
    for k in range(args.rounds):
        probe = once(binary, "memchr", args.file)
        load = once(binary, args.reader, args.file)
        once(binary, "churn", str(args.churn_mb))
        time.sleep(args.pause)
        probes.append(probe)
        loads.append(load)
        digests.add(load["digest"])
        print(f"| {k + 1} | {probe['seconds'] * 1000:.0f} ms | {probe['sys'] * 1000:.0f} ms | "
              f"{load['seconds'] * 1000:.0f} ms | {load['cpu'] * 1000:.0f} ms | "
              f"{load['sys'] * 1000:.0f} ms | {load['faults']} | {load['huge']} | "
              f"{load_average():.2f} |", flush=True)
    if len(digests) != 1:
        print(f"the readings disagree: {digests}", file=sys.stderr)
        return 1
    times = [r["seconds"] for r in loads]
    median = statistics.median(times)
    probe = statistics.median(r["seconds"] for r in probes)
    print(f"\n{args.reader}: fastest {min(times) * 1000:.0f} ms, slowest {max(times) * 1000:.0f} ms"
          f" ({max(times) / min(times):.2f}x), median {median * 1000:.0f} ms; probe median"
          f" {probe * 1000:.0f} ms: loadOBJ runs at {probe / median:.2f} of its rate")
    print(f"load average before {load_before:.2f}, after {load_average():.2f}"
          f" ({os.cpu_count()} cores); transparent huge pages: {thp}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
