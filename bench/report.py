#!/usr/bin/env python3
"""Turns the times of bench/run into a Markdown table and a plot.

  report.py OUT TREE_BYTES

Reads OUT/times.tsv (group, tool, seconds, output bytes), OUT/memory.tsv,
OUT/record.txt, OUT/machine.txt and OUT/tree.txt; writes OUT/results.md,
OUT/throughput.dat and OUT/throughput.png (gnuplot), and puts the results
into bench/README.md between its result markers.
"""
import os
import statistics
import subprocess
import sys

MB = 1 << 20
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


def load(out):
    rows = {}
    with open(os.path.join(out, "times.tsv")) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) < 3:
                continue
            group, tool, seconds = parts[0], parts[1], float(parts[2])
            size = int(parts[3]) if len(parts) > 3 and parts[3] else None
            entry = rows.setdefault(group, {}).setdefault(tool, {"t": [], "size": None})
            entry["t"].append(seconds)
            if size is not None:
                entry["size"] = size
    return rows


def read(out, name):
    path = os.path.join(out, name)
    return open(path).read().strip() if os.path.exists(path) else ""


def main():
    out, tree_bytes = sys.argv[1], int(sys.argv[2])
    rows = load(out)
    stats = {}
    lines = []
    dat = []
    for group in ["build", "best", "install", "wine", "remove"]:
        if group not in rows:
            continue
        ours = OURS[group]
        tools = rows[group]
        lines += [f"### {TITLES[group]}", "",
                  "| Tool | runs | median s | min s | max s | MB/s | output MB | speed of ours vs this |",
                  "| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"]
        ours_median = statistics.median(tools[ours]["t"]) if ours in tools else None
        for tool, entry in tools.items():
            t = entry["t"]
            med = statistics.median(t)
            stats[(group, tool)] = (med, entry["size"])
            rate = tree_bytes / MB / med
            size = f"{entry['size'] / MB:.1f}" if entry["size"] else ""
            ratio = f"{med / ours_median:.2f}x" if ours_median and tool != ours else ""
            shown = tool.replace("|", "\\|")
            name = f"**{shown}**" if tool == ours else shown
            lines.append(f"| {name} | {len(t)} | {med:.3f} | {min(t):.3f} | {max(t):.3f} | {rate:.0f} | {size} | {ratio} |")
            dat.append((f"{group}: {tool}", rate, tool == ours))
        lines.append("")

    def speed(group, peer):
        a, b = stats.get((group, OURS[group])), stats.get((group, peer))
        return b[0] / a[0] if a and b else None

    targets = []

    def target(what, value, ok, shown):
        what = what.replace("|", "\\|")
        targets.append(f"| {what} | {shown if value is not None else 'not measured'} | "
                       f"{('met' if ok else '**not met**') if value is not None else '-'} |")

    v = speed("install", "cp -r")
    target("pipeline >= 0.5x the speed of cp -r", v, v is not None and v >= 0.5, f"{v:.2f}x" if v else "")
    for peer in ["lzop -d | tar -x", "unzip", "7z x"]:
        v = speed("install", peer)
        target(f"pipeline faster than {peer}", v, v is not None and v > 1, f"{v:.2f}x" if v else "")
    v = speed("wine", "xcopy /E /I")
    target("installation under wine64 >= 0.4x the speed of xcopy", v, v is not None and v >= 0.4,
           f"{v:.2f}x" if v else "")
    for peer in ["tar | lzop -1", "zip -1", "7z a -mx1", "makensis zlib", "makensis lzma"]:
        v = speed("build", peer)
        target(f"builder (fast) faster than {peer}", v, v is not None and v > 1, f"{v:.2f}x" if v else "")
    best, zip9 = stats.get(("best", OURS["best"])), stats.get(("best", "zip -9"))
    if best and zip9:
        target("builder (best) output no larger than zip -9", 1, best[1] <= zip9[1],
               f"{best[1] / MB:.1f} MB vs {zip9[1] / MB:.1f} MB")
    v = speed("remove", "rm -rf")
    target("removal >= 0.5x the speed of rm -rf", v, v is not None and v >= 0.5, f"{v:.2f}x" if v else "")
    record = read(out, "record.txt")
    rec = {}
    for line in record.splitlines():
        if "100,000 files" in line:
            rec["large"] = float(line.split(":")[1].split()[0])
        if line.startswith("ratio"):
            rec["ratio"] = float(line.split(":")[1].split()[0])
    if rec:
        target("record write + load of 100,000 files under 1 s", rec.get("large"), rec.get("large", 9) < 1,
               f"{rec.get('large', 0):.3f} s")
        target("record time grows linearly (10x files: about 10x time)", rec.get("ratio"),
               rec.get("ratio", 99) < 15, f"{rec.get('ratio', 0):.1f}x")
    mem = []
    if os.path.exists(os.path.join(out, "memory.tsv")):
        for line in open(os.path.join(out, "memory.tsv")):
            p = line.split()
            if len(p) == 3:
                mem.append((int(p[0]), int(p[1]), int(p[2])))
    if mem:
        largest = max(mem)
        small = [m for m in mem if m[0] < largest[0]]
        private = max(m[2] for m in mem) / 1024
        target("installer peak memory (private bytes) under 16 MB", private, private < 16, f"{private:.1f} MB")
        if small:
            grow = largest[2] - max(m[2] for m in small)
            target("peak memory independent of product size", grow, abs(grow) < 2048,
                   f"{largest[0] / MB:.0f} MB product: {grow / 1024:+.1f} MB vs {small[0][0] / MB:.0f} MB")

    text = ["Machine and load:", "", "```", read(out, "machine.txt"), read(out, "tree.txt"), "```", "",
            "| Target | Measured | |", "| --- | --- | --- |"] + targets + [""] + lines
    if record:
        text += ["### Uninstall record", "", "```", record, "```", ""]
    if mem:
        text += ["### Peak memory of the working run under wine64", "",
                 "| Product | peak working set MB | peak private bytes MB |", "| ---: | ---: | ---: |"]
        by_size = {}
        for m in mem:
            old = by_size.get(m[0], (0, 0))
            by_size[m[0]] = (max(old[0], m[1]), max(old[1], m[2]))
        text += [f"| {size / MB:.0f} MB | {ws / 1024:.1f} | {pf / 1024:.1f} |" for size, (ws, pf) in sorted(by_size.items())]
        text.append("")
    results = "\n".join(text)
    with open(os.path.join(out, "results.md"), "w") as f:
        f.write(results + "\n")
    print(results)

    with open(os.path.join(out, "throughput.dat"), "w") as f:
        for i, (name, rate, ours) in enumerate(dat):
            f.write(f'{i} "{name}" {rate:.1f} {1 if ours else 0}\n')
    plot = os.path.join(out, "throughput.png")
    script = (f'set terminal png size 1000,{200 + 22 * len(dat)}; set output "{plot}";'
              'set title "Throughput per tool (MB of product per second, median)";'
              'set style fill solid; set boxwidth 0.7; unset key; set grid x;'
              f'set yrange [-1:{len(dat)}]; set xlabel "MB/s"; set ytics nomirror;'
              f'plot "{out}/throughput.dat" using ($3*0.5):1:($3*0.5):(0.35):($4 > 0 ? 0x2060c0 : 0xa0a0a0):ytic(2) '
              'with boxxyerror lc rgb variable')
    try:
        subprocess.run(["gnuplot", "-e", script], check=True)
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"report: no plot ({e})", file=sys.stderr)

    readme = os.path.join(os.path.dirname(os.path.abspath(__file__)), "README.md")
    if os.path.exists(readme):
        doc = open(readme).read()
        begin, end = "<!-- results -->", "<!-- /results -->"
        if begin in doc and end in doc:
            doc = doc[:doc.index(begin) + len(begin)] + "\n" + results + "\n" + doc[doc.index(end):]
            open(readme, "w").write(doc)


if __name__ == "__main__":
    main()
