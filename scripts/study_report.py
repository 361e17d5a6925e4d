"""Writes the results section of docs/study.md from a study's JSON.

    python3 scripts/study_report.py STUDY.json TIMING DATE JOBS docs/study.md

The section lies between the two "study results" markers of the document;
everything else in it is left as it is. TIMING holds the --timing lines of
the run's parts, DATE the day it ran, JOBS its worker count.
"""

import json
import re
import sys
from pathlib import Path

BEGIN = "<!-- study results: written by scripts/study.sh -->"
END = "<!-- end of the study results -->"


def figure(value):
    return f"{value:.3f}"


def main(study_path, timing_path, date_path, jobs, document_path):
    study = json.loads(Path(study_path).read_text())
    timing = Path(timing_path).read_text()
    date = Path(date_path).read_text().strip()
    definition = study["study"]
    texts = definition["texts"]
    algorithms = definition["algorithms"]
    lengths = definition["lengths"]
    rows = {(r["text"], r["kind"], r["m"], r["algorithm"]): r for r in study["summary"]}

    seconds = [float(s) for s in re.findall(r"cases, [0-9]+ workers?, ([0-9.]+) s in all", timing)]
    calls = [float(s) for s in re.findall(r"in the library calls ([0-9.]+) s", timing)]
    entries = [float(s) for s in re.findall(r"entries ([0-9.]+) s", timing)]
    summaries = [float(s) for s in re.findall(r"summaries ([0-9.]+) s", timing)]

    out = [BEGIN, ""]
    out.append(
        f"The reference study as `scripts/study.sh` ran it on {date}: "
        f"{len(study['cases'])} cases ({', '.join(t['name'] for t in texts)}; "
        f"lengths {', '.join(map(str, lengths))}; {definition['patterns']} patterns per text, "
        f"length and kind; seed {definition['seed']}), in {len(seconds)} parts one after "
        f"the other, {jobs} workers each."
    )
    if seconds:
        out.append(
            f"It took {sum(seconds) / 60:.1f} minutes in all; the workers spent "
            f"{sum(calls) / 60:.1f} minutes inside the library calls "
            f"({sum(entries) / 60:.1f} in the entry calls, {sum(summaries) / 60:.1f} in "
            f"`smtrace_summarize`), on the shared machine described under Speed."
        )
    out += ["", "![reads per character against pattern length, reference study](study/reference.svg)", ""]
    out.append(
        "Each cell: the median of reads per character, and in brackets the first and the "
        "third quartile. Patterns that occur count the characters read through, up to the "
        "end of the routine's own first occurrence (reads / (occurrence + m)); absent "
        "patterns count the whole text (reads / n). Every figure, for compares, look-aheads "
        "and dropped reads too, is in [study/reference.csv](study/reference.csv)."
    )
    out.append("")
    for kind, title in (("present", "Patterns that occur"), ("absent", "Patterns absent from the text")):
        if kind not in definition["kinds"]:
            continue
        out += [f"### {title}", ""]
        for t, text in enumerate(texts):
            out += [f"**{text['name']}** ({text['length']} bytes), reads per character", ""]
            out.append("| algorithm | " + " | ".join(f"m = {m}" for m in lengths) + " |")
            out.append("|---|" + "---|" * len(lengths))
            for name in algorithms:
                cells = []
                for m in lengths:
                    row = rows[(t, kind, m, name)]
                    s = row["reads_per_character"]
                    if s is None:
                        cells.append("refused")
                        continue
                    cell = f"{figure(s['median'])} [{figure(s['q1'])}, {figure(s['q3'])}]"
                    if row["refused"]:
                        cell += f" ({row['refused']} refused)"
                    cells.append(cell)
                out.append(f"| `{name}` | " + " | ".join(cells) + " |")
            out.append("")
        # Compares, look-aheads and dropped reads, as means, for one text.
        out.append(
            "Means per character of compares, look-aheads and dropped reads (compares / "
            "look-aheads / dropped), random text over 4 letters:"
            if any(t["name"].startswith("random4:") for t in texts)
            else "Means per character of compares, look-aheads and dropped reads:"
        )
        out.append("")
        t = next((i for i, x in enumerate(texts) if x["name"].startswith("random4:")), 0)
        out.append("| algorithm | " + " | ".join(f"m = {m}" for m in lengths) + " |")
        out.append("|---|" + "---|" * len(lengths))
        for name in algorithms:
            cells = []
            for m in lengths:
                row = rows[(t, kind, m, name)]
                if row["compares_per_character"] is None:
                    cells.append("refused")
                    continue
                cells.append(" / ".join(figure(row[f"{f}_per_character"]["mean"])
                                        for f in ("compares", "look_aheads", "dropped")))
            out.append(f"| `{name}` | " + " | ".join(cells) + " |")
        out.append("")
    out.append(END)

    document = Path(document_path)
    text = document.read_text()
    begin, end = text.find(BEGIN), text.find(END)
    if begin < 0 or end < begin:
        sys.exit(f"study_report: {document_path} lacks the study results markers")
    document.write_text(text[:begin] + "\n".join(out) + text[end + len(END):])


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
