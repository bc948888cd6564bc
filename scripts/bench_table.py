#!/usr/bin/env python3
"""Prints the figures of scripts/bench as tables and checks the goals, one line per goal and
a last line "goals: N met, M missed".

usage: bench_table.py RESULTS_DIR ROUNDS

RESULTS_DIR holds, for each round R (1..ROUNDS): panel-R.json and desk-R.json (Google
Benchmark), desk-SIZE-R.time and stock-R.time (/usr/bin/time -f "%e %U %S %M": wall s, user
s, system s, max RSS kB) and desk-SIZE-R.timings (the desk's --timings lines). A figure is
the median over the rounds; a ratio is the median over the rounds of the ratio within each
round, so that it compares figures measured seconds apart on a machine whose speed drifts."""
import json
import os
import statistics
import sys
import unicodedata

SIZES = ["S", "M", "L"]
TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}

MEASURES = [  # benchmark, caption
    ("BM_PanelFirstLoadStored", "panel first load, saved allocation, painted"),
    ("BM_PanelReloadStored", "panel reload, same bond, painted"),
    ("BM_PanelFirstLoadFromReports", "panel first load from execution reports, painted"),
    ("BM_FairDistribution", "fair distribution, table two painted"),
    ("BM_FullSaveChecks", "full-save checks"),
    ("BM_SaveAllocation", "\"保存\": checks and write-back"),
    ("BM_TypeWonVolume", "typed won volume, repainted"),
    ("BM_AddRowClick", "\"+添加\" click, repainted"),
    ("BM_FirstTypeOnColdPanel", "first typed won volume on a cold panel"),
    ("BM_FirstAddRowClickOnColdPanel", "first \"+添加\" on a cold panel"),
    ("BM_TimerTickDrains10000Keys", "tick draining 10,000 keys"),
    ("BM_OnPositionStat", "one onPositionStat"),
    ("BM_TableThreeFirstLoad", "table three first load, painted: panel"),
    ("BM_StockQtTableThreeFirstLoad", "table three first load, painted: stock Qt"),
    ("BM_ScenarioParse", "desk: scenario read (two bonds)"),
    ("BM_ReportViewShowBond", "desk: execution-report view, painted"),
    ("BM_DeskBondSwitch", "desk: bond switch, click to table three painted"),
    ("BM_DeskSave", "desk: \"保存\" committed to the file"),
    ("BM_HistoryDialog", "desk: history shown, every row changed"),
]
STOCK = {"BM_StockQtTableThreeFirstLoad"}
PHASES = [  # the desk's --timings phases
    ("start", "start: main() to the application object"),
    ("scenario", "scenario read"),
    ("store", "database opened, store loaded"),
    ("window", "window built"),
    ("panel", "panel first load"),
    ("report", "execution-report view"),
    ("paint", "layout and first paint"),
    ("png", "PNG written"),
    ("close", "window and database closed"),
    ("total", "total inside main()"),
]

GOAL_PANEL_TO_STOCK = 0.25
GOAL_DESK_TO_STOCK = 1.0
GOAL_SWITCH_MS = 50.0
GOAL_EDIT_MS = 5.0
GOAL_COLD_EDIT_MS = 16.0
GOAL_GROWTH = 11.0
GOAL_MEMORY_MIB = 80.0


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def read_benchmarks(path):
    """{(benchmark, size): UI-thread CPU time in ms} of one round's program."""
    if not os.path.exists(path):
        return {}
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    out = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred") or b.get("run_type") == "aggregate":
            continue
        name, arg = b["run_name"].split("/")[:2]
        out[(name, SIZES[int(arg)])] = b["cpu_time"] * TO_MS[b["time_unit"]]
    return out


def read_time(path):
    """(wall ms, CPU ms, max RSS MiB) of one process, or None."""
    try:
        with open(path, encoding="utf-8") as f:
            wall, user, system, rss = f.read().split()[-4:]
        return float(wall) * 1e3, (float(user) + float(system)) * 1e3, int(rss) / 1024.0
    except (OSError, ValueError):
        return None


