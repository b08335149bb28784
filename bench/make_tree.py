#!/usr/bin/env python3
"""Writes a product tree for the benchmarks.

  make_tree.py FOLDER [--files N] [--mb M] [--max-mb X] [--kind mixed|zeros]

mixed: N files between 1 KB and X MB (default 10,000 files, 200 MB, 20 MB)
in a folder tree three levels deep. Most files are small (as in real
products: scripts, resources, headers), a few are large (libraries, data
packs); the largest is X MB. Half the files are random bytes (already
compressed media), half are text cut from a word pool (compresses about 3:1).
zeros: the same shape with compressible content (a repeating page), for the
memory run of a product of several gigabytes that still packs quickly.
The tree is the same for the same arguments.
"""
import argparse
import math
import os
import random

KB, MB = 1 << 10, 1 << 20


def sizes(rng, files, total, largest):
    big = max(1, files // 500)  # 20 large files in 10,000
    out = [largest]
    out += [int(math.exp(rng.uniform(math.log(MB), math.log(largest)))) for _ in range(big - 1)]
    small = [math.exp(rng.uniform(math.log(KB), math.log(64 * KB))) for _ in range(files - big)]
    # Scale the small files so that the whole tree comes to the total.
    rest = max(total - sum(out), KB * len(small))
    scale = rest / sum(small)
    out += [min(largest, max(KB, int(s * scale))) for s in small]
    rng.shuffle(out)
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("folder")
    ap.add_argument("--files", type=int, default=10000)
    ap.add_argument("--mb", type=int, default=200)
    ap.add_argument("--max-mb", type=int, default=20)
    ap.add_argument("--kind", choices=["mixed", "zeros"], default="mixed")
    a = ap.parse_args()

    rng = random.Random(1978)
    words = [b"install", b"folder", b"program", b"setup", b"data", b"file", b"value", b"window",
             b"\xe5\xae\x89\xe8\xa3\x85", b"\xe6\x96\x87\xe4\xbb\xb6", b"=", b"0x1F", b"\n"]
    text = bytearray()
    while len(text) < 8 * MB:
        text += b" ".join(rng.choice(words) for _ in range(16)) + b"\n"
    noise = rng.randbytes(8 * MB)
    page = bytes(range(256)) * 16

    total = 0
    plan = sizes(rng, a.files, a.mb * MB, a.max_mb * MB)
    for i, size in enumerate(plan):
        folder = os.path.join(a.folder, f"mod{i % 8}", f"part{i % 23}", f"sub{i % 5}")
        os.makedirs(folder, exist_ok=True)
        random_bytes = a.kind == "mixed" and i % 2 == 1
        name = os.path.join(folder, f"f{i:05d}.{'bin' if random_bytes else 'txt'}")
        with open(name, "wb") as f:
            left = size
            while left > 0:
                if a.kind == "zeros":
                    piece = page * (min(left, MB) // len(page) + 1)
                    piece = piece[:min(left, MB)]
                else:
                    pool = noise if random_bytes else text
                    n = min(left, MB)
                    at = rng.randrange(0, len(pool) - n + 1)
                    piece = pool[at:at + n]
                f.write(piece)
                left -= len(piece)
        total += size
    print(f"tree: {len(plan)} files, {total / MB:.0f} MB, largest {max(plan) / MB:.1f} MB, "
          f"smallest {min(plan) / KB:.1f} KB")


if __name__ == "__main__":
    main()
