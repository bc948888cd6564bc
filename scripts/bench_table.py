#!/usr/bin/env python3
"""Prints the benchmark figures (UI-thread CPU time) as one table with the growth for
10x the data (L / M), table three against stock Qt, and the goals each figure must meet.

Each argument is the output of one round: every measure once at each size, the sizes one
after the other. A figure is the median over the rounds; a ratio is the median over the
rounds of the ratio within each round, so that it compares sizes measured seconds apart
on a machine whose speed drifts from minute to minute. One file with the aggregates of
repetitions is read as one round of their medians."""
import json
import statistics
import sys
import unicodedata

MEASURES = [  # benchmark, caption, goal at L in ms (None: none)
    ("BM_LoadStoredAllocation", "1  load, stored allocation", None),
    ("BM_LoadFromExecutionReports", "2  load, from execution reports", None),
    ("BM_FairDistribution", "3  fair distribution", None),
    ("BM_FullSaveChecks", "4  full-save checks", None),
    ("BM_SaveAllocation", "4+ save: write-back of the areas", None),
    ("BM_TypeWonVolume", "5a one typed won volume", 5.0),
    ("BM_AddRowClick", "5b one \"+添加\" click", 5.0),
    ("BM_FirstAddRowClickAfterLoad", "5c first \"+添加\" after a load", 5.0),
    ("BM_TimerTickDrains10000Keys", "6a tick draining 10,000 keys", 50.0),
    ("BM_OnPositionStat", "6b one onPositionStat", None),
    ("BM_TableThreeLoadStored", "7  table three load, panel", None),
    ("BM_StockQtTableThree", "7  table three load, stock Qt", None),
]
SIZES = ["S", "M", "L"]
TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
MAX_GROWTH = 12.0
MAX_PANEL_TO_STOCK = 0.5


def rounds_of(path):
    """{(benchmark, size): CPU time in ms} of one round."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    out = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") != "median" or b.get("error_occurred"):
            continue
        name, arg = b["run_name"].split("/")[:2]
        out[(name, SIZES[int(arg)])] = b["cpu_time"] * TO_MS[b["time_unit"]]
    return out


def median_of(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def ratio(rounds, top, bottom):
    """The median over the rounds of top / bottom within each round."""
    return median_of([r[top] / r[bottom] if r.get(top) and r.get(bottom) else None for r in rounds])


def width(cell):
    """Columns a cell takes in a terminal: CJK characters take two."""
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in cell)


def pad(cell, columns):
    return cell + " " * (columns - width(cell))


def text(ms):
    if ms is None:
        return "-"
    if ms < 0.001:
        return "%.0f ns" % (ms * 1e6)
    if ms < 1:
        return "%.1f us" % (ms * 1e3)
    return "%.2f ms" % ms


def main():
    rounds = [rounds_of(path) for path in sys.argv[1:]]
    misses = []
    rows = [("Measure", "S", "M", "L", "L/M", "panel/stock", "goal")]
    for name, caption, goal_ms in MEASURES:
        s, mm, l = (median_of([r.get((name, size)) for r in rounds]) for size in SIZES)
        growth = ratio(rounds, (name, "L"), (name, "M"))
        notes = []
        if growth is not None and growth > MAX_GROWTH:
            notes.append("L/M > %g" % MAX_GROWTH)
        shown = ""
        if name == "BM_TableThreeLoadStored":
            to_stock = ratio(rounds, (name, "L"), ("BM_StockQtTableThree", "L"))
            if to_stock is not None:
                shown = "%.2f" % to_stock
                if to_stock > MAX_PANEL_TO_STOCK:
                    notes.append("panel/stock > %g" % MAX_PANEL_TO_STOCK)
        if goal_ms is not None and l is not None and l >= goal_ms:
            notes.append("L >= %g ms" % goal_ms)
        if l is None:
            notes.append("no result")
        misses.extend(caption.strip() + ": " + n for n in notes)
        goal = "MISS " + "; ".join(notes) if notes else "ok"
        rows.append((caption, text(s), text(mm), text(l), "%.1f" % growth if growth else "-", shown, goal))
    widths = [max(width(r[i]) for r in rows) for i in range(len(rows[0]))]
    for i, r in enumerate(rows):
        print("| " + " | ".join(pad(c, widths[k]) for k, c in enumerate(r)) + " |")
        if i == 0:
            print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    print()
    print("Medians over %d round(s) of the UI thread's CPU time; L/M and panel/stock: medians of each round's ratio."
          % len(rounds))
    print("Goals: every L/M <= %g; table three's panel load <= %g x stock Qt;"
          % (MAX_GROWTH, MAX_PANEL_TO_STOCK))
    print("at L a typed won volume and a \"+添加\" click < 5 ms, a tick draining 10,000 keys < 50 ms.")
    if misses:
        print("MISSED: " + "; ".join(misses))
    return 0


if __name__ == "__main__":
    sys.exit(main())
