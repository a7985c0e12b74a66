#!/usr/bin/env python3
"""Runs the CKaString replacing benchmarks and prints the ratios worth reading.

    bench/run_benchmarks.py [--binary PATH] [--repetitions N] [--json FILE] [-- BENCHMARK ARGS]

Times are CPU times (medians when repeated): the benchmark is single-threaded, and CPU time is
what stays comparable on a machine that is busy with something else.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BINARY = os.path.join(HERE, "..", "build-bench", "bench", "plinth_bench_kastring")
PAIRS = ["the_to_THE", "and_to_amp"]
FIND_COUNTS = [10, 100, 1000]
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def run(binary, repetitions, extra):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as out:
        path = out.name
    command = [binary, "--benchmark_out=" + path, "--benchmark_out_format=json"]
    if repetitions > 1:
        command += ["--benchmark_repetitions=%d" % repetitions,
                    "--benchmark_report_aggregates_only=true"]
    command += extra
    print("running:", " ".join(command), flush=True)
    result = subprocess.run(command)
    if result.returncode != 0:
        sys.exit("the benchmark program failed (exit code %d); see its message above"
                 % result.returncode)
    with open(path) as f:
        data = json.load(f)
    os.unlink(path)
    return data


def cpu_times(data):
    """Benchmark name -> CPU seconds per iteration, medians preferred over single runs."""
    single, median = {}, {}
    for entry in data.get("benchmarks", []):
        name = entry.get("run_name", entry["name"])
        seconds = entry["cpu_time"] * UNIT_NS[entry.get("time_unit", "ns")] / 1e9
        if entry.get("run_type") == "aggregate":
            if entry.get("aggregate_name") == "median":
                median[name] = seconds
        else:
            single.setdefault(name, seconds)
    single.update(median)
    return single


def ratio(times, numerator, denominator):
    if numerator in times and denominator in times and times[denominator] > 0:
        return times[numerator] / times[denominator]
    return None


def show(label, value, note=""):
    text = "%.2f" % value if value is not None else "(not measured)"
    print("  %-58s %10s  %s" % (label, text, note))


def report(times):
    print("\nFindReplace, all occurrences (CPU time ratios)")
    for pair in PAIRS:
        for size in ["16MB", "64MB"]:
            show("library / memmem rebuild, %s, %s" % (pair, size),
                 ratio(times, "FindReplace/library/%s/%s" % (pair, size),
                       "FindReplace/memmem_rebuild/%s/%s" % (pair, size)), "1.0 = as fast")
        show("library 64MB / 16MB, %s" % pair,
             ratio(times, "FindReplace/library/%s/64MB" % pair, "FindReplace/library/%s/16MB" % pair),
             "linear = 4.0")
        show("memmem rebuild 64MB / 16MB, %s" % pair,
             ratio(times, "FindReplace/memmem_rebuild/%s/64MB" % pair,
                   "FindReplace/memmem_rebuild/%s/16MB" % pair), "linear = 4.0")
    show("naive in place / library, the_to_THE, 64MB",
         ratio(times, "FindReplace/naive_inplace/the_to_THE/64MB", "FindReplace/library/the_to_THE/64MB"),
         "same length: no tail moves")
    growth = ratio(times, "FindReplace/naive_inplace/and_to_amp/4MB",
                   "FindReplace/naive_inplace/and_to_amp/1MB")
    show("naive in place 4MB / 1MB, and_to_amp", growth, "linear = 4, quadratic = 16")
    naive4 = times.get("FindReplace/naive_inplace/and_to_amp/4MB")
    library64 = times.get("FindReplace/library/and_to_amp/64MB")
    if naive4 and library64:
        estimate = naive4 * 256
        print("  naive in place, and_to_amp, 64MB (not run): about %.0f s, estimated as 256 x the"
              " 4MB time;\n    the library takes %.3f s there, %.0f times less"
              % (estimate, library64, estimate / library64))

    print("\nFindReplaceNoCase, all occurrences")
    for pair in PAIRS:
        for size in ["16MB", "64MB"]:
            show("library / strcasestr rebuild, %s, %s" % (pair, size),
                 ratio(times, "FindReplaceNoCase/library/%s/%s" % (pair, size),
                       "FindReplaceNoCase/strcasestr_rebuild/%s/%s" % (pair, size)), "1.0 = as fast")
        show("library 64MB / 16MB, %s" % pair,
             ratio(times, "FindReplaceNoCase/library/%s/64MB" % pair,
                   "FindReplaceNoCase/library/%s/16MB" % pair), "linear = 4.0")

    print("\nFindReplaceArray, 16MB (cost per byte)")
    for family, label in [("library", "text's words"), ("library_decoys", "ten words + decoys")]:
        per_byte = {}
        for count in FIND_COUNTS:
            seconds = times.get("FindReplaceArray/%s/%dfinds/16MB" % (family, count))
            naive = times.get("FindReplaceArray/naive_try_each/%dfinds/1MB" % count)
            if seconds:
                per_byte[count] = seconds * 1e9 / (16 << 20)
                note = ""
                if naive and family == "library":
                    note = "naive try-each-entry: %.2f ns/byte" % (naive * 1e9 / (1 << 20))
                show("%s ns per byte, %d finds" % (label, count), per_byte[count], note)
        if 10 in per_byte and 1000 in per_byte:
            note = ("flat scan = 1.0; the same replacements at every count"
                    if family == "library_decoys"
                    else "more finds also replace more of the text; naive grows ~100x")
            show("%s per-byte cost, 1000 finds / 10 finds" % label,
                 per_byte[1000] / per_byte[10], note)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=DEFAULT_BINARY, help="the benchmark program")
    parser.add_argument("--repetitions", type=int, default=3,
                        help="runs of each benchmark; the median is used (default 3)")
    parser.add_argument("--json", help="read this JSON output of an earlier run instead of running")
    parser.add_argument("extra", nargs="*", help="arguments passed on to the benchmark program")
    args = parser.parse_args()
    if args.json:
        with open(args.json) as f:
            data = json.load(f)
    else:
        if not os.path.exists(args.binary):
            sys.exit("no benchmark program at %s: configure with -DPLINTH_BUILD_BENCH=ON, build, "
                     "or pass --binary" % args.binary)
        data = run(args.binary, args.repetitions, args.extra)
    report(cpu_times(data))


if __name__ == "__main__":
    main()
