#!/usr/bin/env python3
"""Turns the times of bench/run into a Markdown table and a plot.

  report.py OUT TREE_BYTES [--readme README.md]

Reads OUT/times.tsv (group, tool, round, seconds or "failed", output bytes,
user and system CPU seconds), OUT/loads.tsv, OUT/memory.tsv, OUT/record.txt,
OUT/machine.txt and OUT/tree.txt, any of which may be missing or hold only
part of a run; writes OUT/results.md, OUT/throughput.dat and
OUT/throughput.png (gnuplot). With --readme the results become the latest
run of that README (between its result markers) and the latest run before
moves down to the markers of the run before.

Each ratio is "speed of ours vs this": the peer's time over ours in the same
round, for every round in which both ran; the report gives the median of
these ratios and their spread (min-max). A target is met only when the whole
spread clears it.
"""
import argparse
import os
import statistics
import subprocess
import sys

MB = 1 << 20
GROUPS = ["build", "best", "install", "wine", "remove"]
OURS = {
    "build": "tessaramond-pack fast",
    "best": "tessaramond-pack best",
    "install": "tessaramond (decode + unpack)",
    "wine": "tessaramond installer (start to finish page)",
    "remove": "tessaramond removal engine",
}
TITLES = {
    "build": "Builder, fast level: tree -> one file",
    "best": "Builder, best level",
    "install": "Install pipeline: one file -> tree",
    "wine": "Whole installation under wine64",
    "remove": "Removal of the installed tree",
}
# (group, peer, ratio, strict): ours must be at least `ratio` times as fast as
# the peer in every round (more than `ratio` times when strict).
TARGETS = [
    ("build", "tar | lzop -1", 1.5, False),
    ("build", "zip -1", 1.0, True),
    ("build", "7z a -mx1", 1.0, True),
    ("build", "makensis zlib", 1.0, True),
    ("build", "makensis lzma", 1.0, True),
    ("install", "lzop -d | tar -x", 1.5, False),
    ("install", "unzip", 2.0, False),
    ("install", "7z x", 2.0, False),
    ("install", "cp -r", 0.6, False),
    ("wine", "xcopy /E /I", 1.2, False),
    ("remove", "rm -rf", 0.5, False),
]
SHORT = {"build": "builder (fast)", "install": "pipeline", "wine": "installation under wine64",
         "remove": "removal"}
PRIVATE_LIMIT_MB = 16
MARKERS = {"latest": ("<!-- results -->", "<!-- /results -->"),
           "before": ("<!-- results-before -->", "<!-- /results-before -->")}


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


def load_times(out):
    """group -> tool -> {"t": {round: s}, "cpu": {round: s}, "failed": n, "size": bytes}"""
    rows = {}
    path = os.path.join(out, "times.tsv")
    if not os.path.exists(path):
        return rows
    with open(path) as f:
        for line in f:
            p = line.rstrip("\n").split("\t")
            if len(p) < 4:
                continue
            p += [""] * (7 - len(p))
            group, tool, rnd = p[0], p[1], p[2]
            entry = rows.setdefault(group, {}).setdefault(tool, {"t": {}, "cpu": {}, "failed": 0, "size": None})
            seconds = number(p[3])
            if seconds is None:
                entry["failed"] += 1
                continue
            entry["t"][rnd] = seconds
            if p[4]:
                entry["size"] = int(p[4])
            user, system = number(p[5]), number(p[6])
            if user is not None and system is not None:
                entry["cpu"][rnd] = user + system
    return rows


def load_loads(out):
    loads = {}
    path = os.path.join(out, "loads.tsv")
    if os.path.exists(path):
        for line in open(path):
            p = line.rstrip("\n").split("\t")
            if len(p) == 3:
                loads[p[0]] = (p[1], p[2])
    return loads


def read(out, name):
    path = os.path.join(out, name)
    return open(path).read().strip() if os.path.exists(path) else ""


def ratios(tools, ours, peer):
    """The peer's time over ours, round by round, for the rounds both ran."""
    if ours not in tools or peer not in tools:
        return []
    a, b = tools[ours]["t"], tools[peer]["t"]
    return [b[r] / a[r] for r in a if r in b and a[r] > 0]


def spread(values):
    return (statistics.median(values), min(values), max(values)) if values else None


