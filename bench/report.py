#!/usr/bin/env python3
"""Turns the benchmark suite's JSON output into the Markdown tables of
docs/benchmarks.md: the targets, every measured input with its ratios to the
allocation floor and to std::string_view::find, the complexity fits and the
printing figures.

    report.py RESULTS.json [MACHINE.txt]

With repetitions the medians are used; a run without repetitions uses its
single figures. Times are CPU times.
"""
import json
import re
import sys
from collections import defaultdict

NAME = re.compile(r"^(search|floor)/([^/]+)/([^/]+)/m(\d+)/(\d+)$")
FIND = re.compile(r"^find/([^/]+)/m(\d+)/(\d+)$")
PRINT = re.compile(r"^print/([^/]+)/([^/]+)/(\d+)$")
FAMILY = re.compile(r"^(search|floor|find)/(.+)$")

TARGET_TEXT, TARGET_M, TARGET_N, LINEAR_FROM = "dna", 8, 1 << 24, 1 << 16
MAX_FLOOR_RATIO, MAX_GROWTH, MAX_BYTES = 1.3, 1.25, 40.0


def size(n):
    n = int(n)
    if n >= 1 << 20:
        return f"{n >> 20} MiB"
    if n >= 1 << 10:
        return f"{n >> 10} KiB"
    return f"{n} B"


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = data["benchmarks"]
    medians = [b for b in runs if b.get("aggregate_name") == "median"]
    picked = medians if medians else [b for b in runs if b.get("run_type", "iteration") == "iteration"]
    figures = {}
    for b in picked:
        name = b.get("run_name", b["name"])
        name = re.sub(r"_median$", "", name)
        if b.get("error_occurred"):
            continue
        figures[name] = b
    fits = {}
    for b in runs:
        if b.get("aggregate_name") == "BigO":
            fits[b["run_name"]] = b
        elif b.get("aggregate_name") == "RMS":
            fits.setdefault(b["run_name"] + "#rms", b)
    repetitions = max((b.get("repetitions", 1) for b in runs), default=1)
    return data.get("context", {}), figures, fits, repetitions


