"""Traces of string-matching routines, read from their shared libraries.

Each routine looks for the first occurrence of a pattern in a text; its trace
is the list of text positions it read, in reading order.

    >>> import smtrace
    >>> smtrace.trace("morris_pratt", "abab", "abacabab")
    [0, 1, 2, 3, 3, 3, 4, 5, 6, 7]
    >>> smtrace.compare("abab", "ccabaabab")["algorithms"]["raita"]["reads"]
    9

Patterns and texts are bytes (or ASCII str). The libraries are found in
$SMTRACE_LIB_DIR, else in build/lib of the source tree this package sits in.
Each library is loaded once per process. Calls are serialised: a library keeps
one trace at a time.
"""

import collections
import ctypes
import os
import threading
from pathlib import Path
from typing import Dict, List, NamedTuple, Optional, Union

__all__ = ["ALGORITHMS", "Algorithm", "compare", "library_directory", "study", "trace"]

_LONGEST = 2**31 - 1  # patterns and texts have int32 lengths


class Algorithm(NamedTuple):
    """One routine: its library lib<name>.so, entry function <name>."""

    name: str
    refuses_8bit: bool  # a pattern byte of 128 or more would end the process
    room_fixed: int  # bytes it needs past the text, the zero byte at n included
    room_per_pattern_byte: int  # 1 when it also needs m bytes past the text

    def buffer_size(self, n: int, m: int) -> int:
        """The text buffer this routine needs for n text and m pattern bytes."""
        room = self.room_fixed
        if self.room_per_pattern_byte:
            room = max(room, m)
        return n + room


# The algorithms, in the order of the list in include/smtrace.h.
ALGORITHMS: Dict[str, Algorithm] = {
    algorithm.name: algorithm
    for algorithm in (
        Algorithm("turbo_reverse_factor", True, 1, 0),
        Algorithm("morris_pratt", False, 1, 0),
        Algorithm("not_so_naive", False, 1, 0),
        Algorithm("raita", True, 1, 0),
        Algorithm("tuned_bm", True, 1, 1),
        Algorithm("berry_ravindran", True, 2, 0),
        Algorithm("skip_search", True, 1, 0),
    )
}


class _Node(ctypes.Structure):
    # The libraries' trace_node: a position, then the next node.
    _fields_ = [("position", ctypes.c_int32), ("next", ctypes.c_void_p)]


_lock = threading.Lock()
_entries = {}


def library_directory() -> Path:
    """Where the libraries are looked for."""
    chosen = os.environ.get("SMTRACE_LIB_DIR")
    if chosen:
        return Path(chosen)
    return Path(__file__).resolve().parents[2] / "build" / "lib"


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
        _entries[algorithm.name] = entry
    return entry


def _algorithm(name: str) -> Algorithm:
    try:
        return ALGORITHMS[name]
    except (KeyError, TypeError):
        raise ValueError(
            f"unknown algorithm {name!r}; the algorithms are {', '.join(ALGORITHMS)}"
        ) from None


def _bytes(value: Union[bytes, bytearray, memoryview, str], what: str) -> bytes:
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


def _search(algorithm: Algorithm, pattern: bytes, text: bytes) -> List[int]:
    m, n = len(pattern), len(text)
    # A fresh zeroed buffer: the text, the zero byte at n, the routine's room.
    buffer = ctypes.create_string_buffer(text, algorithm.buffer_size(n, m))
    positions = []
    with _lock:
        address = _entry(algorithm)(pattern, m, buffer, n)
        # Walk the library's list before anything calls into it again.
        while address:
            node = _Node.from_address(address)
            positions.append(node.position)
            address = node.next
    return positions


def trace(algorithm: str, pattern, text) -> List[int]:
    """The text positions the algorithm reads, in order, looking for the first
    occurrence of pattern in text.

    Raises ValueError for an unknown algorithm, a str beyond ASCII, an operand
    longer than 2**31 - 1 bytes, or a pattern the routine refuses (a byte of
    128 or more, for the algorithms with refuses_8bit), and OSError when the
    library cannot be loaded.
    """
    chosen = _algorithm(algorithm)
    pattern = _bytes(pattern, "pattern")
    text = _bytes(text, "text")
    refused = _refused_byte(chosen, pattern)
    if refused is not None:
        raise ValueError(_refusal(chosen, pattern, refused))
    return _search(chosen, pattern, text)


def compare(pattern, text) -> dict:
    """Runs every algorithm; returns the figures smtrace compare --json prints:

    {"pattern_length": m, "text_length": n,
     "algorithms": {name: {"refused": bool, "reads": int,
                           "distinct_positions": int,
                           "reads_per_character": float or None (empty text),
                           "most_reads_of_one_position": int,
                           "first_occurrence": int or None}}}

    The first occurrence is found by an ordinary search. A routine that
    refuses the pattern has "refused": True and None for every figure.
    """
    pattern = _bytes(pattern, "pattern")
    text = _bytes(text, "text")
    found = text.find(pattern)
    occurrence = found if found >= 0 else None
    figures = {}
    for algorithm in ALGORITHMS.values():
        if _refused_byte(algorithm, pattern) is not None:
            figures[algorithm.name] = {
                "refused": True,
                "reads": None,
                "distinct_positions": None,
                "reads_per_character": None,
                "most_reads_of_one_position": None,
                "first_occurrence": None,
            }
            continue
        positions = _search(algorithm, pattern, text)
        counts = collections.Counter(positions)
        figures[algorithm.name] = {
            "refused": False,
            "reads": len(positions),
            "distinct_positions": len(counts),
            "reads_per_character": len(positions) / len(text) if text else None,
            "most_reads_of_one_position": max(counts.values(), default=0),
            "first_occurrence": occurrence,
        }
    return {"pattern_length": len(pattern), "text_length": len(text), "algorithms": figures}


from .study import study  # noqa: E402  (corpus studies, through the smtrace tool)
