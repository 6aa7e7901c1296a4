#!/usr/bin/env python3
"""Word error rate of a hypothesis text against a reference text.

Usage: wer.py REFERENCE HYPOTHESIS   (plain text files; case and punctuation
are ignored, as in the recognizer benchmark)."""
import re
import sys


def words(path):
    with open(path, encoding="utf-8") as f:
        return re.sub(r"[^a-z0-9' ]", " ", f.read().lower()).split()


def main():
    ref, hyp = words(sys.argv[1]), words(sys.argv[2])
    prev = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        cur = [i] + [0] * len(hyp)
        for j, h in enumerate(hyp, 1):
            cur[j] = min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (r != h))
        prev = cur
    print(f"WER {prev[-1] / max(1, len(ref)):.3f} ({prev[-1]} errors, {len(ref)} reference words)")


if __name__ == "__main__":
    main()