def read_timings(path):
    """{phase: (wall ms, UI-thread CPU ms)} and {phase: peak resident MiB} of one desk run."""
    out, peaks = {}, {}
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                parts = line.split()
                if len(parts) == 7 and parts[0] == "timings:" and parts[4] == "cpu":
                    out[parts[1]] = (float(parts[2]), float(parts[5]))
                elif len(parts) >= 5 and parts[0] == "memory:" and parts[2] == "peak":
                    peaks[parts[1]] = float(parts[3])
    except OSError:
        pass
    return out, peaks


def read_round(results, r):
    figures = {}
    for program in ("panel", "desk"):
        figures.update(read_benchmarks(os.path.join(results, "%s-%d.json" % (program, r))))
    for size in SIZES:
        phases, peaks = read_timings(os.path.join(results, "desk-%s-%d.timings" % (size, r)))
        for phase, (wall, cpu) in phases.items():
            figures[("phase:" + phase, size)] = cpu
            figures[("phase wall:" + phase, size)] = wall
        for phase, peak in peaks.items():
            figures[("peak:" + phase, size)] = peak
        process = read_time(os.path.join(results, "desk-%s-%d.time" % (size, r)))
        if process:
            figures[("desk wall", size)], figures[("desk cpu", size)], figures[("desk rss", size)] = process
    stock = read_time(os.path.join(results, "stock-%d.time" % r))
    if stock:
        figures[("stock wall", "L")], figures[("stock cpu", "L")], figures[("stock rss", "L")] = stock
    return figures


def ratio(rounds, top, bottom):
    return median([r[top] / r[bottom] if r.get(top) and r.get(bottom) else None for r in rounds])


def width(cell):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in cell)


def pad(cell, columns):
    return cell + " " * (columns - width(cell))


def ms_text(ms):
    if ms is None:
        return "-"
    if ms < 0.001:
        return "%.0f ns" % (ms * 1e6)
    if ms < 1:
        return "%.1f us" % (ms * 1e3)
    return "%.2f ms" % ms


def print_table(rows):
    widths = [max(width(r[i]) for r in rows) for i in range(len(rows[0]))]
    for i, r in enumerate(rows):
        print("| " + " | ".join(pad(c, widths[k]) for k, c in enumerate(r)) + " |")
        if i == 0:
            print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    print()


def growth_rows(rounds, keys, growths, formatter=ms_text):
    rows = []
    for key, caption in keys:
        s, m, l = (median([r.get((key, size)) for r in rounds]) for size in SIZES)
        growth = ratio(rounds, (key, "L"), (key, "M"))
        if growth is not None and key not in STOCK:
            growths.append((growth, caption))
        rows.append((caption, formatter(s), formatter(m), formatter(l), "%.1f" % growth if growth else "-"))
    return rows


