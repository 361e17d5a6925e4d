"""Corpus studies: reads per text character against pattern length.

    >>> import smtrace
    >>> result = smtrace.study(generate=["random4:64K"], lengths=[4, 16], patterns=10)
    >>> row = result["summary"][0]
    >>> row["algorithm"], row["m"], row["reads_per_character"]["median"]
    ('turbo_reverse_factor', 4, 0.54...)

The study runs in the smtrace tool (smtrace study --json), which loads the
libraries in worker processes; this returns its JSON, parsed. The tool is
$SMTRACE_TOOL, else bin/smtrace beside the libraries' directory (build/bin
in the source tree).
"""

import json
import os
import subprocess
from pathlib import Path
from typing import Iterable, Optional, Sequence, Union

PathLike = Union[str, os.PathLike]


def _tool() -> Path:
    chosen = os.environ.get("SMTRACE_TOOL")
    if chosen:
        return Path(chosen)
    from . import library_directory  # the package's own lookup of the libraries

    return library_directory().parent / "bin" / "smtrace"


def study(
    texts: Iterable[PathLike] = (),
    generate: Iterable[str] = (),
    lengths: Optional[Sequence[int]] = None,
    patterns: Optional[int] = None,
    seed: Optional[int] = None,
    present: Optional[bool] = None,
    absent: bool = False,
    jobs: Optional[int] = None,
    shard: Optional[Sequence[int]] = None,
    parts: Iterable[PathLike] = (),
) -> dict:
    """Runs a study and returns what smtrace study --json prints:

    {"format": "smtrace study 1",
     "study": {"texts": [{"name", "length", "fnv1a64"}], "kinds": ["present", "absent"],
               "lengths": [...], "patterns": int, "seed": int, "algorithms": [...]},
     "shard": {"index": K, "count": N}              (only for a part)
     "per_character": {"present": "...", "absent": "..."},
     "cases": [{"case", "text", "kind", "m", "draw", "position", "first", "pattern",
                "figures": {algorithm: {"reads", "compares", "look_aheads", "dropped",
                                        "occurrence"} or {"refused": True}}}],
     "summary": [{"text", "kind", "m", "algorithm", "patterns", "refused",
                  "reads_per_character": {"mean", "median", "q1", "q3"} or None,
                  "compares_per_character": ..., "look_aheads_per_character": ...,
                  "dropped_per_character": ...}]}

    texts are paths of text files, generated texts as KIND:SIZE such as "random4:1M" or
    "english:64K"; lengths default to 2, 4, 8, 16, 32, 64 and patterns to 100
    per length; present patterns are studied unless only absent=True is
    asked for (present=True, absent=True gives both). shard=(K, N) runs the
    K-th of N parts; parts=[files] merges the parts' JSON instead of running.
    A pattern's str holds one character per byte (encode it as latin-1).

    Raises RuntimeError with the tool's message when it fails (a missing
    library, a worker that died, bad arguments), OSError when the tool
    cannot be started.
    """
    parts = [os.fspath(part) for part in parts]
    if parts:
        args = ["study", "merge", "--json", "--", *parts]
    else:
        args = ["study", "--json"]
        for path in texts:
            args += ["--text-file", os.fspath(path)]
        for kind_size in generate:
            args += ["--generate", str(kind_size)]
        if lengths is not None:
            args += ["--lengths", ",".join(str(int(m)) for m in lengths)]
        if patterns is not None:
            args += ["--patterns", str(int(patterns))]
        if seed is not None:
            args += ["--seed", str(int(seed))]
        if present or (present is None and not absent):
            args.append("--present")
        if absent:
            args.append("--absent")
        if jobs is not None:
            args += ["--jobs", str(int(jobs))]
        if shard is not None:
            index, count = shard
            args += ["--shard", f"{int(index)}/{int(count)}"]
    done = subprocess.run([str(_tool()), *args], capture_output=True)
    if done.returncode != 0:
        message = done.stderr.decode(errors="replace").strip().splitlines()
        raise RuntimeError(
            f"smtrace study failed (status {done.returncode}): "
            + (message[0] if message else "no message")
        )
    return json.loads(done.stdout)
