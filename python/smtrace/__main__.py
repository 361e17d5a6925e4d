"""python -m smtrace: run, compare and explain from the command line, as the
smtrace tool does.

    python -m smtrace run ALGORITHM PATTERN TEXT
    python -m smtrace compare PATTERN TEXT [--json]
    python -m smtrace explain ALGORITHM PATTERN TEXT [--json]

PATTERN and TEXT may come from files instead (--pattern-file PATH,
--text-file PATH; "-" is standard input). Exit statuses: 0 done, 2 bad usage,
3 unknown algorithm, 5 unreadable file, 6 input refused.
"""

import argparse
import json
import sys
from typing import List, Optional

from . import ALGORITHMS, compare, explain, trace

_STATUS_UNKNOWN = 3
_STATUS_UNREADABLE = 5
_STATUS_REFUSED = 6


class _Failure(Exception):
    def __init__(self, status: int, message: str) -> None:
        super().__init__(message)
        self.status = status


def _read(path: str, what: str) -> bytes:
    try:
        if path == "-":
            return sys.stdin.buffer.read()
        with open(path, "rb") as source:
            return source.read()
    except OSError as failure:
        raise _Failure(_STATUS_UNREADABLE, f"cannot read the {what} file {path}: {failure.strerror}")


def _operands(options: argparse.Namespace, names: List[str]) -> List[bytes]:
    """The pattern and the text, from their operands or files."""
    given = list(options.operands)
    wanted = [name for name in names
              if not (name == "PATTERN" and options.pattern_file)
              and not (name == "TEXT" and options.text_file)]
    if len(given) != len(wanted):
        raise _Failure(2, f"{options.command} takes the operands {' '.join(wanted)}; "
                          f"{len(given)} given")
    values = dict(zip(wanted, (operand.encode("utf-8", "surrogateescape") for operand in given)))
    pattern = _read(options.pattern_file, "pattern") if options.pattern_file else values["PATTERN"]
    text = _read(options.text_file, "text") if options.text_file else values["TEXT"]
    return [pattern, text]


def _algorithm(name: str) -> str:
    if name not in ALGORITHMS:
        raise _Failure(_STATUS_UNKNOWN,
                       f'unknown algorithm "{name}"; the algorithms are {", ".join(ALGORITHMS)}')
    return name


def _run(options: argparse.Namespace) -> None:
    name = _algorithm(options.operands.pop(0)) if options.operands else ""
    if not name:
        raise _Failure(2, "run takes the operands ALGORITHM PATTERN TEXT")
    pattern, text = _operands(options, ["PATTERN", "TEXT"])
    sys.stdout.write("".join(f"{position} " for position in trace(name, pattern, text)) + "\n")


def _compare(options: argparse.Namespace) -> None:
    pattern, text = _operands(options, ["PATTERN", "TEXT"])
    figures = compare(pattern, text)
    if options.json:
        sys.stdout.write(json.dumps(figures, indent=2) + "\n")
        return
    rows = [["algorithm", "reads", "distinct", "reads/char", "most of one", "occurrence"]]
    for name, row in figures["algorithms"].items():
        if row["refused"]:
            rows.append([name, "refused", "", "", "", ""])
            continue
        per = row["reads_per_character"]
        rows.append([name, str(row["reads"]), str(row["distinct_positions"]),
                     "" if per is None else f"{per:.3g}", str(row["most_reads_of_one_position"]),
                     "none" if row["first_occurrence"] is None else str(row["first_occurrence"])])
    widths = [max(len(row[k]) for row in rows) for k in range(len(rows[0]))]
    for row in rows:
        sys.stdout.write("  ".join(cell.ljust(widths[k]) if k == 0 else cell.rjust(widths[k])
                                   for k, cell in enumerate(row)).rstrip() + "\n")


def _explain(options: argparse.Namespace) -> None:
    name = _algorithm(options.operands.pop(0)) if options.operands else ""
    if not name:
        raise _Failure(2, "explain takes the operands ALGORITHM PATTERN TEXT")
    pattern, text = _operands(options, ["PATTERN", "TEXT"])
    explained = explain(name, pattern, text)
    if options.json:
        sys.stdout.write(explained.to_json())
        return
    out = [f"{explained.title}: pattern {explained.pattern!r} (m = {explained.pattern_length}) "
           f"in a text of {explained.text_length} bytes"]
    for number, attempt in enumerate(explained.attempts, 1):
        out.append(f"attempt {number} at window {attempt.window}")
        for read in attempt.reads:
            what = read.role
            if read.pattern_index is not None and read.role == "compare":
                what += f" with x[{read.pattern_index}]"
            if read.result:
                what += f": {read.result}"
            if not read.recorded:
                what += f" (not recorded: {read.dropped})"
            out.append(f"  read {read.index + 1}: position {read.position} {read.byte!r} {what}")
        for note in attempt.notes:
            out.append(f"  {note.text}")
        shift = "" if attempt.shift is None else f"; shift {attempt.shift}: {attempt.shift_source}"
        out.append(f"  {attempt.outcome}{shift}")
    out.append("no occurrence" if explained.occurrence is None
               else f"occurrence at {explained.occurrence}")
    sys.stdout.write("\n".join(out) + "\n")


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m smtrace", description=__doc__.splitlines()[0])
    parser.add_argument("command", choices=["run", "compare", "explain"])
    parser.add_argument("operands", nargs="*")
    parser.add_argument("--pattern-file")
    parser.add_argument("--text-file")
    parser.add_argument("--json", action="store_true")
    options = parser.parse_args(argv)
    if options.json and options.command == "run":
        parser.error("run takes no --json")
    try:
        {"run": _run, "compare": _compare, "explain": _explain}[options.command](options)
    except _Failure as failure:
        print(f"smtrace: {failure}", file=sys.stderr)
        return failure.status
    except ValueError as failure:
        print(f"smtrace: {failure}", file=sys.stderr)
        return _STATUS_REFUSED
    return 0


if __name__ == "__main__":
    sys.exit(main())
