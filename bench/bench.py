#!/usr/bin/env python3
"""Runs the tool as a whole process on generated workloads, beside a baseline, and writes RESULTS.md.

Started by bench/run_bench.sh (./run bench), which builds what it needs first. The workloads are laid
out once per bench run in a temporary folder from a fixed seed, and every single run gets a fresh copy
of its tree, so that no run finds the page cache or the directory of an earlier one in a state the
others did not have.

  W1 large list: 50,000 listed files in 5,000 directories (data/setNN/packNNN, ten files each), every
     name in mixed case on disk, the list lowercased with "\\" separators as the product writes it,
     grouped by directory; the fixed files are there too. Baseline: the shell making the same
     deletions: `xargs -0 rm -f` over the real names (the list and the fixed files included), then
     `find -depth -type d -empty -delete` over the directories the tool records (the first 128
     distinct directories of the list) and GameGuard. Both must leave the same tree.
  W2 big tree: one listed file in a directory holding 20,000 subdirectories, so that the directory
     table fills. Baseline: `find` over the same tree (rm -f of the file, then find -type d).
  W3 nothing to do: no list and none of the fixed files. Baseline: /bin/true.
  W1 on disk: W1 again, with each fresh copy written out to disk (sync) before its run.

Each workload: one warm-up pair, then PAIRS pairs of one tool run and one baseline run, their order
alternating from pair to pair. Reported: medians, the median of the per-pair ratios tool/baseline,
peak resident memory (GNU time %M, on one extra run), system calls (strace -c -f, on one extra
run each). The Windows build runs under Wine the same way on W1 and W3.
"""

import argparse
import copy
import datetime
import json
import os
import platform
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SEED = 20261211
SLOTS = 128  # the directory table's slots
WINE_SLICE = 1000  # list lines of the Wine system-call count

FIXED_FILES = [
    "oxqt.exe", "wxqt.exe", "oxqd.dll", "oxqt.s", "oxqd.s",
    "GameGuard/category.tsf", "GameGuard/daily.tsf", "GameGuard/GameGuard.ver", "GameGuard/GameMon.des",
    "GameGuard/Tessaroval.ini", "GameGuard/npgg.erl", "GameGuard/npgg9x.des", "GameGuard/npggNT.des",
    "GameGuard/npgl.erl", "GameGuard/npgm.erl", "GameGuard/npgmup.des", "GameGuard/npgmup.des.new",
    "GameGuard/npgmup.erl", "GameGuard/npsc.des", "GameGuard/npsc.erl", "GameGuard/pppp.txt",
    "GameGuard/Splash.jpg", "GameGuard/teas.dll", "GameGuard/teas.tls", "GameGuard/teasbase.tsf",
    "GameGuard/teasname.tsf", "GameGuard/TeCtrl.dll", "GameGuard/TyAv32.dll", "GameGuard/tyavd.tsf",
    "GameGuard/tyavn.tsf", "GameGuard/ggscan.des",
]

WORDS = ["texture", "model", "sound", "script", "shader", "level", "map", "font", "anim", "icon"]
EXTENSIONS = ["dat", "pak", "bin", "ogg", "png", "txt"]

BASELINE_W1 = """#!/bin/sh
# The same deletions by the shell: $1 the program directory, $2 the real names, $3 the directories.
cd "$1" || exit 1
xargs -0 rm -f < "$2"
xargs -0 sh -c 'exec find "$@" -depth -type d -empty -delete' find < "$3"
"""

BASELINE_W2 = """#!/bin/sh
# find over the same tree: $1 the program directory, $2 the listed file, $3 the big directory.
cd "$1" || exit 1
rm -f "$2"
exec find "$3" -type d > /dev/null
"""


def mixed(rng, text):
    return "".join(c.upper() if rng.random() < 0.5 else c.lower() for c in text)


def folded_key(name):
    """The tool's order of names: ASCII case folded first, then the bytes."""
    return (name.lower(), name)


