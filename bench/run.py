#!/usr/bin/env python3
"""Benchmark of tagtree against `wc -l`, which stands in for reading the file once.

Generates each input in a temporary directory, runs tagtree and `wc -l files.in` there
alternately (one warm-up each, then --runs timed runs each, ten times as many for inputs
under 1 MiB, whose runs last about a millisecond), and prints a Markdown table: the
input, whether tagtree succeeds on it or fails (the run stops if that is not what the
input is made for), its size, the median wall time of each program, the median of the
pairwise ratios tagtree/wc with the smallest and largest of them, and tagtree's peak
resident set size next to its allowance: 16 MiB plus the bytes of the distinct tag names
plus the longest word. The inputs marked "explains" are run with tagtree-explain, from
beside tagtree, in its place: tagtree stops at their 51st line, while
tagtree-explain reads it whole, and its allowance is not tagtree's. An input may name
the arguments its program is run with, such as tagtree-explain's --tree. Last, it
prints each target that the inputs measured have: a row's ratio to wc, or its time
against another row's, beside its bound.

Usage: bench/run.py [--binary [LABEL=]PATH]... [--baseline LABEL] [--runs N]
                    [--only NAME,...]
Without --binary it builds the release preset and measures build/release/tagtree. Given
several times, it measures each of them, in turn within every round, so that a fast path
can be weighed with and without it in one run: a row an input and binary. --baseline names
the binary that the targets set against an earlier version compare the others with.
Only the standard library is used; times come from the wall clock around each child
and the peak RSS from GNU time (`/usr/bin/time -f %M`, Debian package "time") in one
more run: a child spawned straight from Python would inherit Python's own peak RSS
across exec.
"""

import argparse
import itertools
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

KIB = 1024
MIB = 1024 * 1024
CHUNK = 8 * MIB  # generators write in pieces of about this size
GNU_TIME = "/usr/bin/time"
EXPLAIN = "tagtree-explain"  # measured on the inputs marked "explains", from beside tagtree
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


# Each generator writes files.in and returns (bytes of the distinct tag names, length of
# the longest word): the memory tagtree may need beyond its fixed 16 MiB.


def write_typical(f, scale):
    """50 lines of 1 to 4 tags from a vocabulary of 100, Zipf-like frequencies."""
    del scale  # the capacities leave no room to grow it
    rng = random.Random(7)
    vocabulary = [f"tag{k:02d}" for k in range(100)]
    weights = [1.0 / (k + 1) for k in range(100)]
    used = set()
    for _ in range(50):
        wanted = rng.randint(1, 4)
        line = []
        while len(line) < wanted:
            tag = rng.choices(vocabulary, weights)[0]
            if tag not in line:
                line.append(tag)
        used.update(line)
        f.write(("; ".join(line) + "\n").encode())
    return sum(len(tag) for tag in used), max(len(tag) for tag in used)


def write_long_names(f, scale, differ_at=None):
    """100 tags of 32 KiB * scale that differ only in 4 bytes, their last 4 unless
    `differ_at` says where, 50 lines of 25 tags. Tags 0 and 50 each start 25 lines and
    each take 24 of the next 49 tags in turn, so each has those 49 as its children, and
    the listing repeats each long parent name before each of its 49 children."""
    size = 32 * KIB * scale
    at = size - 4 if differ_at is None else differ_at(size)
    names = [b"n" * at + f"{k:04d}".encode() + b"n" * (size - 4 - at) for k in range(100)]
    for j in range(50):
        parent = 0 if j < 25 else 50
        line = [names[parent]] + [names[parent + 1 + (j * 24 + k) % 49] for k in range(24)]
        f.write(b"; ".join(line) + b"\n")
    return sum(len(name) for name in names), len(names[0])