def seconds(b):
    """CPU seconds per iteration."""
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
    return b["cpu_time"] * scale


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    context, figures, fits, repetitions = load(sys.argv[1])
    machine = open(sys.argv[2]).read().strip() if len(sys.argv) > 2 else ""

    searches = {}
    floors = {}
    finds = {}
    for name, b in figures.items():
        m = NAME.match(name)
        if m:
            kind, routine, text, pm, n = m.groups()
            (searches if kind == "search" else floors)[(routine, text, int(pm), int(n))] = b
            continue
        m = FIND.match(name)
        if m:
            finds[(m.group(1), int(m.group(2)), int(m.group(3)))] = b

    def row_figures(key):
        s = searches[key]
        routine, text, pm, n = key
        reads = s["reads"]
        t = seconds(s)
        out = {
            "time": t,
            "reads": reads,
            "per_char": s["reads_per_char"],
            "ns_read": t / reads * 1e9 if reads else float("nan"),
            "mreads": s.get("items_per_second", 0) / 1e6,
            "heap": s.get("heap_B_per_read", 0),
            "peak": s.get("peak_B_per_read", 0),
            "paired": s.get("floor_ratio"),
            "floor": None,
            "find": None,
        }
        f = floors.get(key)
        if f:
            out["floor"] = t / seconds(f)
        g = finds.get((text, pm, n))
        if g:
            out["find"] = t / seconds(g)
        return out

    def fmt(x, style=".2f"):
        return "–" if x is None else format(x, style)

    print("## Measured figures\n")
    if machine:
        print(machine + "\n")
    date = context.get("date", "")
    print(f"Run of {date}; {repetitions} repetitions, medians of CPU time. "
          f"Library build type: {context.get('library_build_type', '?')} "
          "(that of the Google Benchmark package, not of the code measured).\n")

    # ---- targets
    routines = sorted({k[0] for k in searches})
    print(f"### Targets: {TARGET_TEXT} text (4 letters), m = {TARGET_M}, {size(TARGET_N)}\n")
    print("| routine | ns/read | reads/char | ratio to floor (paired) | ratio to floor (separate runs) "
          f"| ns/read at {size(TARGET_N)} over ns/read at {size(LINEAR_FROM)} "
          "| heap B/read | peak B/read | ratio to find |")
    print("|---|---|---|---|---|---|---|---|---|")
    verdicts = []
    for r in routines:
        key = (r, TARGET_TEXT, TARGET_M, TARGET_N)
        small = (r, TARGET_TEXT, TARGET_M, LINEAR_FROM)
        if key not in searches:
            continue
        big = row_figures(key)
        growth = None
        if small in searches:
            growth = big["ns_read"] / row_figures(small)["ns_read"]
        print(f"| {r} | {big['ns_read']:.1f} | {big['per_char']:.3f} | {fmt(big['paired'])} | {fmt(big['floor'])} "
              f"| {fmt(growth)} | {big['heap']:.1f} | {big['peak']:.1f} | {fmt(big['find'], '.0f')} |")
        verdicts.append((r, big, growth))
    print()
    print(f"Targets: ratio to floor at most {MAX_FLOOR_RATIO}, growth at most {MAX_GROWTH}, "
          f"peak memory at most {MAX_BYTES:.0f} bytes per recorded read.\n")
    for r, big, growth in verdicts:
        ratio = big["paired"] if big["paired"] is not None else big["floor"]
        checks = [
            ("floor", ratio is not None and ratio <= MAX_FLOOR_RATIO, fmt(ratio)),
            ("growth", growth is not None and growth <= MAX_GROWTH, fmt(growth)),
            ("memory", max(big["heap"], big["peak"]) <= MAX_BYTES, f"{max(big['heap'], big['peak']):.1f} B"),
        ]
        text = ", ".join(f"{what} {value} {'met' if ok else 'NOT met'}" for what, ok, value in checks)
        print(f"- {r}: {text}")
    print()

    # ---- printing
    prints = [(n, b) for n, b in figures.items() if PRINT.match(n)]
    if prints:
        print("### Printing\n")
        print("| benchmark | ms per call | ns per position | MB/s |")
        print("|---|---|---|---|")
        for name, b in sorted(prints):
            count = int(PRINT.match(name).group(3))
            t = seconds(b)
            print(f"| {name} | {t * 1e3:.2f} | {t / count * 1e9:.2f} | {b.get('bytes_per_second', 0) / 1e6:.0f} |")
        print()

    # ---- complexity
    # Fits only for families measured at two text lengths or more.
    lengths = defaultdict(set)
    for name in figures:
        m = FAMILY.match(name)
        if m and "/" in m.group(2):
            family, n = name.rsplit("/", 1)
            lengths[family].add(n)
    family_fits = defaultdict(dict)
    for name, b in fits.items():
        if name.endswith("#rms") or len(lengths.get(name, ())) < 2:
            continue
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        coef = b.get("cpu_coefficient")
        family_fits[name]["coef"] = coef * scale if coef is not None else None
        family_fits[name]["big_o"] = b.get("big_o", "")
        rms = fits.get(name + "#rms")
        if rms is not None:
            family_fits[name]["rms"] = rms.get("rms")
    if family_fits:
        print("### Complexity fits over the text length\n")
        print("Google Benchmark's least-squares fit of CPU time per call against n (O(N)); "
              "RMS is the relative error of the fit.\n")
        print("| family | fit | coefficient (ns per text character) | RMS |")
        print("|---|---|---|---|")
        for name in sorted(family_fits):
            f = family_fits[name]
            coef_ns = f.get("coef")
            rms = f.get("rms")
            print(f"| {name} | {f.get('big_o', '')} | {fmt(coef_ns)} | {fmt(rms * 100 if rms is not None else None, '.0f')}% |")
        print()

    # ---- every input
    print("### Every measured input\n")
    print("Ratios: the call's CPU time over the floor's for the same number of recorded reads "
          "(paired: timed in alternation; separate: the two benchmarks' medians), and over "
          "std::string_view::find on the same text.\n")
    print("| routine | text | m | n | time (µs) | reads/char | ns/read | Mreads/s | floor (paired) "
          "| floor (separate) | over find | heap B/read | peak B/read |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for key in sorted(searches, key=lambda k: (k[0], k[1].startswith("hard"), k[1], k[2], k[3])):
        f = row_figures(key)
        r, text, pm, n = key
        print(f"| {r} | {text} | {pm} | {size(n)} | {f['time'] * 1e6:.1f} | {f['per_char']:.3f} | {f['ns_read']:.1f} "
              f"| {f['mreads']:.1f} | {fmt(f['paired'])} | {fmt(f['floor'])} | {fmt(f['find'], '.0f')} "
              f"| {f['heap']:.1f} | {f['peak']:.1f} |")
    print()


if __name__ == "__main__":
    main()
