"""Explained searches: what each read was for, where the window went and why.

libsmtrace.so runs the routine compiled from the deliverable's own sources
with its announcements on, and writes the search as JSON
(docs/explain-json.md). explain() parses that JSON into the frozen
dataclasses below, one for each kind of object in it, with the same field
names. Three names differ: "look-ahead" in the counts is look_ahead, and an
edge's "from" and "to" are from_vertex and to_vertex. A Table also holds its
name (the JSON's key for it), and an Edge with no target has None for the
fields the JSON leaves out. Bytes (the pattern, the text, a read's byte and
pattern_byte) are bytes; lists are tuples; objects keyed by name (the tables,
a table's entries) are read-only mappings, in the JSON's order.

    >>> e = smtrace.explain("raita", "abab", "ccabaabab")
    >>> [(a.window, a.shift, a.shift_source) for a in e.attempts]
    [(0, 2, 'bmBc[b] = 2'), (2, 1, 'bmBc[a] = 1'), (3, 2, 'bmBc[b] = 2'), (5, None, None)]
    >>> e.trace == smtrace.trace("raita", "abab", "ccabaabab")
    True

The same search as a page that plays it read by read, the page smtrace
explain --html writes: e.page(), shown by a notebook as the player
(e._repr_html_()) and saved by e.save_html("page.html"). compare_html gives
the page of smtrace compare --html.
"""

import contextlib
import ctypes
import html
import json
import os
import threading
from dataclasses import dataclass, field
from types import MappingProxyType
from typing import Any, Dict, Iterator, List, Mapping, Optional, Tuple, Union

from . import (ALGORITHMS, Algorithm, Operand, _algorithm, _bytes, _host_library, _refusal,
               _refused_byte)

# smtrace_explain's statuses (include/smtrace_explain.h).
_OK, _UNKNOWN_ALGORITHM, _REFUSED, _BAD_LENGTH, _NO_MEMORY = range(5)

# libsmtrace.so explains one search at a time: its routines' recording state
# is process-wide.
_lock = threading.Lock()

TableValue = Union[int, Tuple[int, ...]]


@dataclass(frozen=True)
class Edge:
    """Turbo Reverse Factor's step by a read byte from one automaton vertex.
    With no edge by the byte, to_vertex and everything after it are None."""

    from_vertex: int
    to_vertex: Optional[int]
    shift: Optional[int]  # the edge's shift, None when the step adds none
    terminal: Optional[bool]  # whether to_vertex is terminal
    d: Optional[int]  # the displacement after the step
    s: Optional[int]  # the shift after the step


@dataclass(frozen=True)
class Read:
    """One read of a text byte, recorded in the trace or dropped."""

    index: int  # its number among all the search's reads
    position: int
    window: int  # the window start when it was read
    recorded: bool
    trace_index: int  # its index in the trace, -1 when dropped
    dropped: Optional[str]  # "repeat", "bound", or None when recorded
    role: str  # "compare", "look-ahead", "probe", "edge"
    pattern_index: Optional[int]  # compare: the pattern byte's index; edge: the window index
    byte: bytes  # the byte read (one byte)
    pattern_byte: Optional[bytes]  # compare: the pattern byte it was compared with
    result: Optional[str]  # "match", "mismatch", "edge", "no edge", or None
    edge: Optional[Edge]  # edge reads only


@dataclass(frozen=True)
class Move:
    """A move of the window inside an attempt."""

    after_read: int  # the read it follows, as an index into its attempt's reads; -1 before them
    window: int
    shift: int
    source: str
    table: Optional[str]
    key: Optional[str]


@dataclass(frozen=True)
class Note:
    """A remark of the routine on its attempt."""

    after_read: int  # as Move.after_read
    text: str


@dataclass(frozen=True)
class Attempt:
    """One attempt: a window and the reads, moves and notes made in it."""

    window: int
    reads: Tuple[Read, ...]
    moves: Tuple[Move, ...]
    notes: Tuple[Note, ...]
    outcome: str
    shift: Optional[int]  # None when the attempt ends the search without a shift
    shift_source: Optional[str]
    shift_table: Optional[str]
    shift_key: Optional[str]


@dataclass(frozen=True)
class Table:
    """A preprocessing table as the routine filled it."""

    name: str
    about: str
    entries: Mapping[str, TableValue]


@dataclass(frozen=True)
class Counts:
    """Counts over the whole search."""

    reads: int
    recorded: int
    compare: int
    look_ahead: int
    probe: int
    edge: int
    dropped: int
    dropped_repeat: int
    dropped_bound: int
    attempts: int