def write_long_names_alike(f, scale):
    """As long names, but the 4 bytes that tell the names apart are in the middle: the
    names are alike at both ends."""
    return write_long_names(f, scale, lambda size: size // 2)


def with_cr_line_ends(generate):
    """The input of `generate` with each LF line end made a CR LF."""
    def write(f, scale):
        class CrLf:
            def write(self, data):
                f.write(data.replace(b"\n", b"\r\n"))
        return generate(CrLf(), scale)
    return write


def write_skipped_words(f, scale):
    """50 lines, each a few real tags around a million empty words ("; ; ; ...")."""
    run = b"; " * (1_000_000 * scale)
    for j in range(50):
        f.write(f"photo{j % 5}; year{j % 10}; ".encode())
        f.write(run)
        f.write(f"place{j % 3}; camera\n".encode())
    return 5 * 6 + 10 * 5 + 3 * 6 + 6, 6


def write_repeated(f, unit, times):
    """Writes `unit` `times` times, a chunk at a time."""
    per_chunk = CHUNK // len(unit)
    piece = unit * per_chunk
    while times > 0:
        count = min(times, per_chunk)
        f.write(piece if count == per_chunk else unit * count)
        times -= count


def write_repeats(f, scale):
    """One line repeating one short tag 20 million times; it ends in the 180 failure."""
    write_repeated(f, b"a; ", 20_000_000 * scale)
    f.write(b"\n")
    return 1, 1


def write_semicolon_dense(f, scale):
    """50 lines of one tag each, "t1;a;a;a;...": a million semicolons per line, none
    followed by a space, so none of them ends the word."""
    word = b"t1" + b";a" * (1_000_000 * scale)
    for _ in range(50):
        f.write(word + b"\n")
    return len(word), len(word)


def write_alternating(f, scale):
    """One line "a; b; a; b; ..." of 20 million words; it ends in the 180 failure."""
    write_repeated(f, b"a; b; ", 10_000_000 * scale)
    f.write(b"a\n")
    return 2, 1


def write_random_words(f, scale):
    """One line of 20 million one-letter words, each at random a or b, in no pattern that
    repeats; it ends in the 180 failure."""
    rng = random.Random(13)
    words = 20_000_000 * scale
    per_chunk = CHUNK // 3
    while words > 0:
        count = min(words, per_chunk)
        piece = bytearray(3 * count)  # each word: its letter, then "; "
        piece[0::3] = rng.randbytes(count).translate(bytes(b"ab"[k & 1] for k in range(256)))
        piece[1::3] = b";" * count
        piece[2::3] = b" " * count
        f.write(piece)
        words -= count
    f.write(b"a\n")
    return 2, 1


def write_skipped_mix(f, scale):
    """50 lines of "t1; " and then 200,000 words, each at random empty ("; ") or one
    space (" ; "), all of them skipped."""
    rng = random.Random(11)
    for _ in range(50):
        bits = rng.getrandbits(200_000 * scale)
        pieces = [b" ; " if bits >> k & 1 else b"; " for k in range(200_000 * scale)]
        f.write(b"t1; " + b"".join(pieces) + b"\n")
    return 2, 2


def write_explain(f, scale):
    """1,000,000 lines of 1 to 5 tags, about 30 MB, from a vocabulary of 50,000 names
    drawn with Zipf-like frequencies, each name brought in once by the first lines: an
    export far past tagtree's limits, the file tagtree-explain is for. tagtree fails at
    its 101st distinct tag; tagtree-explain reads it all."""
    rng = random.Random(17)
    names = [f"tag{k:05d}".encode() for k in range(50_000 * scale)]
    weights = list(itertools.accumulate(1.0 / (k + 1) for k in range(len(names))))
    lines = []
    for j in range(1_000_000 * scale):
        line = rng.choices(names, cum_weights=weights, k=rng.randint(1, 5))
        if j < len(names):
            line[0] = names[j]
        lines.append(b"; ".join(line))
        if len(lines) == 100_000:
            f.write(b"\n".join(lines) + b"\n")
            lines = []
    f.write(b"".join(line + b"\n" for line in lines))
    return sum(len(name) for name in names), 8


def write_uniform_export(f, scale):
    """900,000 lines of 3 tags, about 27 MB, from a vocabulary of 50,000 names drawn
    uniformly, each name brought in once by the first lines: no name is much more frequent
    than another, so the lookups of a line seldom find their entries in the cache."""
    rng = random.Random(19)
    names = [f"tag{k:05d}".encode() for k in range(50_000 * scale)]
    lines = []
    for j in range(900_000 * scale):
        line = [names[rng.randrange(len(names))] for _ in range(3)]
        if j < len(names):
            line[0] = names[j]
        lines.append(b"; ".join(line))
        if len(lines) == 100_000:
            f.write(b"\n".join(lines) + b"\n")
            lines = []
    f.write(b"".join(line + b"\n" for line in lines))
    return sum(len(name) for name in names), 8


def write_large_vocabulary(f, scale):
    """1,000,000 lines of 1 to 5 tags, about 33 MB, from a vocabulary of 200,000 names of 12
    bytes drawn with Zipf-like frequencies: four times the names of explain, each longer
    than the 8 bytes a name's entry holds, so that a match is confirmed by its bytes."""
    rng = random.Random(21)
    names = [f"subject{k:05d}".encode() for k in range(200_000 * scale)]
    weights = list(itertools.accumulate(1.0 / (k + 1) for k in range(len(names))))
    lines = []
    for j in range(1_000_000 * scale):
        line = rng.choices(names, cum_weights=weights, k=rng.randint(1, 5))
        if j < len(names):
            line[0] = names[j]
        lines.append(b"; ".join(line))
        if len(lines) == 100_000:
            f.write(b"\n".join(lines) + b"\n")
            lines = []
    f.write(b"".join(line + b"\n" for line in lines))
    return sum(len(name) for name in names), 12


TREE_NAMES = 200_000  # the distinct tags of the --tree inputs below


def tree_names(scale):
    return [f"tag{k:06d}".encode() for k in range(TREE_NAMES * scale)]


def write_wide_line(f, scale):
    """One line of 200,000 distinct tags, about 2 MB: every tag shares its line with every
    other, so that trying every pair of tags would take 2 * 10^10 steps."""
    names = tree_names(scale)
    f.write(b"; ".join(names) + b"\n")
    return sum(len(name) for name in names), len(names[0])


def write_four_a_line(f, scale):
    """The same 200,000 tags, four a line on 50,000 lines: the size of the wide line to
    within 3 %, each pair of tags sharing a line at most once."""
    names = tree_names(scale)
    f.write(b"".join(b"; ".join(names[k:k + 4]) + b"\n" for k in range(0, len(names), 4)))
    return sum(len(name) for name in names), len(names[0])


def write_crowded(f, scale):
    """A bookmarks export of 50,000 product URLs of one shop, about 5 MB, each with two
    topic tags from a set of 12: the URLs differ only in a fixed-width id in their middle,
    so that they are alike in their first and last 32 bytes and their length, and share
    one key in the name index. tagtree-explain reads it all."""
    rng = random.Random(23)
    topics = [b"garden", b"kitchen", b"tools", b"outdoor", b"lighting", b"storage",
              b"textiles", b"office", b"kids", b"pets", b"bath", b"gifts"]
    ids = rng.sample(range(10_000_000), 50_000 * scale)
    urls = [f"https://shop.example/products/item-{k:07d}?ref=bookmarks-export-2026"
            f"&utm_medium=bookmarks".encode() for k in ids]
    lines = [b"; ".join([url] + rng.sample(topics, 2)) + b"\n" for url in urls]
    f.write(b"".join(lines))
    return sum(len(url) for url in urls) + sum(len(topic) for topic in topics), len(urls[0])


def write_crowded_control(f, scale):
    """The control of crowded: 50,000 random names of the URLs' length, each with two
    topic tags."""
    rng = random.Random(23)
    topics = [b"garden", b"kitchen", b"tools", b"outdoor", b"lighting", b"storage",
              b"textiles", b"office", b"kids", b"pets", b"bath", b"gifts"]
    letters = b"abcdefghijklmnopqrstuvwxyz"
    urls = [bytes(rng.choices(letters, k=89)) for _ in range(50_000 * scale)]
    f.write(b"".join(b"; ".join([url] + rng.sample(topics, 2)) + b"\n" for url in urls))
    return sum(len(url) for url in urls) + sum(len(topic) for topic in topics), 89


def write_shared_hash(f, scale):
    """200,000 names of 16 bytes made to share the whole hash as it would be without a
    seed (bench/hostile_names.cc, built here with g++), each 4 times, a line each: the
    seed each run draws leaves them nothing in common."""
    with tempfile.TemporaryDirectory(prefix="tagtree-hostile-") as work:
        helper = os.path.join(work, "hostile_names")
        subprocess.run(["g++", "-O2", "-std=c++20", "-I", os.path.join(SOURCE, "src"),
                        os.path.join(SOURCE, "bench", "hostile_names.cc"),
                        os.path.join(SOURCE, "src", "pipeline", "name_hash.cc"), "-o", helper],
                       check=True)
        names = subprocess.run([helper, "hash", str(200_000 * scale), "31"], check=True,
                               stdout=subprocess.PIPE).stdout.split(b"\n")[:200_000 * scale]
    f.write(b"".join(name + b"\n" for name in names) * 4)
    return 16 * len(names), 16


def write_shared_hash_control(f, scale):
    """The control of shared hash: 200,000 random names of 16 bytes, each 4 times."""
    rng = random.Random(31)
    letters = b"abcdefghijklmnopqrstuvwxyz"
    names = [bytes(rng.choices(letters, k=16)) for _ in range(200_000 * scale)]
    f.write(b"".join(name + b"\n" for name in names) * 4)
    return 16 * len(names), 16


def random_names(f, count, length, seed):
    """`count` lines of one random name of `length` lowercase letters each: the control of a
    hostile input of the same size and shape, whose names have nothing in common."""
    rng = random.Random(seed)
    letters = b"abcdefghijklmnopqrstuvwxyz"
    f.write(b"".join(bytes(rng.choices(letters, k=length)) + b"\n" for _ in range(count)))
    return count * length, length


def write_case_variants(f, scale):
    """12,000 spellings of one 14-letter name in upper and lower case, a line each: one
    group of alike tags, which a report must not list once for each of its members."""
    rng = random.Random(29)
    base = "photographyfun"
    variants = set()
    while len(variants) < 12_000 * scale:
        variants.add("".join(c.upper() if rng.random() < 0.5 else c for c in base))
    f.write("".join(v + "\n" for v in sorted(variants)).encode())
    return 15 * len(variants), 14


def write_case_variants_control(f, scale):
    return random_names(f, 12_000 * scale, 14, 31)


def write_alike_pairs(f, scale):
    """100,000 pairs of tags alike but for letter case, a line each: 100,000 groups."""
    f.write(b"".join(f"Name{k:06d}\nname{k:06d}\n".encode() for k in range(100_000 * scale)))
    return 20 * 100_000 * scale, 10


def write_alike_pairs_control(f, scale):
    return random_names(f, 200_000 * scale, 10, 37)


def write_blank_lines(f, scale):
    """One tag, then 5,000,000 blank lines: one run of lines, which a report must tell
    as one."""
    f.write(b"a\n" + b"\n" * (5_000_000 * scale))
    return 1, 1


def write_blank_lines_control(f, scale):
    return random_names(f, 2_500_000 * scale, 1, 41)


def write_distinct(f, scale):
    """1,000,000 distinct names, a line each, about 11 MB: every one occurs once."""
    f.write(b"".join(f"t{k:09d}\n".encode() for k in range(1_000_000 * scale)))
    return 10 * 1_000_000 * scale, 10


def write_distinct_control(f, scale):
    return random_names(f, 1_000_000 * scale, 10, 43)


# The hostile shapes of a report, each with a control of random names of the same size,
# in each form of the report.
HOSTILE = [
    ("case variants", write_case_variants, write_case_variants_control),
    ("alike pairs", write_alike_pairs, write_alike_pairs_control),
    ("blank lines", write_blank_lines, write_blank_lines_control),
    ("distinct names", write_distinct, write_distinct_control),
]
FORMS = ["text", "gnu", "json"]

# (name, generator, scale, outcome[, arguments]); the doubled inputs show how time and
# memory grow. A line of more than 50 tags fails whatever follows: those inputs need only
# stay linear.
INPUTS = [
    ("typical", write_typical, 1, "succeeds"),
    ("long names", write_long_names, 1, "succeeds"),
    ("long names x2", write_long_names, 2, "succeeds"),
    ("long names alike", write_long_names_alike, 1, "succeeds"),
    ("long names CR", with_cr_line_ends(write_long_names), 1, "succeeds"),
    ("long names alike CR", with_cr_line_ends(write_long_names_alike), 1, "succeeds"),
    ("skipped words", write_skipped_words, 1, "succeeds"),
    ("skipped words x2", write_skipped_words, 2, "succeeds"),
    ("semicolon-dense", write_semicolon_dense, 1, "succeeds"),
    ("semicolon-dense CR", with_cr_line_ends(write_semicolon_dense), 1, "succeeds"),
    ("skipped mix", write_skipped_mix, 1, "succeeds"),
    ("repeats", write_repeats, 1, "fails"),
    ("repeats x2", write_repeats, 2, "fails"),
    ("alternating", write_alternating, 1, "fails"),
    ("alternating x2", write_alternating, 2, "fails"),
    ("random words", write_random_words, 1, "fails"),
    ("random words x2", write_random_words, 2, "fails"),
    ("explain", write_explain, 1, "explains"),
    ("explain --tree", write_explain, 1, "explains", ["--tree"]),
    ("uniform export", write_uniform_export, 1, "explains"),
    ("uniform export --tree", write_uniform_export, 1, "explains", ["--tree"]),
    ("large vocabulary", write_large_vocabulary, 1, "explains"),
    ("large vocabulary --tree", write_large_vocabulary, 1, "explains", ["--tree"]),
    ("crowded", write_crowded, 1, "explains"),
    ("crowded control", write_crowded_control, 1, "explains"),
    ("shared hash", write_shared_hash, 1, "explains"),
    ("shared hash control", write_shared_hash_control, 1, "explains"),
    ("wide line --tree", write_wide_line, 1, "explains", ["--tree"]),
    ("four a line --tree", write_four_a_line, 1, "explains", ["--tree"]),
] + [
    (f"{shape}{control} {form}", generate, 1, "explains", [f"--format={form}"])
    for shape, hostile, control_of in HOSTILE
    for control, generate in (("", hostile), (" control", control_of))
    for form in FORMS
]

# (row, what, bound, over): for what "wc", the median time of the row is at most `bound`
# times wc -l's in the same rounds (the median ratio); for "time" and "rss", its median
# time or peak RSS at most `bound` times that of the row `over`; for "output", the bytes it
# writes at most `bound` times the input's, or three times those of the row `over`; for
# "baseline", its median ratio to wc -l at most `bound` times that of the binary named by
# --baseline on the same row, in the same run.
TARGETS = [
    (row, "wc", 15, None)
    for row in ("explain", "explain --tree", "uniform export", "uniform export --tree",
                "large vocabulary", "large vocabulary --tree")
] + [
    (row, "baseline", 1.1, None)
    for row in ("long names", "long names alike", "semicolon-dense", "long names CR",
                "long names alike CR", "semicolon-dense CR")
] + [
    ("crowded", "time", 3, "crowded control"),
    ("shared hash", "time", 3, "shared hash control"),
    ("wide line --tree", "time", 3, "four a line --tree"),
] + [
    target
    for shape, _, _ in HOSTILE
    for form in FORMS
    for target in (
        # On the distinct names, the control is the same file but for the names: the
        # text form on the file itself is the mark.
        (f"{shape} {form}", "time", 4, f"{shape} text") if shape == "distinct names"
        else (f"{shape} {form}", "time", 3, f"{shape} control {form}"),
        (f"{shape} {form}", "rss", 2,
         f"{shape} text" if shape == "distinct names" else f"{shape} control text"),
        (f"{shape} {form}", "output", 10, f"{shape} control {form}"),
    )
]


def run_once(argv, cwd):
    """Runs argv in cwd with stdout to /dev/null; returns the wall time in seconds."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(
            argv[0],
            argv,
            os.environ,
            file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)],
        )
        _, status = os.waitpid(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.close(devnull)
    code = os.waitstatus_to_exitcode(status)
    if code < 0:
        sys.exit(f"{argv[0]} died of signal {-code} in {cwd}")
    return elapsed


def peak_rss_kib(argv, cwd):
    """Runs argv once under GNU time; returns its peak RSS in KiB and the bytes it wrote to
    standard output."""
    with tempfile.NamedTemporaryFile("r") as report, tempfile.TemporaryFile() as out:
        subprocess.run([GNU_TIME, "-f", "%M", "-o", report.name] + argv, cwd=cwd,
                       stdout=out, check=False)
        return int(report.read().split()[-1]), out.seek(0, os.SEEK_END)


def outcome_of(argv, directory):
    """Runs tagtree once and returns "succeeds" or "fails"; or tagtree-explain, and returns
    "explains" when it reports on the file (status 0 or 1)."""
    program = argv[0]
    result = subprocess.run(argv, cwd=directory, stdout=subprocess.DEVNULL, check=False)
    if os.path.basename(program) == EXPLAIN:
        return "explains" if result.returncode in (0, 1) else "fails"
    return "succeeds" if result.returncode == 0 else "fails"


def measure(binaries, arguments, wc, directory, runs):
    """Runs wc and each tagtree, with `arguments`, in turn, `runs` rounds; returns, for
    each tagtree, its times, the ratio to wc of each round, its peak RSS in KiB with the
    bytes of its output, and its outcome, and wc's times."""
    cwd = os.getcwd()
    os.chdir(directory)
    try:
        # The warm-up also brings the file into the page cache.
        outcomes = [outcome_of([binary] + arguments, directory) for binary in binaries]
        run_once([wc, "-l", "files.in"], directory)
        times = [[] for _ in binaries]
        ratios = [[] for _ in binaries]
        wc_times = []
        for _ in range(runs):
            w = run_once([wc, "-l", "files.in"], directory)
            wc_times.append(w)
            for k, binary in enumerate(binaries):
                t = run_once([binary] + arguments, directory)
                times[k].append(t)
                ratios[k].append(t / w)
        rss = [peak_rss_kib([binary] + arguments, directory) for binary in binaries]
    finally:
        os.chdir(cwd)
    return times, ratios, rss, outcomes, wc_times


def human_size(size):
    if size >= MIB:
        return f"{size / MIB:.1f} MiB"
    if size >= KIB:
        return f"{size / KIB:.1f} KiB"
    return f"{size} B"


def human_time(seconds):
    return f"{seconds * 1000:.1f} ms" if seconds < 10 else f"{seconds:.2f} s"


def build_release(source):
    subprocess.run(["cmake", "--workflow", "--preset", "release"], cwd=source, check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(source, "build", "release", "tagtree")


def machine_line():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{os.cpu_count()} CPUs ({model})"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", action="append",
                        help="a tagtree to measure, as PATH or LABEL=PATH; give it again to "
                        "compare several in the same run (default: build the release preset)")
    parser.add_argument("--runs", type=int, default=7, help="timed runs of each program")
    parser.add_argument("--only", help="comma-separated input names to run")
    parser.add_argument("--baseline", help="the LABEL of a --binary that the targets of kind "
                        "baseline compare the others with")
    args = parser.parse_args()

    source = SOURCE
    binaries = []  # (label, path)
    for given in args.binary or []:
        label, _, path = given.rpartition("=")
        binaries.append((label or os.path.basename(path), os.path.abspath(path)))
    if not binaries:
        binaries.append(("tagtree", build_release(source)))
    wc = shutil.which("wc")
    if not os.access(GNU_TIME, os.X_OK):
        sys.exit(f"{GNU_TIME} is missing: apt-get install -y time")
    inputs = INPUTS
    if args.only:
        wanted = {name.strip() for name in args.only.split(",")}
        inputs = [entry for entry in INPUTS if entry[0] in wanted]

    compared = len(binaries) > 1
    print(f"Machine: {machine_line()}; {args.runs} runs each after a warm-up.\n")
    print("| input |" + (" binary |" if compared else "") +
          " outcome | size | tagtree | wc -l | tagtree/wc | tagtree peak RSS | allowance |")
    print("|---|" + ("---|" if compared else "") + "---|---:|---:|---:|---:|---:|---:|")
    medians = {}  # (input, binary label): (median time, median ratio to wc, RSS, output, size)
    with tempfile.TemporaryDirectory(prefix="tagtree-bench-") as root:
        for name, generate, scale, expected, *arguments in inputs:
            arguments = arguments[0] if arguments else []
            directory = os.path.join(root, name.replace(" ", "-"))
            os.mkdir(directory)
            path = os.path.join(directory, "files.in")
            with open(path, "wb") as f:
                names, longest = generate(f, scale)
            size = os.path.getsize(path)
            # A run on a small input lasts about a millisecond: take more of them.
            runs = args.runs if size >= MIB else 10 * args.runs
            programs = [os.path.join(os.path.dirname(path), EXPLAIN) if expected == "explains"
                        else path for _, path in binaries]
            times, ratios, rss, outcomes, wc_times = measure(programs, arguments, wc, directory,
                                                             runs)
            median = statistics.median
            for k, (label, _) in enumerate(binaries):
                if outcomes[k] != expected:
                    sys.exit(f"{name}: {label} {outcomes[k]}, but the input is made so that it "
                             f"{expected}")
                medians[name, label] = (median(times[k]), median(ratios[k]), rss[k][0],
                                        rss[k][1], size)
                print(f"| {name} |" + (f" {label} |" if compared else "") +
                      f" {outcomes[k]} | {human_size(size)} | "
                      f"{human_time(median(times[k]))} | {human_time(median(wc_times))} | "
                      f"{median(ratios[k]):.2f} ({min(ratios[k]):.2f}–{max(ratios[k]):.2f}) | "
                      f"{human_size(rss[k][0] * KIB)} | {human_size(16 * MIB + names + longest)} |",
                      flush=True)
            shutil.rmtree(directory)  # keep at most one input on disk
    print_targets(medians, [label for label, _ in binaries], args.baseline)


def print_targets(medians, labels, baseline):
    """Prints each target whose rows were measured, for each binary: its figure, its
    bound, and whether it is met."""
    lines = []
    for row, what, bound, over in TARGETS:
        for label in labels:
            if (row, label) not in medians or (over and (over, label) not in medians):
                continue
            if what == "baseline" and (label == baseline or (row, baseline) not in medians):
                continue
            time_, ratio, rss, output, size = medians[row, label]
            if what == "baseline":
                figure = ratio / medians[row, baseline][1]
                met = figure <= bound
                text = f"{row}: {figure:.2f} times {baseline}'s ratio to wc -l, within {bound}"
            elif what == "wc":
                met = ratio <= bound
                text = f"{row}: {ratio:.2f} times wc -l, within {bound}"
            elif what == "time":
                figure = time_ / medians[over, label][0]
                met = figure <= bound
                text = f"{row}: {figure:.2f} times the time of {over}, within {bound}"
            elif what == "rss":
                figure = rss / medians[over, label][2]
                met = figure <= bound
                text = f"{row}: {figure:.2f} times the peak RSS of {over}, within {bound}"
            else:  # output: against the input, or three times the control's
                against_control = output / max(1, medians[over, label][3])
                met = output <= bound * size or against_control <= 3
                text = (f"{row}: output {human_size(output)}, {output / size:.2f} times the "
                        f"input (within {bound}) or {against_control:.2f} times {over}'s "
                        f"(within 3)")
            met = "met" if met else "NOT MET"
            lines.append(f"- {text}: {met}" + (f" ({label})" if len(labels) > 1 else ""))
    if lines:
        print("\nTargets:")
        print("\n".join(lines))


if __name__ == "__main__":
    main()
