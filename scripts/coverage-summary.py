#!/usr/bin/env python3
"""Sums up gcovr's JSON report per source file. A header that one layer library reaches through its
folder of links (build/layers/<library>/...) is the same file as under src/: its counts are
merged, so that it counts once, as the program's own file.
usage: coverage-summary.py REPORT.json [--per-file]"""
import json
import os
import sys

report = json.load(open(sys.argv[1]))
files = {}
for entry in report["files"]:
    path = os.path.relpath(os.path.realpath(entry["file"]))
    lines = files.setdefault(path, {})
    for line in entry["lines"]:
        if line.get("gcovr/noncode") or line.get("gcovr/excluded"):
            continue
        count, branches = lines.get(line["line_number"], (0, []))
        counts = [b["count"] for b in line["branches"]]
        if len(counts) > len(branches):
            branches = branches + [0] * (len(counts) - len(branches))
        branches = [have + (counts[i] if i < len(counts) else 0) for i, have in enumerate(branches)]
        lines[line["line_number"]] = (count + line["count"], branches)

totals = [0, 0, 0, 0]
for path, lines in sorted(files.items()):
    figures = [sum(1 for c, _ in lines.values() if c > 0), len(lines),
               sum(1 for _, bs in lines.values() for b in bs if b > 0), sum(len(bs) for _, bs in lines.values())]
    totals = [t + f for t, f in zip(totals, figures)]
    if "--per-file" in sys.argv:
        print(f"{path:60} lines {figures[0]:5}/{figures[1]:<5} branches {figures[2]:5}/{figures[3]}")
print(f"lines: {100 * totals[0] / totals[1]:.1f}% ({totals[0]} of {totals[1]})")
print(f"branches: {100 * totals[2] / totals[3]:.1f}% ({totals[2]} of {totals[3]})")