def write_file(path, data=b""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def lay_fixed_files(prog):
    for rel in FIXED_FILES:
        write_file(os.path.join(prog, rel), b"fixed")


# ---------------------------------------------------------------------------------------------- workloads

class Workload:
    def __init__(self, key, title, root):
        self.key = key
        self.title = title
        self.root = root                      # area/<key>
        self.template = os.path.join(root, "tmpl")
        self.listed_files = 0
        self.listed_dirs = 0
        self.tree_dirs = 0
        self.baseline_text = ""
        self.baseline_args = []               # after the run folder's prog path
        self.settle = False                   # write each fresh copy out to disk before the run

    def prog(self, run_dir):
        return os.path.join(run_dir, "prog")


def make_w1(area, rng):
    w = Workload("W1", "large list", os.path.join(area, "w1"))
    prog = os.path.join(w.template, "prog")
    os.makedirs(os.path.join(w.template, "elsewhere"))
    data = mixed(rng, "data")
    real_names = []
    lines = []
    dirs_in_order = []
    for s in range(50):
        set_dir = mixed(rng, "set%02d" % s)
        for p in range(100):
            pack_dir = mixed(rng, "pack%03d" % p)
            rel_dir = "/".join([data, set_dir, pack_dir])
            os.makedirs(os.path.join(prog, rel_dir))
            dirs_in_order.append(rel_dir)
            for f in range(10):
                number = (s * 100 + p) * 10 + f
                name = mixed(rng, "%s_%05d.%s" % (rng.choice(WORDS), number, rng.choice(EXTENSIONS)))
                write_file(os.path.join(prog, rel_dir, name), b"x")
                real_names.append(rel_dir + "/" + name)
                lines.append((rel_dir + "/" + name).lower().replace("/", "\\"))
    lay_fixed_files(prog)
    write_file(os.path.join(prog, "XQTUP.TMP"), "".join(line + "\n" for line in lines).encode())
    # The tool records the first SLOTS distinct directories of the list; those and GameGuard are the
    # baseline's directories.
    recorded = dirs_in_order[:SLOTS]
    names0 = os.path.join(w.root, "names0")
    dirs0 = os.path.join(w.root, "dirs0")
    write_file(names0, b"".join(n.encode() + b"\0" for n in real_names + ["XQTUP.TMP"] + FIXED_FILES))
    write_file(dirs0, b"".join(d.encode() + b"\0" for d in recorded + ["GameGuard"]))
    w.listed_files = len(lines)
    w.listed_dirs = len(dirs_in_order)
    w.tree_dirs = len(dirs_in_order) + 50 + 1 + 1
    w.baseline_text = BASELINE_W1
    w.baseline_args = [names0, dirs0]
    return w


def on_disk(w):
    """The same workload with every copy written out to disk before its run."""
    d = copy.copy(w)
    d.key = w.key + " on disk"
    d.title = w.title + ", files on disk"
    d.settle = True
    return d


def make_w2(area, rng):
    w = Workload("W2", "big tree", os.path.join(area, "w2"))
    prog = os.path.join(w.template, "prog")
    os.makedirs(os.path.join(w.template, "elsewhere"))
    big = mixed(rng, "bigtree")
    subdirs = [mixed(rng, "sub%05d" % i) for i in range(20000)]
    for name in subdirs:
        os.makedirs(os.path.join(prog, big, name))
    readme = mixed(rng, "readme.txt")
    write_file(os.path.join(prog, big, readme), b"x")
    write_file(os.path.join(prog, "XQTUP.TMP"), (big + "\\" + readme).lower().encode() + b"\n")
    w.listed_files = 1
    w.listed_dirs = 1
    w.tree_dirs = len(subdirs) + 1
    w.baseline_text = BASELINE_W2
    w.baseline_args = [big + "/" + readme, big]
    w.big = big
    # The scan records the big directory, then its subdirectories in the tool's order until the table is
    # full; it enters every one it recorded while the table still had room.
    ordered = sorted(subdirs, key=folded_key)
    w.recorded_subdirs = ordered[:SLOTS - 1]
    w.entered_subdirs = ordered[:SLOTS - 2]
    return w


def make_w3(area):
    w = Workload("W3", "nothing to do", os.path.join(area, "w3"))
    os.makedirs(os.path.join(w.template, "prog"))
    os.makedirs(os.path.join(w.template, "elsewhere"))
    w.baseline_text = None
    return w


# ------------------------------------------------------------------------------------------------ running

class Result:
    def __init__(self, ms, cpu_ms, code):
        self.ms = ms
        self.cpu_ms = cpu_ms
        self.code = code


def spawn_timed(argv, cwd, env=None):
    """Runs argv to its end; wall time from the spawn to the reaping."""
    devnull = os.open(os.devnull, os.O_RDWR)
    actions = [(os.POSIX_SPAWN_DUP2, devnull, 0), (os.POSIX_SPAWN_DUP2, devnull, 1),
               (os.POSIX_SPAWN_DUP2, devnull, 2)]
    here = os.getcwd()
    os.chdir(cwd)
    try:
        start = time.perf_counter_ns()
        pid = os.posix_spawn(argv[0], argv, env if env is not None else os.environ, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        end = time.perf_counter_ns()
    finally:
        os.chdir(here)
        os.close(devnull)
    return Result((end - start) / 1e6, (usage.ru_utime + usage.ru_stime) * 1e3, os.waitstatus_to_exitcode(status))


def fresh_copy(w, name):
    """A fresh copy of the workload's tree. What the last run and its clean-up left to write is written
    out first, so that each copy starts from a quiet disk. The copy itself stays in the page cache
    unless the workload is one of files on disk (settle), whose copy is written out too: deleting
    files that are on disk costs the file system and the disk far more than deleting cached ones, and
    dilutes what the tool itself costs."""
    run_dir = os.path.join(w.root, name)
    remove_tree(run_dir)
    os.sync()
    subprocess.run(["cp", "-a", w.template, run_dir], check=True)
    if w.settle:
        os.sync()
    return run_dir


def remove_tree(path):
    if os.path.lexists(path):
        subprocess.run(["rm", "-rf", path], check=True)


def tree_of(run_dir, exe_names=("xqti", "xqti.exe", "scan_probe")):
    """The relative paths below run_dir/prog, without the executable copied in."""
    prog = os.path.join(run_dir, "prog")
    paths = set()
    for dirpath, dirnames, filenames in os.walk(prog):
        for name in dirnames + filenames:
            rel = os.path.relpath(os.path.join(dirpath, name), prog)
            if rel not in exe_names:
                paths.add(rel)
    return paths


class Subject:
    """One side of a pair: how to prepare a fresh copy and what to start in it."""

    def __init__(self, label, prepare, argv, env=None):
        self.label = label
        self.prepare = prepare      # run_dir -> None (copies the executable in)
        self.argv = argv            # run_dir -> argv
        self.env = env


def native_tool(exe, tail):
    def prepare(run_dir):
        shutil.copy2(exe, os.path.join(run_dir, "prog", "xqti"))

    return Subject("native tool", prepare, lambda d: [os.path.join(d, "prog", "xqti"), tail])


def baseline(w):
    if w.baseline_text is None:
        return Subject("/bin/true", lambda d: None, lambda d: ["/bin/true"])
    script = os.path.join(w.root, "baseline.sh")
    if not os.path.exists(script):
        write_file(script, w.baseline_text.encode())
    sh = shutil.which("sh")
    return Subject("shell", lambda d: None, lambda d: [sh, script, os.path.join(d, "prog")] + w.baseline_args)


def run_subject(w, subject, name):
    run_dir = fresh_copy(w, name)
    subject.prepare(run_dir)
    result = spawn_timed(subject.argv(run_dir), os.path.join(run_dir, "elsewhere"), subject.env)
    return run_dir, result


def measure(w, tool, base, pairs, check):
    """Warm-up pair (its trees checked), then pairs alternating in order. Returns the per-run figures."""
    tool_dir, tool_warm = run_subject(w, tool, "run-tool")
    base_dir, base_warm = run_subject(w, base, "run-base")
    tool_tree = tree_of(tool_dir)
    base_tree = tree_of(base_dir)
    problem = check(tool_tree, base_tree)
    if problem:
        raise SystemExit("%s %s: %s" % (w.key, tool.label, problem))
    remove_tree(tool_dir)
    remove_tree(base_dir)
    tools, bases = [], []
    for i in range(pairs):
        order = [(tool, tools, tool_tree), (base, bases, base_tree)]
        if i % 2:
            order.reverse()
        for subject, results, expected in order:
            run_dir, result = run_subject(w, subject, "run")
            if result.code != 0:
                raise SystemExit("%s %s: exit code %d" % (w.key, subject.label, result.code))
            if tree_of(run_dir) != expected:
                raise SystemExit("%s %s: the run left another tree than the warm-up" % (w.key, subject.label))
            remove_tree(run_dir)
            results.append(result)
        print("   %s pair %d: %s %.1f ms, %s %.1f ms" % (w.key, i + 1, tool.label, tools[-1].ms, base.label,
                                                        bases[-1].ms), flush=True)
    return tools, bases


def summary(tools, bases):
    ratios = [t.ms / b.ms for t, b in zip(tools, bases)]
    return {
        "tool_ms": statistics.median(t.ms for t in tools),
        "base_ms": statistics.median(b.ms for b in bases),
        "ratio": statistics.median(ratios),
        "ratios": ratios,
        "tool_runs": [t.ms for t in tools],
        "base_runs": [b.ms for b in bases],
        "tool_cpu": statistics.median(t.cpu_ms for t in tools),
        "base_cpu": statistics.median(b.cpu_ms for b in bases),
    }


# ---------------------------------------------------------------------------------------------- strace

def strace_counts(w, subject, name, lines=None):
    """System calls of one run by strace -c -f: {syscall: calls}, with 'total'. With lines, the list is
    cut to its first that many lines first."""
    run_dir = fresh_copy(w, name)
    subject.prepare(run_dir)
    if lines is not None:
        list_path = os.path.join(run_dir, "prog", "XQTUP.TMP")
        with open(list_path, "rb") as f:
            kept = b"".join(f.readlines()[:lines])
        with open(list_path, "wb") as f:
            f.write(kept)
    out = os.path.join(w.root, name + ".strace")
    argv = [shutil.which("strace"), "-c", "-f", "-o", out, "--"] + subject.argv(run_dir)
    spawn_timed(argv, os.path.join(run_dir, "elsewhere"), subject.env)
    remove_tree(run_dir)
    counts = {}
    with open(out) as f:
        for line in f:
            tokens = line.split()
            if len(tokens) < 5 or not re.match(r"^[\d.]+$", tokens[0]):
                continue
            if tokens[-1] == "total":
                counts["total"] = int(tokens[3])
            else:
                counts[tokens[-1]] = int(tokens[3])
    return counts


def peak_rss(w, subject, name):
    """Peak resident memory of one run in KiB: GNU time's %M (ru_maxrss of its child by wait4). The
    timed runs cannot give it: they are spawned from this process with vfork, whose memory the kernel
    counts into the child's peak."""
    run_dir = fresh_copy(w, name)
    subject.prepare(run_dir)
    out = os.path.join(w.root, name + ".rss")
    argv = ["/usr/bin/time", "-f", "%M", "-o", out, "--"] + subject.argv(run_dir)
    spawn_timed(argv, os.path.join(run_dir, "elsewhere"), subject.env)
    remove_tree(run_dir)
    with open(out) as f:
        return int(f.read().split()[-1])


def listings(w, subject, name):
    """getdents64 by directory for one run (strace -f -y): {path: completed listings}, and calls."""
    run_dir = fresh_copy(w, name)
    subject.prepare(run_dir)
    out = os.path.join(w.root, name + ".dents")
    argv = [shutil.which("strace"), "-f", "-y", "-e", "trace=getdents64", "-o", out, "--"] + subject.argv(run_dir)
    spawn_timed(argv, os.path.join(run_dir, "elsewhere"), subject.env)
    remove_tree(run_dir)
    prog = os.path.join(run_dir, "prog")
    done = {}
    calls = 0
    pattern = re.compile(r"getdents64\(\d+<([^>]*)>.*\)\s+=\s+(-?\d+)")
    with open(out) as f:
        for line in f:
            m = pattern.search(line)
            if not m:
                continue
            calls += 1
            path = os.path.relpath(m.group(1), prog)
            done.setdefault(path, 0)
            if m.group(2) == "0":
                done[path] += 1
    return done, calls


def probe_scan(w, probe, tail):
    run_dir = fresh_copy(w, "run-probe")
    shutil.copy2(probe, os.path.join(run_dir, "prog", "scan_probe"))
    done = subprocess.run([os.path.join(run_dir, "prog", "scan_probe"), tail], capture_output=True, text=True,
                          cwd=os.path.join(run_dir, "elsewhere"), check=True)
    remove_tree(run_dir)
    return {k: int(v) for k, v in (line.split() for line in done.stdout.splitlines())}


# ------------------------------------------------------------------------------------------------- Wine

class Wine:
    """The Windows build under wine64 with a prefix of its own whose T: is the bench area."""

    def __init__(self, prefix, area, launcher):
        self.area = area
        self.wine = "/usr/lib/wine/wine64"
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        if not os.path.isdir(os.path.join(prefix, "drive_c")):
            print("== creating the Wine prefix %s" % prefix, flush=True)
            subprocess.run([self.wine, "wineboot", "-i"], env=self.env, capture_output=True, timeout=600,
                           check=True)
        dosdevices = os.path.join(prefix, "dosdevices")
        for name in os.listdir(dosdevices):
            if name != "c:":
                os.remove(os.path.join(dosdevices, name))
        os.symlink(area, os.path.join(dosdevices, "t:"))
        self.launcher = os.path.join(area, "xqti-launch.exe")
        shutil.copy2(launcher, self.launcher)
        subprocess.Popen(["wineserver", "-p"], env=self.env).wait()
        subprocess.run([self.wine, "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)

    def windows_path(self, path):
        return "T:\\" + os.path.relpath(path, self.area).replace("/", "\\")

    def tool(self, exe, tail, label="Windows tool (wine64)"):
        def prepare(run_dir):
            shutil.copy2(exe, os.path.join(run_dir, "prog", "xqti.exe"))

        def argv(run_dir):
            line = '"%s"' % self.windows_path(os.path.join(run_dir, "prog", "xqti.exe"))
            return [self.wine, self.launcher, line + (" " + tail if tail else "")]

        return Subject(label, prepare, argv, self.env)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)


# ------------------------------------------------------------------------------------------------ report

def machine(area):
    model = ""
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    fs = subprocess.run(["findmnt", "-n", "-o", "FSTYPE,SOURCE,OPTIONS", "--target", area], capture_output=True,
                        text=True).stdout.strip() or "unknown"
    mem = ""
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal"):
                mem = "%.1f GiB" % (int(line.split()[1]) / 1048576)
    distro = ""
    if os.path.exists("/etc/os-release"):
        with open("/etc/os-release") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    distro = line.split("=", 1)[1].strip().strip('"')
    return [
        ("CPU", "%s, %d cores (%d usable by this process)" % (model, os.cpu_count(), len(os.sched_getaffinity(0)))),
        ("Memory", mem),
        ("Kernel", "%s %s" % (platform.system(), platform.release())),
        ("System", distro),
        ("Bench area", "%s (file system: %s)" % (area, fs)),
    ]


def fmt_ms(ms):
    return "%.1f ms" % ms if ms >= 10 else "%.2f ms" % ms


def verdict(ok):
    return "met" if ok else "**missed**"


def top_calls(counts, n=6):
    items = sorted(((v, k) for k, v in counts.items() if k != "total"), reverse=True)[:n]
    return ", ".join("%s %d" % (k, v) for v, k in items)


def text_bench(binary):
    done = subprocess.run([binary, "--benchmark_format=json", "--benchmark_min_time=0.5"], capture_output=True,
                          text=True, check=True)
    data = json.loads(done.stdout)
    return data.get("context", {}), data.get("benchmarks", [])


def write_results(path, args, info, figures, syscalls, w2_probe, w2_dents, w2_meta, wine_figures, texts,
                  exe_size, notes, wine_notes=()):
    L = []
    add = L.append
    add("# Benchmark results")
    add("")
    add("Written by `./run bench` (bench/run_bench.sh, bench/bench.py) on %s. Seed %d; every run on a fresh copy "
        "of its tree, one warm-up pair, then %d measured pairs per workload (W3: %d, W1 on disk: %d), tool and baseline "
        "alternating in order. Times are wall clock from spawn to reaping; a ratio is the median of the "
        "per-pair ratios tool/baseline; CPU time is user plus system time of the process and its children "
        "(wait4), as a median. Peak memory is GNU time's maximum resident set size (%%M) on one "
        "more run each."
        % (datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), SEED, args.pairs, args.pairs_w3, args.pairs_disk))
    add("")
    add("## Machine")
    add("")
    for k, v in info:
        add("- %s: %s" % (k, v))
    add("")
    add("## Budget (native)")
    add("")
    add("| check | budget | measured | |")
    add("|---|---|---|---|")
    w1, w3 = figures["W1"], figures["W3"]
    add("| W1 large list, tool/baseline | <= 1.5x | %.2fx | %s |" % (w1["ratio"], verdict(w1["ratio"] <= 1.5)))
    enum_ok = w2_meta["enumerations_ok"]
    add("| W2 big tree, enumerations | each directory at most once, none after the table is full | %s | %s |"
        % (w2_meta["enumerations_text"], verdict(enum_ok)))
    add("| W3 nothing to do, wall | <= 5 ms | %s | %s |" % (fmt_ms(w3["tool_ms"]), verdict(w3["tool_ms"] <= 5.0)))
    add("| W1 peak resident memory | <= 8 MiB | %.1f MiB | %s |"
        % (w1["tool_rss"] / 1024, verdict(w1["tool_rss"] <= 8192)))
    if exe_size is not None:
        add("| build/win32/bin/xqti.exe (release) | <= 32 KiB | %.1f KiB (%d bytes) | %s |"
            % (exe_size / 1024, exe_size, verdict(exe_size <= 32768)))
    else:
        add("| build/win32/bin/xqti.exe (release) | <= 32 KiB | not built here | |")
    add("")
    add("## Workloads, native tool (build/native/bin/xqti)")
    add("")
    add("| workload | tool median | baseline | baseline median | ratio | CPU time, tool / baseline | tool peak RSS | "
        "baseline peak RSS |")
    add("|---|---|---|---|---|---|---|---|")
    for key, title, base in (("W1", "large list: 50,000 files in 5,000 directories", "xargs rm -f + find -delete"),
                             ("W2", "big tree: 1 file, 20,000 subdirectories", "rm -f + find -type d"),
                             ("W3", "nothing to do", "/bin/true"),
                             ("W1 on disk", "the same, each copy written to disk first", "xargs rm -f + find -delete")):
        f = figures[key]
        rss = ("%.1f MiB" % (f["tool_rss"] / 1024), "%.1f MiB" % (f["base_rss"] / 1024)) if "tool_rss" in f else ("-", "-")
        add("| %s %s | %s | %s | %s | %.2fx | %s / %s | %s | %s |"
            % (key, title, fmt_ms(f["tool_ms"]), base, fmt_ms(f["base_ms"]), f["ratio"], fmt_ms(f["tool_cpu"]),
               fmt_ms(f["base_cpu"]), rss[0], rss[1]))
    add("")
    add("W1 is measured on copies still in the page cache, where the deletions themselves are cheap and "
        "the tool's own work shows most; that is the figure the budget holds. W1 on disk writes each copy "
        "out (sync) before its run, as the files of an installed product are: the file system's and the "
        "disk's work then dominates both sides.")
    add("")
    add("Per-pair figures (tool / baseline, ms):")
    add("")
    for key in ("W1", "W2", "W3", "W1 on disk"):
        f = figures[key]
        add("- %s: %s" % (key, ", ".join("%.1f/%.1f" % (t, b) for t, b in zip(f["tool_runs"], f["base_runs"]))))
    add("")
    add("## System calls (strace -c -f, one run each)")
    add("")
    add("| run | calls | per listed file | per directory | most frequent |")
    add("|---|---|---|---|---|")
    for key, who, counts, files, dirs in syscalls:
        total = counts.get("total", 0)
        add("| %s %s | %d | %s | %s | %s |"
            % (key, who, total, "%.2f" % (total / files) if files else "-", "%.2f" % (total / dirs) if dirs else "-",
               top_calls(counts)))
    add("")
    add("W1 divides by its 50,000 listed files and its 5,000 listed directories; W2 by its 20,001 directories "
        "(the big one and its subdirectories).")
    add("")
    add("## W2: what the scan enumerates")
    add("")
    add("- Scan probe (bench/scan_probe: the whole run through RunCleanup, then g_scanEnumerations): %d "
        "enumerations, %d directories recorded in %d slots."
        % (w2_probe["scan_enumerations"], w2_probe["recorded_directories"], w2_probe["table_slots"]))
    add("- Expected: the big directory, then each subdirectory recorded while the table still had room: "
        "1 + %d = %d. The subdirectory that fills the last slot, and every later one, is not entered."
        % (w2_meta["expected_entered"], w2_meta["expected_entered"] + 1))
    add("- strace -f -y of the native tool: %d getdents64 calls; %d directories listed; most listings of one "
        "directory: %d; subdirectories listed: %d, all among those recorded before the table filled: %s."
        % (w2_dents["calls"], w2_dents["dirs"], w2_dents["most"], w2_dents["subdirs"],
           "yes" if w2_dents["subset"] else "**no**"))
    add("- Baseline `find` lists every directory of the tree: %d." % w2_dents["baseline_dirs"])
    add("")
    if wine_figures:
        add("## Windows build under Wine (build/win64/bin/xqti.exe, wine64)")
        add("")
        add("This kernel runs no 32-bit programs, so the x86-64 build of the same code stands in for the "
            "product. Started through xqti-launch.exe with the raw command line, WINEDEBUG=-all, its own "
            "prefix (%s) with T: mapped to the bench area; the wineserver is kept running between runs. "
            "Paired with the same baselines as the native runs." % args.prefix)
        add("")
        add("| workload | Windows tool median | native tool median | baseline median | ratio to baseline |")
        add("|---|---|---|---|---|")
        for key, f in wine_figures:
            if key != "startup":
                add("| %s | %s | %s | %s | %.2fx |" % (key, fmt_ms(f["tool_ms"]), fmt_ms(figures[key]["tool_ms"]),
                                                     fmt_ms(f["base_ms"]), f["ratio"]))
        for key, f in wine_figures:
            if key == "startup":
                add("")
                add("Wine's own start-up, measured as the same executable refused at the gate (an empty command "
                    "line) on W3: %s median (%s ms)." % (fmt_ms(f["tool_ms"]), ", ".join("%.1f" % t for t in f["tool_runs"])))
        add("")
        add("Per-pair figures (Windows tool / baseline, ms):")
        add("")
        for key, f in wine_figures:
            if key != "startup":
                add("- %s: %s" % (key, ", ".join("%.1f/%.1f" % (t, b) for t, b in zip(f["tool_runs"],
                                                                                      f["base_runs"]))))
        add("")
        for n in wine_notes:
            add(n)
            add("")
    add("## Text work (bench/text_bench, Google Benchmark)")
    add("")
    context, benches = texts
    add("| benchmark | time per iteration | CPU | items per second | what an iteration is |")
    add("|---|---|---|---|---|")
    for b in benches:
        add("| %s | %.3g %s | %.3g %s | %s | %s |"
            % (b["name"], b["real_time"], b["time_unit"], b["cpu_time"], b["time_unit"],
               "%.3g M" % (b["items_per_second"] / 1e6) if "items_per_second" in b else "-", b.get("label", "")))
    add("")
    if context.get("library_build_type") == "debug":
        add("Debian's libbenchmark reports itself as a debug build; that concerns the harness only, the code "
            "measured is built as the release tool is.")
        add("")
    if notes:
        add("## Notes")
        add("")
        for n in notes:
            add("- " + n)
        add("")
    with open(path, "w") as f:
        f.write("\n".join(L))


# -------------------------------------------------------------------------------------------------- main

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--text-bench", required=True)
    parser.add_argument("--code", default="3c5,9,4e,2d1f7")
    parser.add_argument("--win32")
    parser.add_argument("--win64")
    parser.add_argument("--launcher")
    parser.add_argument("--prefix")
    parser.add_argument("--pairs", type=int, default=7)
    parser.add_argument("--pairs-w3", type=int, default=21)
    parser.add_argument("--pairs-disk", type=int, default=5)
    parser.add_argument("--wine-pairs", type=int, default=5)
    parser.add_argument("--skip-wine", action="store_true")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if min(args.pairs, args.pairs_w3, args.pairs_disk, args.wine_pairs) < 5:
        parser.error("at least five pairs")
    tail = "Uninstall," + args.code
    exe = os.path.abspath(args.exe)
    area = tempfile.mkdtemp(prefix="xqti-bench-")
    wine = None
    notes = []
    try:
        info = machine(area)
        rng = random.Random(SEED)
        print("== laying out the workloads in %s" % area, flush=True)
        w1 = make_w1(area, rng)
        w2 = make_w2(area, rng)
        w3 = make_w3(area)
        tool = native_tool(exe, tail)

        def same_tree(tool_tree, base_tree):
            if tool_tree != base_tree:
                extra = sorted(tool_tree - base_tree)[:5]
                missing = sorted(base_tree - tool_tree)[:5]
                return "tool and baseline left different trees (kept only by the tool: %s; only by the " \
                       "baseline: %s)" % (extra, missing)
            return None

        def w2_done(tool_tree, base_tree):
            gone = {os.path.join(w2.big, d) for d in w2.recorded_subdirs}
            expected = base_tree - gone - {"XQTUP.TMP"}
            if tool_tree != expected:
                return "the tool did not remove exactly the listed file, the list and the %d recorded " \
                       "subdirectories" % len(gone)
            return None

        figures = {}
        for w, pairs, check in ((w1, args.pairs, same_tree), (w2, args.pairs, w2_done),
                                (w3, args.pairs_w3, same_tree)):
            print("== %s %s: warm-up and %d pairs" % (w.key, w.title, pairs), flush=True)
            tools, bases = measure(w, tool, baseline(w), pairs, check)
            figures[w.key] = summary(tools, bases)
            figures[w.key]["tool_rss"] = peak_rss(w, tool, "rss-tool")
            figures[w.key]["base_rss"] = peak_rss(w, baseline(w), "rss-base")

        w1d = on_disk(w1)
        print("== %s: warm-up and %d pairs" % (w1d.key, args.pairs_disk), flush=True)
        tools, bases = measure(w1d, tool, baseline(w1d), args.pairs_disk, same_tree)
        figures[w1d.key] = summary(tools, bases)

        print("== system calls", flush=True)
        syscalls = []
        for w, files, dirs in ((w1, w1.listed_files, w1.listed_dirs), (w2, None, w2.tree_dirs),
                               (w3, None, None)):
            syscalls.append((w.key, "tool", strace_counts(w, tool, "strace-tool"), files, dirs))
            syscalls.append((w.key, "baseline", strace_counts(w, baseline(w), "strace-base"), files, dirs))

        print("== W2 enumerations", flush=True)
        probe = probe_scan(w2, os.path.abspath(args.probe), tail)
        dents, calls = listings(w2, tool, "dents-tool")
        base_dents, _ = listings(w2, baseline(w2), "dents-base")
        subdir_listed = {p.split("/", 1)[1] for p in dents if p.startswith(w2.big + "/")}
        entered = set(w2.entered_subdirs)
        w2_dents = {
            "calls": calls,
            "dirs": len(dents),
            "most": max(dents.values()) if dents else 0,
            "subdirs": len(subdir_listed),
            "subset": subdir_listed <= entered,
            "baseline_dirs": len(base_dents),
        }
        expected_entered = len(w2.entered_subdirs)
        enumerations_ok = (probe["scan_enumerations"] == expected_entered + 1 and w2_dents["most"] <= 1 and
                           w2_dents["subset"] and probe["recorded_directories"] == SLOTS)
        w2_meta = {
            "expected_entered": expected_entered,
            "enumerations_ok": enumerations_ok,
            "enumerations_text": "%d scan enumerations (expected %d); at most %d listing(s) of any directory"
                                 % (probe["scan_enumerations"], expected_entered + 1, w2_dents["most"]),
        }

        wine_figures = []
        wine_notes = []
        if args.win64 and not args.skip_wine:
            print("== Windows build under Wine", flush=True)
            wine = Wine(os.path.abspath(args.prefix), area, os.path.abspath(args.launcher))
            wtool = wine.tool(os.path.abspath(args.win64), tail)
            for w, pairs, check in ((w1, args.wine_pairs, same_tree), (w3, max(args.wine_pairs, 11), same_tree)):
                print("== %s under Wine: warm-up and %d pairs" % (w.key, pairs), flush=True)
                tools, bases = measure(w, wtool, baseline(w), pairs, check)
                wine_figures.append((w.key, summary(tools, bases)))
            # Wine's own start: the same executable refused at the gate (an empty tail) on W3.
            refused = wine.tool(os.path.abspath(args.win64), "", "Windows tool refused at the gate")
            tools, bases = measure(w3, refused, baseline(w3), max(args.wine_pairs, 11), same_tree)
            wine_figures.append(("startup", summary(tools, bases)))
            print("== system calls of the Windows tool under Wine (%d lines of W1)" % WINE_SLICE, flush=True)
            counts = strace_counts(w1, wtool, "strace-wine", WINE_SLICE)
            wine_notes.append(
                "System calls under Wine (strace -c -f over the launcher and the tool, not the wineserver, on "
                "W1's tree with its list cut to the first %d lines): %d in all, %.0f per listed file; most "
                "frequent: %s. The wineserver requests are the write/writev and read pairs; Wine's ntdll "
                "finds a lowercased name on the case-sensitive disk by reading the directory (getdents64)."
                % (WINE_SLICE, counts.get("total", 0), counts.get("total", 0) / WINE_SLICE, top_calls(counts, 8)))
        elif not args.skip_wine:
            notes.append("The Windows builds were not made on this machine; no Wine figures.")

        print("== text benchmarks", flush=True)
        texts = text_bench(os.path.abspath(args.text_bench))

        exe_size = os.path.getsize(args.win32) if args.win32 and os.path.exists(args.win32) else None
        write_results(args.out, args, info, figures, syscalls, probe, w2_dents, w2_meta, wine_figures, texts,
                      exe_size, notes, wine_notes)
        print("== wrote %s" % args.out)
        with open(args.out) as f:
            print(f.read())
    finally:
        if wine is not None:
            wine.stop()
        remove_tree(area)


if __name__ == "__main__":
    sys.exit(main())