@dataclass(frozen=True)
class Explanation:
    """A whole explained search."""

    algorithm: str
    title: str
    pattern: bytes
    text: bytes
    pattern_length: int
    text_length: int
    occurrence: Optional[int]  # where the routine found the pattern, or None
    counts: Counts
    tables: Mapping[str, Table]
    attempts: Tuple[Attempt, ...]
    json: str = field(repr=False, compare=False)  # the library's JSON text

    def to_json(self) -> str:
        """The JSON text libsmtrace.so wrote for this search."""
        return self.json

    def page(self) -> "Page":
        """The page that plays this search, as smtrace explain --html writes
        it. The explanation holds no library object: the library explains
        the search again (the same search gives the same events) and builds
        the page from that."""
        return Page(_page(self.algorithm, self.pattern, self.text))

    def save_html(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the page to path (the bytes smtrace explain --html writes)."""
        self.page().save(path)

    def _repr_html_(self) -> str:
        return self.page()._repr_html_()

    @property
    def reads(self) -> Tuple[Read, ...]:
        """Every read of the search, in reading order."""
        return tuple(read for attempt in self.attempts for read in attempt.reads)

    @property
    def trace(self) -> List[int]:
        """The positions of the recorded reads: the deliverable's trace."""
        return [read.position for attempt in self.attempts for read in attempt.reads if read.recorded]


class Page(str):
    """A page of libsmtrace.so that plays searches read by read: one
    self-contained HTML document (its style, script and data inline; it asks
    for nothing over the network). As a str it is the document itself.

    A notebook shows it as the player: _repr_html_ puts the document in an
    iframe (in its srcdoc attribute), because the page needs a document of
    its own (its element ids, its style on the body, its #read=K fragment)
    and would clash with the notebook's if written into it.
    """

    # The player's frame: the full width of the output cell, a height that
    # shows the controls, the lanes and the details, resizable by hand.
    FRAME_STYLE = "width: 100%; height: 640px; border: 1px solid #ccc; resize: vertical"

    def save(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Writes the document to path, byte for byte."""
        with open(path, "wb") as out:
            out.write(self.encode("utf-8"))

    def _repr_html_(self) -> str:
        return (f'<iframe class="smtrace-player" title="smtrace player" '
                f'style="{self.FRAME_STYLE}" srcdoc="{html.escape(self, quote=True)}"></iframe>')

    def __repr__(self) -> str:
        return f"<smtrace.Page of {len(self)} characters>"


def _byte_string(value: Optional[str]) -> Optional[bytes]:
    # Every byte is written as the code point of its value.
    return None if value is None else value.encode("latin-1")


def _edge(value: Optional[Dict[str, Any]]) -> Optional[Edge]:
    if value is None:
        return None
    return Edge(value["from"], value["to"], value.get("shift"), value.get("terminal"),
                value.get("d"), value.get("s"))


def _read(value: Dict[str, Any]) -> Read:
    return Read(value["index"], value["position"], value["window"], value["recorded"],
                value["trace_index"], value["dropped"], value["role"], value["pattern_index"],
                _byte_string(value["byte"]), _byte_string(value["pattern_byte"]), value["result"],
                _edge(value.get("edge")))


def _attempt(value: Dict[str, Any]) -> Attempt:
    return Attempt(
        value["window"],
        tuple(_read(read) for read in value["reads"]),
        tuple(Move(m["after_read"], m["window"], m["shift"], m["source"], m["table"], m["key"])
              for m in value["moves"]),
        tuple(Note(note["after_read"], note["text"]) for note in value["notes"]),
        value["outcome"], value["shift"], value["shift_source"], value["shift_table"],
        value["shift_key"])


def _table_value(value: Union[int, List[int]]) -> TableValue:
    return tuple(value) if isinstance(value, list) else value


def _explanation(text: str) -> Explanation:
    value = json.loads(text)
    counts = value["counts"]
    return Explanation(
        value["algorithm"], value["title"], _byte_string(value["pattern"]),
        _byte_string(value["text"]), value["pattern_length"], value["text_length"],
        value["occurrence"],
        Counts(counts["reads"], counts["recorded"], counts["compare"], counts["look-ahead"],
               counts["probe"], counts["edge"], counts["dropped"], counts["dropped_repeat"],
               counts["dropped_bound"], counts["attempts"]),
        MappingProxyType({
            name: Table(name, table["about"], MappingProxyType(
                {key: _table_value(entry) for key, entry in table["entries"].items()}))
            for name, table in value["tables"].items()
        }),
        tuple(_attempt(attempt) for attempt in value["attempts"]),
        text)


@contextlib.contextmanager
def _explained(name: str, pattern: bytes, text: bytes) -> Iterator[int]:
    """libsmtrace.so's explanation of the search (a pointer, freed on
    leaving), or the error its status stands for. Hold _lock around it."""
    host = _host_library()
    explained = ctypes.c_void_p()
    status = host.smtrace_explain(name.encode("ascii"), pattern, len(pattern), text, len(text),
                                  ctypes.byref(explained))
    if status == _REFUSED:
        index = next(i for i, byte in enumerate(pattern) if byte >= 128)
        raise ValueError(f"{name} refuses the pattern: pattern byte {index} is "
                         f"\\x{pattern[index]:02x}, outside the 7-bit alphabet")
    if status == _UNKNOWN_ALGORITHM:
        raise ValueError(f"libsmtrace.so knows no algorithm {name!r}")
    if status == _BAD_LENGTH:
        raise ValueError(f"{name} cannot explain a pattern of {len(pattern)} bytes")
    if status != _OK:
        raise MemoryError(f"libsmtrace.so ran out of memory explaining {name}")
    try:
        yield explained.value
    finally:
        host.smtrace_explanation_free(explained)


def _taken(written: Optional[int], what: str) -> str:
    """A buffer the library wrote, as a str, freed."""
    if not written:
        raise MemoryError(f"libsmtrace.so ran out of memory writing {what}")
    try:
        # The JSON is ASCII; a page is UTF-8 (its script and style may hold
        # more than ASCII; its data is ASCII).
        return ctypes.string_at(written).decode("utf-8")
    finally:
        _host_library().smtrace_free(written)


def _json(name: str, pattern: bytes, text: bytes) -> str:
    """libsmtrace.so's JSON for the search, or the error its status stands for."""
    with _lock, _explained(name, pattern, text) as explained:
        return _taken(_host_library().smtrace_explanation_json(explained),
                      f"{name}'s explanation")


def _page(name: str, pattern: bytes, text: bytes) -> str:
    """libsmtrace.so's page for the search."""
    with _lock, _explained(name, pattern, text) as explained:
        return _taken(_host_library().smtrace_explanation_html(explained), f"{name}'s page")


def compare_html(pattern: Operand, text: Operand) -> Page:
    """The page of smtrace compare --html for pattern and text: every
    algorithm's search, stepped together, and the algorithms that refuse the
    pattern named with the reason. Show it in a notebook as it is; save it
    with .save(path). Raises as explain does for the operands."""
    pattern = _bytes(pattern, "pattern")
    text = _bytes(text, "text")
    refused_names: List[bytes] = []
    refused_reasons: List[bytes] = []
    chosen = []
    for algorithm in ALGORITHMS.values():
        index = _refused_byte(algorithm, pattern)
        if index is None:
            chosen.append(algorithm.name)
        else:
            refused_names.append(algorithm.name.encode("ascii"))
            # The reason as the compare page of the tool gives it: the name is
            # shown beside it.
            refused_reasons.append(_refusal(algorithm, pattern, index)
                                   .split(": ", 1)[1].encode("ascii"))
    host = _host_library()
    with _lock, contextlib.ExitStack() as explanations:
        pointers = [explanations.enter_context(_explained(name, pattern, text)) for name in chosen]
        return Page(_taken(host.smtrace_compare_html(
            (ctypes.c_void_p * max(len(pointers), 1))(*pointers), len(pointers),
            (ctypes.c_char_p * max(len(refused_names), 1))(*refused_names),
            (ctypes.c_char_p * max(len(refused_reasons), 1))(*refused_reasons),
            len(refused_names)), "the compare page"))


def explain(algorithm: Union[str, Algorithm], pattern: Operand, text: Operand) -> Explanation:
    """The algorithm's search for the first occurrence of pattern in text,
    explained read by read by libsmtrace.so.

    Its recorded reads are trace(algorithm, pattern, text). Raises ValueError
    for an unknown algorithm, a str beyond ASCII, an operand longer than
    2**31 - 1 bytes or a pattern the routine refuses (as trace does), and
    OSError when libsmtrace.so cannot be loaded.
    """
    chosen = _algorithm(algorithm)
    return _explanation(_json(chosen.name, _bytes(pattern, "pattern"), _bytes(text, "text")))
