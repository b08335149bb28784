#!/usr/bin/env python3
"""Checks bench/report.py on made-up runs: ratios taken round by round, a target
met only when its whole spread clears it, a failed or missing peer, a group of
one run, a run without Wine, and the README keeping the run before.

  report_test.py   (exits non-zero and names the first wrong row)
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def times(rows):
    return "".join("\t".join(str(x) for x in row) + "\n" for row in rows)


def series(group, tool, values, cpu=("", "")):
    return [(group, tool, r + 1, v, "", *cpu) for r, v in enumerate(values)]


def report(out, readme):
    done = subprocess.run([sys.executable, os.path.join(HERE, "report.py"), out, str(200 << 20), "--readme", readme],
                          capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"report.py failed: {done.stderr}")
    return done.stdout


def target(text, name):
    for line in text.splitlines():
        if line.startswith(f"| {name} |"):
            return [c.strip() for c in re.split(r"(?<!\\)\|", line.strip("|"))][1:]
    sys.exit(f"no target row '{name}' in:\n{text}")


def expect(what, got, want):
    if got != want:
        sys.exit(f"{what}: got {got}, want {want}")


def main():
    with tempfile.TemporaryDirectory() as work:
        check(work)
    print("report: all checks passed")


def check(work):
    out = os.path.join(work, "out")
    os.makedirs(out)
    readme = os.path.join(work, "README.md")
    with open(readme, "w") as f:
        f.write("# head\n<!-- results -->\nnone yet\n<!-- /results -->\nmiddle\n"
                "<!-- results-before -->\nnone yet\n<!-- /results-before -->\ntail\n")

    seven = [1.0] * 7
    rows = series("build", "tessaramond-pack fast", seven, ("1.5", "0.5"))
    rows += series("build", "tar | lzop -1", [1.6, 1.6, 1.6, 1.5, 1.6, 1.6, 1.6])  # min exactly at the target
    rows += series("build", "zip -1", [3, 3, 3, 3, 3, 3, 0.9])  # median 3x, one round behind
    rows += series("build", "7z a -mx1", [10, 10, 10])  # a slow peer: three rounds
    rows += [("build", "makensis zlib", r, "failed", "", "", "") for r in (1, 2, 3)]
    # Ours alternates between fast and slow rounds and the peer follows it: only
    # ratios of the same round show that ours is 1.6x ahead every time.
    swing = [1, 10, 1, 10, 1, 10, 1]
    rows += series("install", "tessaramond (decode + unpack)", swing)
    rows += series("install", "lzop -d | tar -x", [1.6 * t for t in swing])
    rows += series("install", "unzip", [2.0 * t for t in swing])
    rows += series("install", "7z x", [20, 2, 20, 2, 20, 2, 20])  # medians 20x, but behind in three rounds
    rows += series("remove", "tessaramond removal engine", [1.0])  # one run
    rows += series("remove", "rm -rf", [0.6])
    with open(os.path.join(out, "times.tsv"), "w") as f:
        f.write(times(rows))
    with open(os.path.join(out, "memory.tsv"), "w") as f:
        # The limit holds for the largest product; the smaller one was above it.
        f.write(f"{200 << 20} 30000 17000\n{2048 << 20} 31000 12000\n")

    text = report(out, readme)
    expect("tar | lzop -1", target(text, "builder (fast) >= 1.5x the speed of tar \\| lzop -1"),
           ["1.60x", "1.50-1.60x", "7", "met"])
    expect("zip -1", target(text, "builder (fast) ahead of zip -1"), ["3.00x", "0.90-3.00x", "7", "**not met**"])
    expect("7z a", target(text, "builder (fast) ahead of 7z a -mx1"), ["10.00x", "10.00-10.00x", "3", "met"])
    expect("makensis zlib", target(text, "builder (fast) ahead of makensis zlib"), ["failed", "", "0", "-"])
    expect("makensis lzma", target(text, "builder (fast) ahead of makensis lzma"), ["not measured", "", "0", "-"])
    expect("lzop -d", target(text, "pipeline >= 1.5x the speed of lzop -d \\| tar -x"),
           ["1.60x", "1.60-1.60x", "7", "met"])
    expect("unzip", target(text, "pipeline >= 2x the speed of unzip"), ["2.00x", "2.00-2.00x", "7", "met"])
    expect("7z x", target(text, "pipeline >= 2x the speed of 7z x"), ["20.00x", "0.20-20.00x", "7", "**not met**"])
    expect("wine", target(text, "installation under wine64 >= 1.2x the speed of xcopy /E /I"),
           ["not measured", "", "0", "-"])
    expect("removal", target(text, "removal >= 0.5x the speed of rm -rf"), ["0.60x", "0.60-0.60x", "1", "met"])
    expect("memory", target(text, "installer peak memory (private bytes) under 16 MB, 2048 MB product"),
           ["11.7 MB", "", "1", "met"])
    expect("memory growth", target(text, "peak memory independent of product size")[-1], "**not met**")
    expect("failed runs shown", "| makensis zlib | 0 (3 failed) | failed |" in text, True)
    expect("CPU use", "builder (fast) 2.00 s = 2.00 cores' worth" in text, True)

    with open(os.path.join(out, "machine.txt"), "w") as f:
        f.write("date: second run\n")
    report(out, readme)
    with open(os.path.join(out, "machine.txt"), "w") as f:
        f.write("date: third run\n")
    report(out, readme)
    doc = open(readme).read()
    latest = doc[doc.index("<!-- results -->"):doc.index("<!-- /results -->")]
    before = doc[doc.index("<!-- results-before -->"):doc.index("<!-- /results-before -->")]
    expect("latest run", "third run" in latest and "second run" not in latest, True)
    expect("run before", "second run" in before and "third run" not in before, True)
    expect("older runs dropped", "none yet" not in doc and doc.count("Machine and load") == 2, True)
    expect("text around the markers", doc.startswith("# head\n") and "\nmiddle\n" in doc and doc.endswith("tail\n"),
           True)


if __name__ == "__main__":
    main()
