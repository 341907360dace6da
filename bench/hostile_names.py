#!/usr/bin/env python3
"""Files whose names crowd one place of the name index, timed with tagtree-explain.

Names can be made to share the name index's hash where its seed is known: these are made
for the seed 0, while each run draws its own. Its work a word must stay bounded all the
same. This writes four such files, each beside a control of
the same size and shape whose names are random, at --names distinct names and at four
times as many, and times each given tagtree-explain on each: the median of --runs runs
after a warm-up. A run longer than --timeout seconds is stopped, and the file's time
shown as over it.

  urls    a bookmarks export of product URLs of one shop, two topic tags each, as
          bench/run.py's crowded input: names of 89 bytes alike in their first and last
          32 bytes and their length;
  middle  names of 100 bytes alike but for their middle 36 bytes, each 4 times;
  short   names of 8 printable bytes made to share the low 20 bits of their hash, so
          that they start their search at one place, each 4 times;
  hash    names of 16 printable bytes made to share their whole 64-bit hash, each 4 times.

The short and hash names come from bench/hostile_names.cc, which runs the hashes
backwards; it is built here with g++. One name a line in middle, short and hash.

Usage: bench/hostile_names.py --binary [LABEL=]PATH... [--names N] [--runs N]
                              [--timeout SECONDS] [--only KIND,...]
Prints a Markdown table: the file, its names and size, and for each binary its time on
the crowded file, on the control, and their ratio.
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Printable bytes but ';', for random names: 256 values mapped onto 93.
PRINTABLE = bytes(b for b in range(0x21, 0x7F) if b != ord(";"))
TO_PRINTABLE = bytes(PRINTABLE[k * len(PRINTABLE) // 256] for k in range(256))
TOPICS = [b"garden", b"kitchen", b"tools", b"outdoor", b"lighting", b"storage",
          b"textiles", b"office", b"kids", b"pets", b"bath", b"gifts"]


def random_names(rng, count, length):
    """`count` distinct random printable names of `length` bytes."""
    names = set()
    while len(names) < count:
        block = rng.randbytes(length * (count - len(names))).translate(TO_PRINTABLE)
        names.update(block[k:k + length] for k in range(0, len(block), length))
    names = sorted(names)
    rng.shuffle(names)
    return names


def crafted_names(helper, kind, count, seed):
    """`count` names from bench/hostile_names.cc."""
    result = subprocess.run([helper, kind, str(count), str(seed)], check=True,
                            stdout=subprocess.PIPE)
    return result.stdout.split(b"\n")[:count]


def url_lines(rng, names):
    return b"".join(b"; ".join([name] + rng.sample(TOPICS, 2)) + b"\n" for name in names)


def four_times(names):
    return b"".join(name + b"\n" for name in names) * 4


def write_pair(kind, count, helper, directory):
    """Writes the crowded file of `kind` and its control, as crowded/files.in and
    control/files.in in `directory`."""
    rng = random.Random(29)
    if kind == "urls":
        ids = rng.sample(range(10_000_000), count)
        crowded = url_lines(rng, [f"https://shop.example/products/item-{k:07d}?ref=bookmarks-"
                                  f"export-2026&utm_medium=bookmarks".encode() for k in ids])
        control = url_lines(rng, random_names(rng, count, 89))
    elif kind == "middle":
        ends = b"<" * 32, b">" * 32
        crowded = four_times([ends[0] + middle + ends[1]
                              for middle in random_names(rng, count, 36)])
        control = four_times(random_names(rng, count, 100))
    else:
        crowded = four_times(crafted_names(helper, kind, count, 31))
        control = four_times(random_names(rng, count, 8 if kind == "short" else 16))
    for name, data in (("crowded", crowded), ("control", control)):
        os.makedirs(os.path.join(directory, name), exist_ok=True)
        with open(os.path.join(directory, name, "files.in"), "wb") as f:
            f.write(data)
    return len(crowded), len(control)


def timed(binary, directory, runs, timeout):
    """The median time of `runs` runs after a warm-up, or None past `timeout`."""
    times = []
    for _ in range(runs + 1):
        start = time.perf_counter()
        try:
            result = subprocess.run([binary], cwd=directory, stdout=subprocess.DEVNULL,
                                    timeout=timeout, check=False)
        except subprocess.TimeoutExpired:
            return None
        times.append(time.perf_counter() - start)
        if result.returncode not in (0, 1):
            sys.exit(f"{binary} ended with status {result.returncode} in {directory}")
    return statistics.median(times[1:])


def shown(seconds, timeout):
    if seconds is None:
        return f"> {timeout:g} s"
    return f"{seconds * 1000:.0f} ms" if seconds < 10 else f"{seconds:.1f} s"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", action="append", required=True,
                        help="a tagtree-explain, as PATH or LABEL=PATH; give it again to compare")
    parser.add_argument("--names", type=int, default=50_000, help="distinct names at the smaller size")
    parser.add_argument("--runs", type=int, default=3, help="timed runs of each binary on each file")
    parser.add_argument("--timeout", type=float, default=60, help="seconds a run may take")
    parser.add_argument("--only", help="comma-separated kinds to run")
    args = parser.parse_args()
    binaries = []
    for given in args.binary:
        label, _, path = given.rpartition("=")
        binaries.append((label or os.path.basename(path), os.path.abspath(path)))
    kinds = args.only.split(",") if args.only else ["urls", "middle", "short", "hash"]

    print("| file | names | size | " + " | ".join(f"{label} crowded | {label} control | ratio"
                                                   for label, _ in binaries) + " |")
    print("|---|---:|---:|" + "---:|---:|---:|" * len(binaries))
    with tempfile.TemporaryDirectory(prefix="tagtree-hostile-") as root:
        helper = os.path.join(root, "hostile_names")
        subprocess.run(["g++", "-O2", "-std=c++20", "-I", os.path.join(SOURCE, "src"),
                        os.path.join(SOURCE, "bench", "hostile_names.cc"),
                        os.path.join(SOURCE, "src", "pipeline", "name_hash.cc"), "-o", helper],
                       check=True)
        for kind in kinds:
            for count in (args.names, 4 * args.names):
                directory = os.path.join(root, f"{kind}-{count}")
                size, _ = write_pair(kind, count, helper, directory)
                cells = []
                for _, binary in binaries:
                    crowded, control = (timed(binary, os.path.join(directory, name), args.runs,
                                              args.timeout) for name in ("crowded", "control"))
                    ratio = f"{crowded / control:.2f}" if crowded and control else "-"
                    cells.append(f"{shown(crowded, args.timeout)} | "
                                 f"{shown(control, args.timeout)} | {ratio}")
                print(f"| {kind} | {count:,} | {size / MIB:.1f} MiB | " + " | ".join(cells) + " |",
                      flush=True)
                subprocess.run(["rm", "-rf", directory], check=True)


if __name__ == "__main__":
    main()
