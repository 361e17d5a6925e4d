"""Checking a Python implementation of an algorithm against the reference.

    >>> import smtrace
    >>> result = smtrace.verify("raita", my_raita)
    >>> print(result.report)

my_raita(pattern: bytes, text: bytes) returns the trace, a list of int.
Everything else is the smtrace tool's: `smtrace verify ALGORITHM --connect
R,W` generates the cases, sends each one down a pipe, reads the trace back,
compares it with the reference library's, and on the first divergence
explains it and shrinks it, exactly as for a command (see smtrace verify
--help). This module only serves the function on the tool's two pipes.

The tool is $SMTRACE_TOOL, else build/bin/smtrace of the source tree this
package sits in; it finds the libraries as always ($SMTRACE_LIB_DIR, else
../lib beside it).
"""

import json
import operator
import os
import subprocess
import threading
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, List, Optional, Sequence

__all__ = ["VerifyResult", "tool_path", "verify"]


@dataclass(frozen=True)
class VerifyResult:
    """What smtrace verify found: its exit status (0 every case agrees, 1 a
    case diverges) and its report, as the tool printed it."""

    status: int
    report: str

    @property
    def ok(self) -> bool:
        return self.status == 0

    def __bool__(self) -> bool:
        return self.ok

    def __str__(self) -> str:
        return self.report


def tool_path() -> Path:
    """The smtrace tool verify runs."""
    chosen = os.environ.get("SMTRACE_TOOL")
    if chosen:
        return Path(chosen)
    return Path(__file__).resolve().parents[2] / "build" / "bin" / "smtrace"


def _answer(function: Callable[[bytes, bytes], Sequence[int]], pattern: bytes, text: bytes) -> str:
    """The trace line for one case, or "!" and what went wrong."""
    try:
        positions = function(pattern, text)
    except Exception as error:  # reported as the divergence, like a crash
        return "!" + f"{type(error).__name__}: {error}".replace("\n", " ") + "\n"
    if isinstance(positions, (str, bytes, bytearray)):
        return f"!it returned a {type(positions).__name__}, not a list of positions\n"
    try:
        return "".join(f"{operator.index(position)} " for position in positions) + "\n"
    except TypeError:
        return f"!it returned {positions!r:.80}, not a list of int\n"


def _serve(function, cases_fd: int, answers_fd: int) -> None:
    # Each case is one JSON line whose strings hold one character per byte.
    with open(cases_fd, "rb") as cases, open(answers_fd, "wb") as answers:
        for line in cases:
            case = json.loads(line)
            answer = _answer(
                function, case["pattern"].encode("latin-1"), case["text"].encode("latin-1")
            )
            try:
                answers.write(answer.encode("ascii", "backslashreplace"))
                answers.flush()
            except BrokenPipeError:
                return


def verify(
    algorithm: str,
    function: Callable[[bytes, bytes], Sequence[int]],
    *,
    cases: Optional[int] = None,
    seed: Optional[int] = None,
    max_text: Optional[int] = None,
    cases_file: Optional[str] = None,
    timeout: Optional[float] = None,
    shrink_runs: Optional[int] = None,
) -> VerifyResult:
    """Checks function(pattern, text) -> list of positions against the
    reference trace of the algorithm, on the cases smtrace verify generates
    (or those of a golden file), and returns the tool's status and report.

    The options are the tool's (None: its default). A call of the function
    that raises is a divergence; one that does not return within the
    timeout is one too, and as Python cannot stop it, it goes on in a
    daemon thread while verify returns.

    Raises ValueError for bad arguments or an unknown algorithm, OSError
    when the tool, a library or the cases file cannot be used.
    """
    if not callable(function):
        raise TypeError("function must be callable as function(pattern, text)")
    options: List[str] = []
    for name, value in (
        ("--cases", cases),
        ("--seed", seed),
        ("--max-text", max_text),
        ("--cases-file", cases_file),
        ("--timeout", timeout),
        ("--shrink-runs", shrink_runs),
    ):
        if value is not None:
            options += [name, str(value)]

    # Two pipes: the tool writes the cases into one and reads the answers
    # from the other; it gets the ends it uses, this process keeps the rest.
    cases_read, cases_write = os.pipe()
    answers_read, answers_write = os.pipe()
    label = getattr(function, "__qualname__", None) or type(function).__name__
    module = getattr(function, "__module__", None)
    options += ["--name", f"the Python function {module + '.' if module else ''}{label}"]
    command = [str(tool_path()), "verify", str(algorithm), *options,
               "--connect", f"{answers_read},{cases_write}"]
    try:
        process = subprocess.Popen(
            command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            pass_fds=(answers_read, cases_write),
        )
    except OSError as failure:
        for fd in (cases_read, cases_write, answers_read, answers_write):
            os.close(fd)
        raise OSError(f"cannot run the smtrace tool {command[0]}: {failure} "
                      "(SMTRACE_TOOL names it)") from None
    os.close(answers_read)
    os.close(cases_write)
    server = threading.Thread(
        target=_serve, args=(function, cases_read, answers_write), daemon=True,
        name="smtrace.verify",
    )
    server.start()
    out, err = process.communicate()
    # The tool has closed its ends: the server sees the end of the cases,
    # unless the function it is running never returns.
    server.join(timeout=1.0)

    report = out.decode("utf-8", "replace")
    if process.returncode in (0, 1):
        return VerifyResult(process.returncode, report)
    message = err.decode("utf-8", "replace").splitlines()
    message = message[0] if message else f"smtrace verify ended with status {process.returncode}"
    if message.startswith("smtrace: "):
        message = message[len("smtrace: "):]
    if process.returncode in (2, 3, 6):
        raise ValueError(message)
    if process.returncode in (4, 5):
        raise OSError(message)
    raise RuntimeError(message)
