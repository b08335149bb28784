#!/usr/bin/env python3
"""Reads the demo's pictures back with OCR and says how much of what each
window must show a reader could find there.

Beside each picture NAME.png the walk leaves NAME.txt: a first line
"window LEFT TOP RIGHT BOTTOM" (the window's place on the screen), then one
line for each text the window shows: "LEFT TOP RIGHT BOTTOM<tab>TEXT" (where
it shows; "- - - -" for text in artwork or placed by the program alone).
The window is cut out of the picture, turned grey and scaled up three
times, and tesseract (chi_sim) reads it three ways: as a block of lines, as
scattered text, and inverted (light text on a dark ground); each text's own
place is read too, as one line and as a raw line, plain and inverted. A text is looked for in
what was read of its place and of the whole window, in order but allowing
for misread characters; the share of its letters, digits and ideographs
found counts (punctuation is not counted: at 12 pixels a full-width comma
is a dot, which no reader stumbles on but OCR reads as a full stop).
Prints the share for each picture and over all, and exits 1 when the whole
falls below --overall or one picture below --each (percent).

With --cache DIR, what tesseract read of a picture is kept under the hash of
the picture's bytes, its window and its boxes and tesseract's version: a
picture with the same pixels in the same places (the same window walked
under another locale) is then not read again, as the reading could only
come out the same. The share is worked out afresh every time.

    legibility.py SCREENS [--overall 95] [--each 90] [--cache DIR]
"""
import argparse
import concurrent.futures
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import unicodedata


def normalise(text):
    """Letters, digits and ideographs, full-width forms as their plain ones."""
    text = unicodedata.normalize("NFKC", text)
    return "".join(ch for ch in text if unicodedata.category(ch)[0] in "LN")


def found(expected, text):
    """How many characters of expected appear in text in order, within the
    best-matching stretch of it (local alignment: +2 a character found, -1 one
    missed, misread or extra)."""
    best = (0, 0)
    previous = [(0, 0)] * (len(text) + 1)
    for ch in expected:
        current = [(0, 0)] * (len(text) + 1)
        for j in range(1, len(text) + 1):
            diagonal = previous[j - 1]
            step = (diagonal[0] + 2, diagonal[1] + 1) if ch == text[j - 1] else (diagonal[0] - 1, diagonal[1])
            current[j] = max((0, 0), step, (previous[j][0] - 1, previous[j][1]),
                             (current[j - 1][0] - 1, current[j - 1][1]))
            best = max(best, current[j])
        previous = current
    return best[1]


def tesseract(image, psm):
    """What tesseract reads; an image list (one file a line) gives one text
    per image, separated by form feeds."""
    # One thread each: two readers run side by side, and tesseract's own
    # threads would only contend for the same cores.
    env = dict(os.environ, OMP_THREAD_LIMIT="1")
    result = subprocess.run(["tesseract", image, "-", "-l", "chi_sim", "--psm", psm],
                            capture_output=True, text=True, env=env)
    return result.stdout


def read_picture(picture, rect, boxes, workdir):
    """The window cut out of the picture read four ways, and each box (in
    screen coordinates, None for none) read eight: (texts of the whole
    window, [texts of each box])."""
    base = os.path.join(workdir, os.path.basename(picture)[:-4])
    # One convert for every cut: the window and each box, grey, three times
    # as large; each inverted too, and each made black and white, for dark
    # text (below 40% grey) and for light text (above 60%). A caption's
    # black text on a mid-blue bar is lost in grey and found in black and
    # white; a disabled label's light grey the other way round.
    cuts = [("window", rect)] + [("box%d" % i, (b[0] - 3, b[1] - 3, b[2] + 3, b[3] + 3))
                                 for i, b in enumerate(boxes) if b]
    command = ["convert", picture, "-colorspace", "Gray"]
    for name, (l, t, r, b) in cuts:
        out = "%s-%s" % (base, name)
        command += ["(", "+clone", "-crop", "%dx%d+%d+%d" % (r - l, b - t, max(l, 0), max(t, 0)), "+repage",
                    "-resize", "300%", "-write", out + ".png",
                    "(", "+clone", "-threshold", "40%", "-write", out + "-dark.png", "+delete", ")",
                    "-negate", "-write", out + "-inverted.png",
                    "-threshold", "40%", "-write", out + "-light.png", "+delete", ")"]
    subprocess.run(command + ["null:"], check=True)
    whole = base + "-window.png"
    texts = [normalise(tesseract(whole, "6")), normalise(tesseract(whole, "11")),
             normalise(tesseract(base + "-window-inverted.png", "6")),
             normalise(tesseract(base + "-window-dark.png", "6"))]
    placed = [i for i, box in enumerate(boxes) if box]
    per_box = [[] for _ in boxes]
    if placed:
        for kind in ("", "-inverted", "-dark", "-light"):
            listing = "%s-boxes%s.list" % (base, kind)
            with open(listing, "w") as f:
                f.write("\n".join("%s-box%d%s.png" % (base, i, kind) for i in placed) + "\n")
            # As a line, and as a raw line (no search for the line in the image).
            for psm in ("7", "13"):
                pages = tesseract(listing, psm).split("\f")
                for i, page in zip(placed, pages):
                    per_box[i].append(normalise(page))
    return texts, per_box