def main():
    if len(sys.argv) != 3 or sys.argv[1] in ("-h", "--help"):
        print(__doc__)
        return 0 if len(sys.argv) == 2 else 2
    results, count = sys.argv[1], int(sys.argv[2])
    rounds = [read_round(results, r) for r in range(1, count + 1)]
    growths = []

    print("In process (CPU time of the UI thread, medians of %d rounds):" % count)
    print()
    print_table([("Measure", "S", "M", "L", "L/M")] + growth_rows(rounds, MEASURES, growths))

    print("The desk as a process, opening the tender with its allocation saved (--timings, --screenshot);")
    print("phases in UI-thread CPU time, then the total inside main() in wall time:")
    print()
    phase_rows = growth_rows(rounds, [("phase:" + p, c) for p, c in PHASES], growths)
    phase_rows += growth_rows(rounds, [("phase wall:total", "total inside main(), wall time")], [])
    wall = growth_rows(rounds, [("desk wall", "whole process, wall time")], growths)
    cpu = growth_rows(rounds, [("desk cpu", "whole process, CPU time (all threads)")], growths)
    rss = [(c, *("%.1f MiB" % v if v else "-" for v in
                 (median([r.get(("desk rss", size)) for r in rounds]) for size in SIZES)), "-")
           for c in ["peak memory (max RSS)"]]
    print_table([("Phase", "S", "M", "L", "L/M")] + phase_rows + wall + cpu + rss)

    print("The desk's peak resident memory when each phase ended (--timings):")
    print()
    print_table([("Phase", "S", "M", "L")]
                + [(c, *("%.1f MiB" % v if v else "-" for v in
                         (median([r.get(("peak:" + p, size)) for r in rounds]) for size in SIZES)))
                   for p, c in PHASES if p != "total"])

    stock_wall = median([r.get(("stock wall", "L")) for r in rounds])
    stock_cpu = median([r.get(("stock cpu", "L")) for r in rounds])
    stock_rss = median([r.get(("stock rss", "L")) for r in rounds])
    print("Stock-Qt program, 10,000 x 10 cells filled, painted, grabbed: wall %s, CPU %s, max RSS %s."
          % (ms_text(stock_wall), ms_text(stock_cpu), "%.1f MiB" % stock_rss if stock_rss else "-"))
    print("Whole desk at L / stock program, paired in each round: wall %s, CPU %s."
          % tuple("%.2f" % v if v else "-" for v in (ratio(rounds, ("desk wall", "L"), ("stock wall", "L")),
                                                      ratio(rounds, ("desk cpu", "L"), ("stock cpu", "L")))))
    print()

    goals = []

    def goal(text, value, limit, below=False, unit=""):
        met = value is not None and (value < limit if below else value <= limit)
        goals.append(met)
        shown = "-" if value is None else ("%.2f%s" % (value, unit))
        print("%s %s (goal %s %g%s): %s" % (text, shown, "<" if below else "<=", limit, unit,
                                            "met" if met else "MISSED"))

    def at_l(name):
        return median([r.get((name, "L")) for r in rounds])

    goal("table three first load + layout + paint at L, panel / stock Qt:",
         ratio(rounds, ("BM_TableThreeFirstLoad", "L"), ("BM_StockQtTableThreeFirstLoad", "L")), GOAL_PANEL_TO_STOCK)
    goal("whole desk at L / stock-Qt 10,000-row program, wall time:",
         ratio(rounds, ("desk wall", "L"), ("stock wall", "L")), GOAL_DESK_TO_STOCK)
    goal("desk bond switch at L, click to table three painted:", at_l("BM_DeskBondSwitch"), GOAL_SWITCH_MS,
         below=True, unit=" ms")
    edits = [at_l("BM_TypeWonVolume"), at_l("BM_AddRowClick")]
    goal("typed won volume / \"+添加\" at L with repaint (%s / %s), the slower:" % tuple(map(ms_text, edits)),
         max(edits) if None not in edits else None, GOAL_EDIT_MS, below=True, unit=" ms")
    cold = [at_l("BM_FirstTypeOnColdPanel"), at_l("BM_FirstAddRowClickOnColdPanel")]
    goal("the same, first on a cold panel (%s / %s), the slower:" % tuple(map(ms_text, cold)),
         max(cold) if None not in cold else None, GOAL_COLD_EDIT_MS, below=True, unit=" ms")
    worst = max(growths) if growths else (None, "-")
    goal("every cost L / M, the largest (%s):" % worst[1], worst[0], GOAL_GROWTH)
    goal("desk peak memory at L:", median([r.get(("desk rss", "L")) for r in rounds]), GOAL_MEMORY_MIB,
         unit=" MiB")
    print("goals: %d met, %d missed" % (sum(goals), len(goals) - sum(goals)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