def cpu_use(entry):
    """Median user+sys seconds and median cores' worth ((user+sys)/wall) over the runs."""
    rounds = [r for r in entry["cpu"] if r in entry["t"] and entry["t"][r] > 0]
    if not rounds:
        return None
    return (statistics.median(entry["cpu"][r] for r in rounds),
            statistics.median(entry["cpu"][r] / entry["t"][r] for r in rounds))


def cell(text):
    return text.replace("|", "\\|")


def group_table(group, tools, tree_bytes, loads, dat):
    ours = OURS[group]
    lines = [f"### {TITLES[group]}", "",
             "| Tool | runs | median s | min s | max s | MB/s | output MB | CPU s | cores | "
             "speed of ours vs this (median of rounds) | spread | rounds |",
             "| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"]
    for tool, entry in tools.items():
        t = list(entry["t"].values())
        name = f"**{cell(tool)}**" if tool == ours else cell(tool)
        runs = f"{len(t)}" + (f" ({entry['failed']} failed)" if entry["failed"] else "")
        if not t:
            lines.append(f"| {name} | {runs} | failed | | | | | | | | | |")
            continue
        med = statistics.median(t)
        size = f"{entry['size'] / MB:.1f}" if entry["size"] else ""
        cpu = cpu_use(entry)
        cpu_cells = f"{cpu[0]:.2f} | {cpu[1]:.2f}" if cpu else " | "
        ratio_cells = " |  | "
        if tool != ours:
            r = ratios(tools, ours, tool)
            s = spread(r)
            ratio_cells = f"{s[0]:.2f}x | {s[1]:.2f}-{s[2]:.2f}x | {len(r)}" if s else "- | | 0"
        lines.append(f"| {name} | {runs} | {med:.3f} | {min(t):.3f} | {max(t):.3f} | "
                     f"{tree_bytes / MB / med:.0f} | {size} | {cpu_cells} | {ratio_cells} |")
        dat.append((f"{group}: {tool}", tree_bytes / MB / med, tool == ours))
    lines.append("")
    if group in loads:
        lines += [f"Load (1/5/15 min) before this group: {loads[group][0]}; after: {loads[group][1]}.", ""]
    return lines


def target_rows(rows, out):
    targets = []

    def row(what, measured, spread_text, rounds, ok):
        status = "-" if ok is None else ("met" if ok else "**not met**")
        targets.append(f"| {cell(what)} | {measured} | {spread_text} | {rounds} | {status} |")

    for group, peer, goal, strict in TARGETS:
        what = (f"{SHORT[group]} ahead of {peer}" if strict and goal == 1.0
                else f"{SHORT[group]} >= {goal:g}x the speed of {peer}")
        tools = rows.get(group, {})
        r = ratios(tools, OURS[group], peer)
        s = spread(r)
        if not s:
            failed = tools.get(peer, {}).get("failed", 0) + tools.get(OURS[group], {}).get("failed", 0)
            row(what, "failed" if failed else "not measured", "", 0, None)
            continue
        ok = s[1] > goal if strict else s[1] >= goal
        row(what, f"{s[0]:.2f}x", f"{s[1]:.2f}-{s[2]:.2f}x", len(r), ok)

    record = read(out, "record.txt")
    rec = {}
    for line in record.splitlines():
        if "100,000 files" in line:
            rec["large"] = number(line.split(":")[1].split()[0])
        if line.startswith("ratio"):
            rec["ratio"] = number(line.split(":")[1].split()[0])
    if rec.get("large") is not None:
        row("record write + load of 100,000 files under 1 s", f"{rec['large']:.3f} s", "", 1, rec["large"] < 1)
    if rec.get("ratio") is not None:
        row("record time grows linearly (10x files: about 10x time)", f"{rec['ratio']:.1f}x", "", 1,
            rec["ratio"] < 15)

    mem = load_memory(out)
    if mem:
        largest = max(m[0] for m in mem)
        at_largest = [m for m in mem if m[0] == largest]
        private = max(m[2] for m in at_largest) / 1024
        row(f"installer peak memory (private bytes) under {PRIVATE_LIMIT_MB} MB, {largest / MB:.0f} MB product",
            f"{private:.1f} MB", "", len(at_largest), private < PRIVATE_LIMIT_MB)
        small = [m for m in mem if m[0] < largest]
        if small:
            grow = max(m[2] for m in at_largest) - max(m[2] for m in small)
            row("peak memory independent of product size",
                f"{largest / MB:.0f} MB product: {grow / 1024:+.1f} MB vs {small[0][0] / MB:.0f} MB", "", "",
                abs(grow) < 2048)
    return targets, record, mem