def tesseract_version():
    result = subprocess.run(["tesseract", "--version"], capture_output=True, text=True)
    return (result.stdout + result.stderr).splitlines()[:1]


def read_cached(picture, rect, boxes, workdir, cache, version):
    """read_picture, through the cache when there is one."""
    if not cache:
        return read_picture(picture, rect, boxes, workdir)
    digest = hashlib.sha256()
    with open(picture, "rb") as f:
        digest.update(f.read())
    digest.update(json.dumps([rect, boxes, version]).encode())
    kept = os.path.join(cache, digest.hexdigest() + ".json")
    if os.path.exists(kept):
        with open(kept, encoding="utf-8") as f:
            texts, per_box = json.load(f)
        return texts, per_box
    texts, per_box = read_picture(picture, rect, boxes, workdir)
    with open(kept + ".part", "w", encoding="utf-8") as f:
        json.dump([texts, per_box], f, ensure_ascii=False)
    os.replace(kept + ".part", kept)
    return texts, per_box


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("screens")
    parser.add_argument("--overall", type=float, default=95.0)
    parser.add_argument("--each", type=float, default=90.0)
    parser.add_argument("--cache")
    args = parser.parse_args()

    pictures = []
    for name in sorted(os.listdir(args.screens)):
        if not name.endswith(".txt") or not os.path.exists(os.path.join(args.screens, name[:-4] + ".png")):
            continue
        with open(os.path.join(args.screens, name), encoding="utf-8") as f:
            lines = f.read().splitlines()
        if not lines or not lines[0].startswith("window "):
            continue
        rect = [int(v) for v in lines[0].split()[1:5]]
        expected, boxes = [], []
        for line in lines[1:]:
            place, _, text = line.partition("\t")
            if not normalise(text):
                continue
            expected.append(normalise(text))
            boxes.append([int(v) for v in place.split()] if place and not place.startswith("-") else None)
        pictures.append((os.path.join(args.screens, name[:-4] + ".png"), rect, expected, boxes))
    if not pictures:
        print("legibility: no pictures with expected texts in %s" % args.screens)
        return 1

    with tempfile.TemporaryDirectory() as workdir, concurrent.futures.ThreadPoolExecutor(2) as pool:
        version = tesseract_version()
        if args.cache:
            os.makedirs(args.cache, exist_ok=True)
        reads = list(pool.map(lambda p: read_cached(p[0], p[1], p[3], workdir, args.cache, version), pictures))

    total = hits = 0
    lowest = (101.0, "")
    for (picture, _, expected, _), (texts, per_box) in zip(pictures, reads):
        want = sum(len(line) for line in expected)
        got = 0
        missed = []
        for line, own in zip(expected, per_box):
            n = max(found(line, text) for text in texts + own)
            got += n
            if n < len(line):
                missed.append("%s (%d of %d)" % (line, n, len(line)))
        share = 100.0 * got / want if want else 100.0
        lowest = min(lowest, (share, os.path.basename(picture)))
        total += want
        hits += got
        print("   %-32s %5.1f%%  %d of %d characters" % (os.path.basename(picture), share, got, want))
        for line in missed:
            print("        not all read: %s" % line)
    overall = 100.0 * hits / total
    ok = overall >= args.overall and lowest[0] >= args.each
    print("Legibility: %.1f%% of %d expected characters read back over %d pictures; lowest %.1f%% (%s); %s" %
          (overall, total, len(pictures), lowest[0], lowest[1],
           "holds" if ok else "FAILS (needs %.0f%% overall, %.0f%% each)" % (args.overall, args.each)))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
