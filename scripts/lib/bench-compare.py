#!/usr/bin/env python3
"""Summarises one benchmark run alternately on two builds (scripts/bench
--against): for every figure the benchmark prints as "OURS ... ratio R", both
ratios against the reference, and ours(now)/ours(REV) pair by pair with its
spread. Also the tick lateness p99 and missed ticks where a benchmark prints
them.

A result line is one with the word "ratio"; each "ratio" is paired with the
first decimal number before it (since the previous ratio's figure), which
every benchmark prints as its own cost. Usage:
bench-compare.py OUT_DIR NAME RUNS REV_LABEL"""
import re
import statistics
import sys

NUMBER = re.compile(r"\d+\.\d+")


def figures(text):
    """[(label, ours, ratio)] of every result line, in order."""
    found = []
    for line in text.splitlines():
        if "ratio" not in line:
            continue
        head, _, rest = line.partition(": ")
        body = rest if rest else line
        label_base = head if rest else ""
        pos = 0
        for m in re.finditer(r"\bratio\b", body):
            after = NUMBER.search(body, m.end())
            before = NUMBER.search(body, pos, m.start())
            if not after or not before:
                continue
            words = re.sub(r"\s+", " ", body[pos:before.start()]).strip(" ,;:")
            label = (label_base + " " + words).strip()[:48]
            found.append((label, float(before.group()), float(after.group())))
            pos = after.end()
    return found


def counters(text):
    """{'p99': ms, 'missed': n} where the output has them."""
    out = {}
    for key in ("p99", "missed"):
        m = re.search(r"\b%s=(\d+)" % key, text)
        if m:
            out[key] = int(m.group(1))
    return out


def spread(values):
    if not values:
        return "-"
    mean = statistics.fmean(values)
    sd = statistics.stdev(values) if len(values) > 1 else 0.0
    return "%.2f ± %.2f" % (mean, sd)


def main():
    out_dir, name, runs, rev = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    sides = {"now": [], "rev": []}
    for side in sides:
        for run in range(1, runs + 1):
            try:
                with open("%s/%s.%s.%d" % (out_dir, name, side, run)) as f:
                    text = f.read()
            except OSError:
                text = ""
            sides[side].append(text)
    print("== %s: now vs %s, %d runs each, taking turns" % (name, rev, runs))
    parsed = {s: [figures(t) for t in texts] for s, texts in sides.items()}
    if not any(parsed["now"]) and not any(parsed["rev"]):
        for side in sides:
            last = [t.strip().splitlines()[-1] if t.strip() else "(no output)" for t in sides[side]]
            print("   %s: %s" % (side, " | ".join(last)))
        return
    width = max(len(p) for p in parsed["now"] + parsed["rev"])
    for i in range(width):
        row = {}
        label = ""
        for side in sides:
            pairs = [p[i] for p in parsed[side] if len(p) > i]
            row[side] = pairs
            if pairs and not label:
                label = pairs[0][0]
        ratio_now = [r for _, _, r in row["now"]]
        ratio_rev = [r for _, _, r in row["rev"]]
        # Pair by pair: run k of now against run k of REV, measured back to back.
        now_by_run = [p[i][1] if len(p) > i else None for p in parsed["now"]]
        rev_by_run = [p[i][1] if len(p) > i else None for p in parsed["rev"]]
        rel = [a / b for a, b in zip(now_by_run, rev_by_run) if a is not None and b and b > 0]
        print("   %s" % (label or "figure %d" % (i + 1)))
        print("     ratio to reference: now %s, %s %s" % (spread(ratio_now), rev, spread(ratio_rev)))
        print("     ours(now)/ours(%s): %s  (runs: %s)"
              % (rev, spread(rel), ", ".join("%.2f" % r for r in rel) or "-"))
    for side in sides:
        c = [counters(t) for t in sides[side]]
        if any(c):
            print("     %s: p99 lateness ms %s; missed ticks %s" % (
                side if side == "now" else rev,
                ", ".join(str(x.get("p99", "-")) for x in c),
                ", ".join(str(x.get("missed", "-")) for x in c)))
    for side in sides:
        bad = [k + 1 for k, t in enumerate(sides[side]) if "(failed" in t or "(no bench_" in t]
        if bad:
            print("     %s: runs %s failed or missing (see %s)" % (side, bad, out_dir))


if __name__ == "__main__":
    main()