def load_memory(out):
    mem = []
    path = os.path.join(out, "memory.tsv")
    if os.path.exists(path):
        for line in open(path):
            p = line.split()
            if len(p) == 3 and all(x.isdigit() for x in p):
                mem.append((int(p[0]), int(p[1]), int(p[2])))
    return mem


def cpu_summary(rows):
    parts = []
    for group, label in [("build", "builder (fast)"), ("best", "builder (best)"), ("install", "install pipeline")]:
        entry = rows.get(group, {}).get(OURS[group])
        cpu = cpu_use(entry) if entry else None
        if cpu:
            parts.append(f"{label} {cpu[0]:.2f} s = {cpu[1]:.2f} cores' worth")
    if not parts:
        return []
    return ["CPU use of ours (user + system seconds, median of the runs; cores' worth = (user + system) / wall): "
            + "; ".join(parts) + ".", ""]


def rotate(doc, results):
    """The README with `results` as the latest run and the former latest run as the run before."""
    begin, end = MARKERS["latest"]
    if begin not in doc or end not in doc:
        return doc
    start, stop = doc.index(begin) + len(begin), doc.index(end)
    former = doc[start:stop].strip("\n")
    doc = doc[:start] + "\n" + results + "\n" + doc[stop:]
    begin, end = MARKERS["before"]
    if begin in doc and end in doc:
        start, stop = doc.index(begin) + len(begin), doc.index(end)
        doc = doc[:start] + "\n" + former + "\n" + doc[stop:]
    return doc


def plot(out, dat):
    with open(os.path.join(out, "throughput.dat"), "w") as f:
        for i, (name, rate, ours) in enumerate(dat):
            f.write(f'{i} "{name}" {rate:.1f} {1 if ours else 0}\n')
    if not dat:
        return
    png = os.path.join(out, "throughput.png")
    script = (f'set terminal png size 1000,{200 + 22 * len(dat)}; set output "{png}";'
              'set title "Throughput per tool (MB of product per second, median)";'
              'set style fill solid; set boxwidth 0.7; unset key; set grid x;'
              f'set yrange [-1:{len(dat)}]; set xlabel "MB/s"; set ytics nomirror;'
              f'plot "{out}/throughput.dat" using ($3*0.5):1:($3*0.5):(0.35):($4 > 0 ? 0x2060c0 : 0xa0a0a0):ytic(2) '
              'with boxxyerror lc rgb variable')
    try:
        subprocess.run(["gnuplot", "-e", script], check=True)
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"report: no plot ({e})", file=sys.stderr)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("tree_bytes", type=int)
    ap.add_argument("--readme")
    a = ap.parse_args()
    out = a.out

    rows = load_times(out)
    loads = load_loads(out)
    dat = []
    tables = []
    for group in GROUPS:
        if rows.get(group):
            tables += group_table(group, rows[group], a.tree_bytes, loads, dat)
    targets, record, mem = target_rows(rows, out)

    text = ["Machine and load:", "", "```", read(out, "machine.txt"), read(out, "tree.txt"), "```", ""]
    text += ["| Target | Measured (median) | Spread (min-max) | Rounds | |", "| --- | ---: | ---: | ---: | --- |"]
    text += targets + [""] + cpu_summary(rows) + tables
    if record:
        text += ["### Uninstall record", "", "```", record, "```", ""]
    if mem:
        text += ["### Peak memory of the working run under wine64", "",
                 "| Product | peak working set MB | peak private bytes MB |", "| ---: | ---: | ---: |"]
        by_size = {}
        for m in mem:
            old = by_size.get(m[0], (0, 0))
            by_size[m[0]] = (max(old[0], m[1]), max(old[1], m[2]))
        text += [f"| {size / MB:.0f} MB | {ws / 1024:.1f} | {pf / 1024:.1f} |"
                 for size, (ws, pf) in sorted(by_size.items())]
        text.append("")
    results = "\n".join(text).rstrip("\n")
    with open(os.path.join(out, "results.md"), "w") as f:
        f.write(results + "\n")
    print(results)
    plot(out, dat)

    if a.readme and os.path.exists(a.readme):
        doc = open(a.readme).read()
        with open(a.readme, "w") as f:
            f.write(rotate(doc, results))


if __name__ == "__main__":
    main()
