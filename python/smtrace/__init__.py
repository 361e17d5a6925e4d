"""Traces of string-matching routines, read from their shared libraries.

Each routine looks for the first occurrence of a pattern in a text; its trace
is the list of text positions it read, in reading order.

    >>> import smtrace
    >>> smtrace.trace("morris_pratt", "abab", "abacabab")
    [0, 1, 2, 3, 3, 3, 4, 5, 6, 7]
    >>> smtrace.compare("abab", "ccabaabab")["algorithms"]["raita"]["reads"]
    9

explain() tells what each read was for, as libsmtrace.so, the explaining
host library, sees the routine's own code make it:

    >>> [attempt.window for attempt in smtrace.explain("raita", "abab", "ccabaabab").attempts]
    [0, 2, 3, 5]

Patterns and texts are bytes (or ASCII str); an algorithm is its name or its
Algorithm. The libraries, libsmtrace.so among them, are looked for in
$SMTRACE_LIB_DIR, then where the package was installed from (a prefix made
by cmake --install), then in build/lib of the source tree the package sits
in, then beside an smtrace tool on the PATH, then where pkg-config's
smtrace.pc says (see library_directory). Each library is loaded once per
process. Calls are serialised: a library keeps one trace at a time.
"""

import array
import ctypes
import os
import shutil
import subprocess
import threading
from pathlib import Path
from typing import Dict, List, NamedTuple, Optional, Union

__version__ = "1.0.0"

__all__ = [
    "ALGORITHMS", "Algorithm", "Attempt", "Counts", "Edge", "Explanation", "Move", "Note", "Page",
    "Read", "Table", "VerifyResult", "compare", "compare_html", "explain", "library_directory",
    "study", "trace", "trace_array", "verify",
]

_LONGEST = 2**31 - 1  # patterns and texts have int32 lengths

# What a pattern or a text may be given as.
Operand = Union[bytes, bytearray, memoryview, str]


class Algorithm(NamedTuple):
    """One routine: its library lib<name>.so, entry function <name>, with every
    fact of its row in the table of include/smtrace.h, under the same names."""

    name: str
    routine: str  # the library's exported search routine
    title: str  # the algorithm's name for people
    program: bool  # the deliverable is also a program, bin/<name>
    refuses_8bit: bool  # a pattern byte of 128 or more would end the process
    room_fixed: int  # bytes it needs past the text, the zero byte at n included
    room_per_pattern_byte: int  # 1 when it also needs m bytes past the text
    min_m: int  # the shortest pattern it searches
    sets_txt_length: bool  # it sets txt_length to n itself
    windows: bool  # each attempt runs in a pruning window
    may_record_n: bool  # the trace may hold position n
    look_ahead: int  # how far past the first occurrence the trace may reach

    def buffer_size(self, n: int, m: int) -> int:
        """The text buffer this routine needs for n text and m pattern bytes."""
        room = self.room_fixed
        if self.room_per_pattern_byte:
            room = max(room, m)
        return n + room


# The algorithms, in the order of the table in include/smtrace.h.
ALGORITHMS: Dict[str, Algorithm] = {
    algorithm.name: algorithm
    for algorithm in (
        Algorithm("turbo_reverse_factor", "TRF", "Turbo Reverse Factor", True, True, 1, 0, 0, False, False, False, 0),
        Algorithm("morris_pratt", "MP", "Morris-Pratt", False, False, 1, 0, 0, True, False, False, 0),
        Algorithm("not_so_naive", "NSN", "Not So Naive", False, False, 1, 0, 2, True, True, False, 0),
        Algorithm("raita", "RAITA", "Raita", False, True, 1, 0, 1, True, True, False, 0),
        Algorithm("tuned_bm", "TUNEDBM", "Tuned Boyer-Moore", False, True, 1, 1, 1, True, True, False, 0),
        Algorithm("berry_ravindran", "BR", "Berry-Ravindran", False, True, 2, 0, 1, True, True, False, 1),
        Algorithm("skip_search", "SKIP", "Skip Search", False, True, 1, 0, 1, False, False, True, 0),
    )
}


_lock = threading.Lock()
_entries = {}
_releases = {}  # each library's own trace_new
_host_lock = threading.Lock()
_host = []  # libsmtrace.so once loaded

# The array type code of a 32-bit int, the type of the trace's positions.
_INT32 = "i" if array.array("i").itemsize == 4 else "l"


def _candidate_directories() -> List[Path]:
    """Every place the libraries are looked for, in order."""
    chosen = os.environ.get("SMTRACE_LIB_DIR")
    if chosen:
        return [Path(chosen)]
    places = []
    try:  # written by cmake --install into the package it installs
        from ._location import LIBRARY_DIRECTORY  # type: ignore[import-not-found]

        places.append(Path(LIBRARY_DIRECTORY))
    except ImportError:
        pass
    places.append(Path(__file__).resolve().parents[2] / "build" / "lib")
    tool = shutil.which("smtrace")
    if tool:
        places.append(Path(tool).resolve().parent.parent / "lib")
    try:
        found = subprocess.run(["pkg-config", "--variable=libdir", "smtrace"], capture_output=True,
                               text=True, timeout=10, check=False)
        if found.returncode == 0 and found.stdout.strip():
            places.append(Path(found.stdout.strip()))
    except (OSError, subprocess.SubprocessError):
        pass
    return places


