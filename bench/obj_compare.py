#!/usr/bin/env python3
"""OBJ readers side by side: each reading in a fresh process (kestrine_obj_once), the readers
interleaved round by round, medians reported. Usage:

    bench/obj_compare.py BUILD_DIR [--rounds N] [--today OBJ_ONCE_BINARY]

BUILD_DIR holds kestrine_obj_once and kestrine_bench (whose first run writes the two meshes
into /tmp). --today adds the loadOBJ of another build (the reader before a change) as "today".
"""
import argparse
import os
import statistics
import subprocess
import sys

from bench_folder import mesh

MESHES = {"1M": mesh(1000000), "100k": mesh(100000)}
READERS = {
    "1M": ["memchr", "loadOBJ", "loadOBJ-1", "fscanf", "tinyobjloader"],
    "100k": ["memchr", "loadOBJ", "loadOBJ-1"],
}


def once(binary, reader, path):
    done = subprocess.run([binary, reader, path], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=True)
    name, seconds, cpu, peak, corners, digest = done.stderr.splitlines()[-1].split()[:6]
    return float(seconds), float(cpu), float(peak), int(corners), digest


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--today")
    args = ap.parse_args()
    binary = os.path.join(args.build, "kestrine_obj_once")
    if not all(os.path.exists(p) for p in MESHES.values()):
        subprocess.run([os.path.join(args.build, "kestrine_bench"),
                        "--benchmark_filter=BM_ObjLoadOBJ", "--benchmark_min_time=0.001"],
                       stdout=subprocess.DEVNULL, check=True)
    with open("/proc/loadavg") as f:
        load_before = f.read().split()[0]
    for size, path in MESHES.items():
        runs = [(r, binary, r) for r in READERS[size]]
        if args.today:
            runs.append(("today", args.today, "loadOBJ"))
        times = {label: [] for label, _, _ in runs}
        cpus = {label: [] for label, _, _ in runs}
        peaks = {label: [] for label, _, _ in runs}
        digests = {}
        for k in range(args.rounds):
            order = runs[k % len(runs):] + runs[:k % len(runs)]
            for label, b, reader in order:
                seconds, cpu, peak, corners, digest = once(b, reader, path)
                times[label].append(seconds)
                cpus[label].append(cpu)
                peaks[label].append(peak)
                if label != "memchr":
                    digests.setdefault(digest, []).append(label)
        if len(digests) > 1:
            print(f"{size}: the readers disagree: {digests}", file=sys.stderr)
            return 1
        megabytes = os.path.getsize(path) / 1e6
        t = {label: statistics.median(v) for label, v in times.items()}
        print(f"\n{size} triangles ({megabytes:.0f} MB), medians of {args.rounds} interleaved runs")
        print("| reader | time | CPU time | MB/s | share of the read+memchr rate "
              "| loadOBJ is faster by | peak memory |")
        print("|---|---|---|---|---|---|---|")
        for label in times:
            print(f"| {label} | {t[label] * 1000:.0f} ms "
                  f"(min {min(times[label]) * 1000:.0f}) | "
                  f"{statistics.median(cpus[label]) * 1000:.0f} ms | {megabytes / t[label]:.0f} | "
                  f"{t['memchr'] / t[label]:.2f} | {t[label] / t['loadOBJ']:.2f}x | "
                  f"{statistics.median(peaks[label]):.0f} MB |")
    with open("/proc/loadavg") as f:
        print(f"\nload average before {load_before}, after {f.read().split()[0]}"
              f" ({os.cpu_count()} cores)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
