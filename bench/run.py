#!/usr/bin/env python3
"""Runs the benchmarks and prints what they show.

    python3 bench/run.py BUILD_DIR [--repetitions N] [WHAT ...]

BUILD_DIR is the bench preset's build tree. WHAT is "reader" (the ZIP reader
benchmark), "responsiveness" (the window's answers during an install under
Wine, bench/responsiveness.py, up to a minute or two per case) or one of its
cases; by default everything but "peer", the side-by-side bench against NSIS
(bench/peer.py, ten minutes or more), which runs only when asked for.

The ZIP reader benchmark interleaves reader and zlib floor runs, many short
repetitions each, and the fastest repetition's CPU time counts: on a busy
machine waiting for a core then costs neither side. It prints the reader's
and the floor's time on the reference payload, their ratio (target <= 1.05;
on the 2x payload for information), the reader's peak heap (target < 128 KiB,
the same for a payload twice the size) and its largest single allocation,
which shows the archive is never copied. Exits 1 when a target is missed.
"""
import argparse
import json
import os
import subprocess
import sys

import peer
import responsiveness

RATIO_TARGET = 1.05
HEAP_TARGET = 128 * 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--repetitions", type=int, default=20)
    parser.add_argument("what", nargs="*", choices=("reader", "responsiveness", "peer") + responsiveness.CASES)
    args = parser.parse_intermixed_args()
    what = args.what or ["reader", "responsiveness"]
    failed = "reader" in what and reader(args)
    cases = [c for c in responsiveness.CASES if c in what or "responsiveness" in what]
    if cases and not responsiveness.main(args.build, cases):
        failed = True
    if "peer" in what and not peer.main(args.build):
        failed = True
    return 1 if failed else 0


def reader(args):
    """Runs the reader benchmark; True when a target is missed."""
    bench_dir = os.path.join(args.build, "bench")
    program = os.path.join(bench_dir, "zip_bench")
    archives = [os.path.join(bench_dir, f"reference-{n}x.zip") for n in (1, 2)]
    cmd = [program, f"--archive1x={archives[0]}", f"--archive2x={archives[1]}",
           f"--benchmark_repetitions={args.repetitions}", "--benchmark_enable_random_interleaving=true",
           "--benchmark_min_time=0.2", "--benchmark_format=json"]
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    if any(b.get("error_occurred") for b in runs):
        sys.exit("bench: a run failed: " + "; ".join(b.get("error_message", "") for b in runs if b.get("error_occurred")))

    def fastest(name):
        times = [b["cpu_time"] for b in runs if b["run_name"] == name]
        return min(times)

    def counters(name):
        return next(b for b in runs if b["run_name"] == name)

    failed = False
    print(f"ZIP reader benchmark ({args.repetitions} interleaved repetitions, fastest CPU time of each)")
    for size, arg in (("1x", 0), ("2x", 1)):
        reader, floor = fastest(f"BM_Reader/{arg}"), fastest(f"BM_Floor/{arg}")
        c = counters(f"BM_Reader/{arg}")
        ratio = reader / floor
        archive = int(c["archive_bytes"])
        peak, largest, leaked = int(c["peak_heap"]), int(c["largest_alloc"]), int(c["leaked"])
        mb_s = c["bytes_per_second"] / 1e6
        print(f"\nreference payload {size}: {archive:,} bytes, {int(c['entries'])} entries")
        print(f"  reader time         {reader:8.2f} ms  ({mb_s:.0f} MB/s of output)")
        print(f"  floor (zlib + crc)  {floor:8.2f} ms")
        # The time target is the reference payload's; the 2x payload is there
        # to show that memory does not grow with the archive.
        timed = arg == 0
        verdict = ("ok" if ratio <= RATIO_TARGET else "MISSED") if timed else "(for information)"
        print(f"  ratio               {ratio:8.3f}     target <= {RATIO_TARGET}  {verdict}")
        print(f"  reader peak heap    {peak:8,} B   target < {HEAP_TARGET:,} B  {'ok' if peak < HEAP_TARGET else 'MISSED'}")
        print(f"  largest allocation  {largest:8,} B   archive never copied: "
              f"{'yes' if largest < archive else 'NO'} ({int(c['allocations'])} allocations, {leaked} B left after close)")
        failed |= (timed and ratio > RATIO_TARGET) or peak >= HEAP_TARGET or largest >= archive or leaked != 0
    return failed


if __name__ == "__main__":
    sys.exit(main())