_directory: List[Path] = []


def library_directory() -> Path:
    """Where the libraries are: $SMTRACE_LIB_DIR when set; else the first of
    the prefix the package was installed from (by cmake --install), build/lib
    of the source tree the package sits in, ../lib beside an smtrace tool on
    the PATH, and pkg-config's libdir of smtrace that holds libsmtrace.so.

    Raises OSError naming every place looked at when none holds them.
    """
    if os.environ.get("SMTRACE_LIB_DIR"):
        return Path(os.environ["SMTRACE_LIB_DIR"])
    if not _directory:
        places = _candidate_directories()
        for place in places:
            if (place / "libsmtrace.so").exists():
                _directory.append(place)
                break
        else:
            raise OSError(
                "cannot find the smtrace libraries (libsmtrace.so and lib<algorithm>.so); looked in "
                + ", ".join(str(place) for place in places)
                + ". Set SMTRACE_LIB_DIR to the directory that holds them."
            )
    return _directory[0]


def _entry(algorithm: Algorithm):
    entry = _entries.get(algorithm.name)
    if entry is None:
        path = library_directory() / f"lib{algorithm.name}.so"
        try:
            library = ctypes.CDLL(str(path), mode=os.RTLD_NOW | os.RTLD_LOCAL)
            entry = getattr(library, algorithm.name)
        except (OSError, AttributeError) as failure:
            raise OSError(
                f"cannot load the {algorithm.name} library: {failure} "
                "(SMTRACE_LIB_DIR names the library directory)"
            ) from None
        entry.restype = ctypes.c_void_p
        entry.argtypes = [ctypes.c_char_p, ctypes.c_int32, ctypes.POINTER(ctypes.c_char), ctypes.c_int32]
        release = library.trace_new
        release.restype = None
        release.argtypes = []
        _entries[algorithm.name] = entry
        _releases[algorithm.name] = release
    return entry


def _host_library() -> ctypes.CDLL:
    """libsmtrace.so, the explaining host library, from the library directory."""
    with _host_lock:
        if not _host:
            path = library_directory() / "libsmtrace.so"
            try:
                library = ctypes.CDLL(str(path), mode=os.RTLD_NOW | os.RTLD_LOCAL)
            except OSError as failure:
                raise OSError(
                    f"cannot load the explaining library libsmtrace.so: {failure} "
                    "(SMTRACE_LIB_DIR names the library directory)"
                ) from None
            library.smtrace_trace_length.restype = ctypes.c_int64
            library.smtrace_trace_length.argtypes = [ctypes.c_void_p]
            library.smtrace_copy_trace.restype = ctypes.c_int64
            library.smtrace_copy_trace.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
            library.smtrace_explain.restype = ctypes.c_int
            library.smtrace_explain.argtypes = [
                ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32,
                ctypes.POINTER(ctypes.c_void_p)]
            library.smtrace_explanation_free.restype = None
            library.smtrace_explanation_free.argtypes = [ctypes.c_void_p]
            library.smtrace_explanation_json.restype = ctypes.c_void_p
            library.smtrace_explanation_json.argtypes = [ctypes.c_void_p]
            library.smtrace_explanation_html.restype = ctypes.c_void_p
            library.smtrace_explanation_html.argtypes = [ctypes.c_void_p]
            library.smtrace_compare_html.restype = ctypes.c_void_p
            library.smtrace_compare_html.argtypes = [
                ctypes.POINTER(ctypes.c_void_p), ctypes.c_int32, ctypes.POINTER(ctypes.c_char_p),
                ctypes.POINTER(ctypes.c_char_p), ctypes.c_int32]
            library.smtrace_free.restype = None
            library.smtrace_free.argtypes = [ctypes.c_void_p]
            _host.append(library)
        return _host[0]


def _positions(head: Optional[int]) -> "array.array[int]":
    """The positions of a trace list, copied by the host library in one walk
    after the one that counts them."""
    if not head:
        return array.array(_INT32)
    host = _host_library()
    length = host.smtrace_trace_length(head)
    positions = array.array(_INT32, [0]) * length
    host.smtrace_copy_trace(head, positions.buffer_info()[0], length)
    return positions


def _algorithm(name: Union[str, Algorithm]) -> Algorithm:
    if isinstance(name, Algorithm):
        name = name.name
    try:
        return ALGORITHMS[name]
    except (KeyError, TypeError):
        raise ValueError(
            f"unknown algorithm {name!r}; the algorithms are {', '.join(ALGORITHMS)}"
        ) from None


def _bytes(value: Operand, what: str) -> bytes:
    if isinstance(value, str):
        try:
            value = value.encode("ascii")
        except UnicodeEncodeError:
            raise ValueError(f"the {what} is a str with characters beyond ASCII; pass bytes") from None
    elif isinstance(value, (bytes, bytearray, memoryview)):
        value = bytes(value)
    else:
        raise TypeError(f"the {what} must be bytes or str, not {type(value).__name__}")
    if len(value) > _LONGEST:
        raise ValueError(f"the {what} is longer than {_LONGEST} bytes")
    return value


def _refused_byte(algorithm: Algorithm, pattern: bytes) -> Optional[int]:
    if algorithm.refuses_8bit:
        for index, byte in enumerate(pattern):
            if byte >= 128:
                return index
    return None


def _refusal(algorithm: Algorithm, pattern: bytes, index: int) -> str:
    return (
        f"{algorithm.name} refuses the pattern: pattern byte {index} is "
        f"\\x{pattern[index]:02x}, outside the 7-bit alphabet"
    )


def _search(algorithm: Algorithm, pattern: bytes, text: bytes) -> "array.array[int]":
    m, n = len(pattern), len(text)
    # A fresh zeroed buffer: the text, the zero byte at n, the routine's room.
    buffer = ctypes.create_string_buffer(text, algorithm.buffer_size(n, m))
    with _lock:
        head = _entry(algorithm)(pattern, m, buffer, n)
        # Copy the library's list before anything calls into it again, then
        # let the library free it: nothing refers to it any more.
        positions = _positions(head)
        _releases[algorithm.name]()
        return positions


def trace(algorithm: Union[str, Algorithm], pattern: Operand, text: Operand) -> List[int]:
    """The text positions the algorithm reads, in order, looking for the first
    occurrence of pattern in text.

    Raises ValueError for an unknown algorithm, a str beyond ASCII, an operand
    longer than 2**31 - 1 bytes, or a pattern the routine refuses (a byte of
    128 or more, for the algorithms with refuses_8bit), and OSError when the
    library cannot be loaded.

    A list of millions of positions costs Python more to build than the
    search itself; trace_array gives the same positions without that cost.
    """
    return trace_array(algorithm, pattern, text).tolist()


def trace_array(algorithm: Union[str, Algorithm], pattern: Operand,
                text: Operand) -> "array.array[int]":
    """The trace as trace gives it, as an array of 32-bit ints (typecode "i"),
    copied from the library's list in one call: for long traces, several
    times faster than the list. Raises as trace does.
    """
    chosen = _algorithm(algorithm)
    pattern = _bytes(pattern, "pattern")
    text = _bytes(text, "text")
    refused = _refused_byte(chosen, pattern)
    if refused is not None:
        raise ValueError(_refusal(chosen, pattern, refused))
    return _search(chosen, pattern, text)


def compare(pattern: Operand, text: Operand) -> dict:
    """Runs every algorithm; returns the figures smtrace compare --json prints:

    {"pattern_length": m, "text_length": n,
     "algorithms": {name: {"refused": bool, "reads": int,
                           "distinct_positions": int,
                           "reads_per_character": float or None (empty text),
                           "most_reads_of_one_position": int,
                           "first_occurrence": int or None}}}

    The first occurrence is found by an ordinary search. A routine that
    refuses the pattern has "refused": True, its "refusal" (why), and None
    for every figure.
    """
    pattern = _bytes(pattern, "pattern")
    text = _bytes(text, "text")
    found = text.find(pattern)
    occurrence = found if found >= 0 else None
    figures = {}
    for algorithm in ALGORITHMS.values():
        refused = _refused_byte(algorithm, pattern)
        if refused is not None:
            figures[algorithm.name] = {
                "refused": True,
                "refusal": _refusal(algorithm, pattern, refused).split(": ", 1)[1],
                "reads": None,
                "distinct_positions": None,
                "reads_per_character": None,
                "most_reads_of_one_position": None,
                "first_occurrence": None,
            }
            continue
        positions = _search(algorithm, pattern, text)
        # One count per position, in an array rather than a dict: a search of
        # millions of reads keeps 4 bytes a position, not a dict entry a read.
        counts = array.array("I", [0]) * ((max(positions) + 1) if positions else 0)
        distinct = most = 0
        for position in positions:
            counts[position] += 1
            seen = counts[position]
            if seen == 1:
                distinct += 1
            if seen > most:
                most = seen
        figures[algorithm.name] = {
            "refused": False,
            "reads": len(positions),
            "distinct_positions": distinct,
            "reads_per_character": len(positions) / len(text) if text else None,
            "most_reads_of_one_position": most,
            "first_occurrence": occurrence,
        }
        del positions, counts
    return {"pattern_length": len(pattern), "text_length": len(text), "algorithms": figures}


# Last: the explanation module takes the argument checks above.
from .explanation import (  # noqa: E402
    Attempt, Counts, Edge, Explanation, Move, Note, Page, Read, Table, compare_html, explain)
from .verify import VerifyResult, verify  # noqa: E402
from .study import study  # noqa: E402  (corpus studies, through the smtrace tool)
