"""smtrace.explain against libsmtrace.so's JSON, worked examples and the traces.

Run by CTest with SMTRACE_LIB_DIR (the libraries) and PYTHONPATH (the
package) set.
"""

import ctypes
import dataclasses
import json
import os
import random
import threading
import unittest
from collections.abc import Mapping
from pathlib import Path

import smtrace

LIBRARY = Path(os.environ["SMTRACE_LIB_DIR"]) / "libsmtrace.so"
FORMAT = Path(__file__).resolve().parents[2] / "docs" / "explain-json.md"
REFUSING = ["turbo_reverse_factor", "raita", "tuned_bm", "berry_ravindran", "skip_search"]

# Inputs that reach every kind of object in the JSON: edges found and not,
# notes, moves, look-aheads, probes, reads dropped as repeats and past the
# text, bytes that need escaping, empty operands.
EXAMPLES = [
    (b"abab", b"ccabaabab"), (b"aab", b"bbaaaabb"), (b"abcd", b"abcabcabcd"), (b"ab", b"xyz"),
    (b"aba", b"cbbabaxaba"), (b"ab", b"ccca"), (b"a", b"bba"), (b"GATTACA", b"TAGATTACAGATTACATTAGATTACA"),
    (b"a b", b'x\x01 a b\xe9"\\'), (b"", b"xyz"), (b"ab", b""), (b"", b""), (b"abc", b"ab"),
    (b"x" * 25 + b"y", b"x" * 60 + b"y"),
]

# The dataclass fields whose JSON names are not Python names.
RENAMED = {"from_vertex": "from", "to_vertex": "to", "look_ahead": "look-ahead"}


class _Library:
    """libsmtrace.so loaded for the tests, apart from the package."""

    def __init__(self):
        self.lib = ctypes.CDLL(str(LIBRARY), mode=os.RTLD_NOW | os.RTLD_LOCAL)
        self.lib.smtrace_explain.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int32,
                                             ctypes.c_char_p, ctypes.c_int32,
                                             ctypes.POINTER(ctypes.c_void_p)]
        self.lib.smtrace_explanation_json.restype = ctypes.c_void_p
        self.lib.smtrace_explanation_json.argtypes = [ctypes.c_void_p]
        self.lib.smtrace_free.argtypes = [ctypes.c_void_p]
        self.lib.smtrace_explanation_free.argtypes = [ctypes.c_void_p]

    def json(self, name, pattern, text):
        explained = ctypes.c_void_p()
        status = self.lib.smtrace_explain(name.encode(), pattern, len(pattern), text, len(text),
                                          ctypes.byref(explained))
        assert status == 0, status
        written = self.lib.smtrace_explanation_json(explained)
        try:
            return ctypes.string_at(written).decode("ascii")
        finally:
            self.lib.smtrace_free(written)
            self.lib.smtrace_explanation_free(explained)


def as_json(value):
    """A dataclass as the JSON value it stands for."""
    if dataclasses.is_dataclass(value):
        return {RENAMED.get(f.name, f.name): as_json(getattr(value, f.name))
                for f in dataclasses.fields(value) if f.compare}
    if isinstance(value, bytes):
        return value.decode("latin-1")
    if isinstance(value, tuple):
        return [as_json(item) for item in value]
    if isinstance(value, Mapping):
        return {key: as_json(item) for key, item in value.items()}
    return value


def with_python_names(parsed):
    """The parsed JSON with what the dataclasses add: a table's name, and an
    edge without a target has its other fields too (as None)."""
    for name, table in parsed["tables"].items():
        table["name"] = name
    for attempt in parsed["attempts"]:
        for read in attempt["reads"]:
            if "edge" not in read:
                read["edge"] = None
            elif read["edge"]["to"] is None:
                read["edge"].update(shift=None, terminal=None, d=None, s=None)
    return parsed


def generated(count, seed):
    """Patterns and texts over small alphabets, 8-bit bytes among them."""
    rng = random.Random(seed)
    alphabets = [b"ab", b"abc", b"acgt", b"a\x00 \xe9", b"ab\xff"]
    for _ in range(count):
        alphabet = rng.choice(alphabets)
        pattern = bytes(rng.choice(alphabet) for _ in range(rng.randint(0, 7)))
        text = bytes(rng.choice(alphabet) for _ in range(rng.randint(0, 40)))
        if pattern and rng.random() < 0.5:  # plant an occurrence
            at = rng.randint(0, len(text))
            text = text[:at] + pattern + text[at:]
        yield pattern, text


def table_key(byte):
    """A byte as the tables name it."""
    return chr(byte) if 0x20 < byte < 0x7f else "\\x%02X" % byte


def takes(name, pattern):
    return not (smtrace.ALGORITHMS[name].refuses_8bit and any(byte >= 128 for byte in pattern))


class AgainstTheJson(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.library = _Library()

    def test_to_json_is_the_librarys_text(self):
        for name in smtrace.ALGORITHMS:
            for pattern, text in EXAMPLES:
                self.assertEqual(smtrace.explain(name, pattern, text).to_json(),
                                 self.library.json(name, pattern, text), (name, pattern, text))

    def test_dataclasses_are_the_json_field_for_field(self):
        for name in smtrace.ALGORITHMS:
            for pattern, text in EXAMPLES:
                explanation = smtrace.explain(name, pattern, text)
                parsed = json.loads(explanation.to_json())
                # Dumped, so that true and 1 differ.
                self.assertEqual(json.dumps(as_json(explanation), sort_keys=True),
                                 json.dumps(with_python_names(parsed), sort_keys=True),
                                 (name, pattern, text))
                # In the JSON's order.
                self.assertEqual(list(explanation.tables), list(parsed["tables"]))
                for table_name, table in explanation.tables.items():
                    self.assertEqual(list(table.entries), list(parsed["tables"][table_name]["entries"]))

    def test_bytes_come_back_from_the_escapes(self):
        every_byte = bytes(range(256))
        pattern = b'"\\\x00\x7f\xff '
        explanation = smtrace.explain("morris_pratt", pattern, every_byte + pattern)
        text = explanation.to_json()
        self.assertTrue(text.isascii())
        self.assertIn('"pattern":"\\"\\\\\\u0000\\u007f\\u00ff "', text)
        self.assertEqual(explanation.pattern, pattern)
        self.assertEqual(explanation.text, every_byte + pattern)
        self.assertEqual(json.loads(text)["text"].encode("latin-1"), every_byte + pattern)
        read = {r.position: r.byte for r in explanation.reads if r.position < 256}
        self.assertEqual(read, {b: bytes([b]) for b in range(256)})
        self.assertEqual(explanation.occurrence, 256)


# Worked out by hand from each routine's rules: the attempts' windows, shifts
# with their sources, and outcomes.
WORKED = [
    ("raita", b"abab", b"ccabaabab", 5,
     [(0, 2, "bmBc[b] = 2", "mismatch"), (2, 1, "bmBc[a] = 1", "mismatch"),
      (3, 2, "bmBc[b] = 2", "mismatch"), (5, None, None, "occurrence")]),
    ("raita", b"ab", b"\xe9\xe9ab", 2,
     [(0, 2, "byte \\xE9 lies outside the alphabet: m = 2", "mismatch"), (2, None, None, "occurrence")]),
    ("turbo_reverse_factor", b"aab", b"bbaaaabb", 4,
     [(0, 2, "s = 2: the last terminal vertex was reached at window index 2", "no edge"),
      (2, 1, "s = 1: the last terminal vertex was reached at window index 1", "no edge"),
      (3, 1, "s = d = 1", "scan complete"), (4, None, None, "occurrence")]),
    ("morris_pratt", b"abab", b"abacabab", 4,
     [(0, 2, "mpTable[3] = 1", "mismatch"), (2, 1, "mpTable[1] = 0", "mismatch"),
      (3, 1, "mpTable[0] = -1", "mismatch"), (4, None, None, "occurrence")]),
    ("not_so_naive", b"aba", b"cbabaaba", 2,
     [(0, 2, "hit shift = 2", "mismatch"), (2, None, None, "occurrence")]),
    ("not_so_naive", b"a", b"bba", 2,
     [(0, 1, "one-character pattern: shift 1", "mismatch"),
      (1, 1, "one-character pattern: shift 1", "mismatch"), (2, None, None, "occurrence")]),
    ("berry_ravindran", b"aba", b"cbbabaxaba", 3,
     [(0, 1, "brBc[a][b] = 1", "mismatch"), (1, 2, "brBc[b][a] = 2", "mismatch"),
      (3, None, None, "occurrence")]),
    ("tuned_bm", b"abcd", b"abcabcabcd", 6, [(0, None, None, "occurrence")]),
    ("skip_search", b"ab", b"ccca", None,
     [(0, 2, "probe step m = 2 from the probe's first window", "no candidate"),
      (2, 1, "probe step m = 2 from the probe's first window", "mismatch")]),
    ("raita", b"ab", b"", None, []),
]


class WorkedExamples(unittest.TestCase):
    def test_attempts(self):
        for name, pattern, text, occurrence, attempts in WORKED:
            explanation = smtrace.explain(name, pattern, text)
            self.assertEqual(explanation.occurrence, occurrence, (name, pattern, text))
            self.assertEqual([(a.window, a.shift, a.shift_source, a.outcome) for a in explanation.attempts],
                             attempts, (name, pattern, text))

    def test_raita_drops_the_repeated_middle_read(self):
        explanation = smtrace.explain("raita", "abab", "ccabaabab")
        self.assertEqual(explanation.trace, [3, 0, 5, 6, 3, 8, 5, 7, 6])
        dropped = [(read.position, read.dropped, read.trace_index) for read in explanation.reads
                   if not read.recorded]
        self.assertEqual(dropped, [(7, "repeat", -1)])
        self.assertEqual(dict(explanation.tables["bmBc"].entries), {"a": 1, "b": 2, "other": 4})
        self.assertEqual([(a.shift_table, a.shift_key) for a in explanation.attempts],
                         [("bmBc", "b"), ("bmBc", "a"), ("bmBc", "b"), (None, None)])

    def test_turbo_reverse_factor_follows_edges(self):
        explanation = smtrace.explain("turbo_reverse_factor", "aab", "bbaaaabb")
        self.assertEqual(explanation.trace, [2, 1, 4, 3, 2, 5, 4, 6])
        self.assertEqual({read.role for read in explanation.reads}, {"edge"})
        first = explanation.attempts[0]
        self.assertEqual([(r.position, r.byte, r.pattern_index, r.result) for r in first.reads],
                         [(2, b"a", 2, "edge"), (1, b"b", 1, "no edge")])
        self.assertIsNone(first.reads[1].edge.to_vertex)
        self.assertIsNone(first.reads[1].edge.d)
        self.assertEqual(first.reads[0].edge.from_vertex, 0)
        self.assertEqual(first.notes, (smtrace.Note(-1, "u = -1, p = 0: nothing remembered"),))
        self.assertEqual(explanation.attempts[2].notes[-1], smtrace.Note(1, "scan complete: s = d = 1"))
        self.assertEqual(dict(explanation.tables["mpTable"].entries), {"0": -1, "1": 0, "2": 1, "3": 0})

    def test_moves_inside_an_attempt(self):
        cases = [  # tuned_bm's fast loop; skip_search's candidates of the probed character
            ("tuned_bm", b"abcd", b"abcabcabcd",
             [smtrace.Move(0, 3, 3, "bmBc[a] = 3", "bmBc", "a"),
              smtrace.Move(1, 6, 3, "bmBc[a] = 3", "bmBc", "a")]),
            ("tuned_bm", b"ab", b"xyz", [smtrace.Move(0, 2, 2, "bmBc[y] = 2", "bmBc", "other")]),
            ("skip_search", b"aba", b"cbabaaba",
             [smtrace.Move(0, 0, 0, "list[a] holds 2", "lists", "a"),
              smtrace.Move(1, 2, 2, "list[a] holds 0", "lists", "a")]),
        ]
        for name, pattern, text, moves in cases:
            attempts = smtrace.explain(name, pattern, text).attempts
            self.assertEqual(list(attempts[0].moves), moves, (name, pattern, text))

    def test_reads_past_the_text_are_dropped_by_the_bound(self):
        # tuned_bm's sentinel copies of b at 2..3 stop the fast loop at 3.
        explanation = smtrace.explain("tuned_bm", "ab", "xyz")
        self.assertEqual([(r.position, r.dropped, r.byte) for r in explanation.reads],
                         [(1, None, b"y"), (3, "bound", b"b"), (3, "bound", b"b"), (3, "bound", b"b"),
                          (2, None, b"z")])
        self.assertEqual((explanation.counts.dropped, explanation.counts.dropped_bound), (3, 3))
        self.assertEqual(explanation.trace, smtrace.trace("tuned_bm", "ab", "xyz"))

    def test_table_keys(self):
        cases = [  # name, pattern, table, entries
            ("raita", b"a b\x7f", "bmBc", {"\\x20": 2, "a": 3, "b": 1, "\\x7F": 4, "other": 4}),
            ("not_so_naive", b"aab", "shifts", {"miss": 2, "hit": 1}),
            ("skip_search", b"abab", "lists", {"a": (2, 0), "b": (3, 1)}),
            ("berry_ravindran", b"ab", "brBc", {"a a": 3, "a b": 2, "b a": 1, "b b": 1, "b other": 1,
                                                "other a": 3, "default": 4}),
        ]
        for name, pattern, table, entries in cases:
            self.assertEqual(dict(smtrace.explain(name, pattern, b"ab").tables[table].entries), entries,
                             (name, pattern))

    def test_the_automaton_tables_hold_the_reversed_patterns_factors(self):
        for pattern in (b"ab", b"aab", b"abab", b"GATTACA", b"a b"):
            tables = smtrace.explain("turbo_reverse_factor", pattern, b"ab").tables
            edges = tables["edges"].entries

            def walk(word):
                vertex = 0
                for byte in word:
                    key = f"{vertex} {table_key(byte)}"
                    if key not in edges:
                        return None
                    vertex = edges[key][0]
                return vertex

            reversed_pattern = pattern[::-1]
            factors = {reversed_pattern[i:j] for i in range(len(pattern) + 1)
                       for j in range(i, len(pattern) + 1)}
            for factor in factors:
                self.assertIsNotNone(walk(factor), (pattern, factor))
            self.assertIsNone(walk(reversed_pattern + reversed_pattern[:1]), pattern)
            suffixes = {walk(reversed_pattern[i:]) for i in range(len(pattern) + 1)}
            self.assertEqual(suffixes, set(tables["terminal"].entries["vertices"]), pattern)

    def test_counts(self):
        self.assertEqual(smtrace.explain("berry_ravindran", "aba", "cbbabaxaba").counts,
                         smtrace.Counts(reads=9, recorded=9, compare=5, look_ahead=4, probe=0, edge=0,
                                        dropped=0, dropped_repeat=0, dropped_bound=0, attempts=3))
        self.assertEqual(smtrace.explain("skip_search", "ab", "ccca").counts,
                         smtrace.Counts(reads=3, recorded=3, compare=1, look_ahead=0, probe=2, edge=0,
                                        dropped=0, dropped_repeat=0, dropped_bound=0, attempts=2))


class AgainstTheTrace(unittest.TestCase):
    def test_recorded_reads_are_the_trace(self):
        for pattern, text in generated(300, seed=11):
            for name in smtrace.ALGORITHMS:
                if takes(name, pattern):
                    self.assertEqual(smtrace.explain(name, pattern, text).trace,
                                     smtrace.trace(name, pattern, text), (name, pattern, text))

    def test_the_parts_agree(self):
        for pattern, text in generated(200, seed=12):
            for name in smtrace.ALGORITHMS:
                if takes(name, pattern):
                    self.check(smtrace.explain(name, pattern, text), name, pattern, text)

    def check(self, e, name, pattern, text):
        where = (name, pattern, text)
        reads, counts = e.reads, e.counts
        self.assertEqual([read.index for read in reads], list(range(len(reads))), where)
        self.assertEqual([read.trace_index for read in reads if read.recorded],
                         list(range(counts.recorded)), where)
        self.assertEqual((counts.reads, counts.attempts), (len(reads), len(e.attempts)), where)
        self.assertEqual(counts.dropped, counts.dropped_repeat + counts.dropped_bound, where)
        self.assertEqual(counts.compare + counts.look_ahead + counts.probe + counts.edge, counts.reads, where)
        if pattern:
            found = text.find(pattern)
            self.assertEqual(e.occurrence, found if found >= 0 else None, where)
        if e.occurrence is not None:
            self.assertEqual((e.attempts[-1].outcome, e.attempts[-1].shift), ("occurrence", None), where)
        for read in reads:
            if read.position < len(text):
                self.assertEqual(read.byte, text[read.position:read.position + 1], where)
            if read.role == "compare" and read.pattern_index is not None:
                self.assertEqual(read.pattern_byte, pattern[read.pattern_index:read.pattern_index + 1], where)
                self.assertEqual(read.result, "match" if read.byte == read.pattern_byte else "mismatch", where)
        for attempt, following in zip(e.attempts, e.attempts[1:]):
            # The next window is the shift away from where the window ended up.
            ended = attempt.moves[-1].window if attempt.moves else attempt.window
            self.assertEqual(following.window, ended + attempt.shift, where)
        for attempt in e.attempts:
            window = attempt.window
            for move in attempt.moves:
                self.assertEqual(move.shift, move.window - window, where)
                self.assertIn(move.after_read, range(-1, len(attempt.reads)), where)
                window = move.window
            for index, read in enumerate(attempt.reads):
                moved = [move.window for move in attempt.moves if move.after_read < index]
                self.assertEqual(read.window, moved[-1] if moved else attempt.window, where)
            named = [(move.table, move.key) for move in attempt.moves if move.table]
            if attempt.shift_table and attempt.shift_table != "brBc":  # brBc lists no default pairs
                named.append((attempt.shift_table, attempt.shift_key))
            for table, key in named:
                self.assertIn(key, e.tables[table].entries, where)


class TheFormatPage(unittest.TestCase):
    def test_the_example_is_the_librarys(self):
        page = FORMAT.read_text()
        example = page[page.index("```json\n") + len("```json\n"):page.rindex("```")]
        self.assertEqual(json.loads(example),
                         json.loads(smtrace.explain("raita", "abab", "ccabaabab").to_json()))

    def test_every_name_the_library_writes_is_on_the_page(self):
        page = FORMAT.read_text()
        names = set()
        for pattern, text in list(generated(100, seed=13)) + EXAMPLES + [(b"ab", b"aa"), (b"cbcb", b"ccbabaaababc")]:
            for name in smtrace.ALGORITHMS:
                if not takes(name, pattern):
                    continue
                e = smtrace.explain(name, pattern, text)
                names.update([e.algorithm, e.title, *e.tables])
                names.update(f.name for f in dataclasses.fields(e.counts))
                for attempt in e.attempts:
                    names.add(attempt.outcome)
                    names.update(v for r in attempt.reads for v in (r.role, r.result, r.dropped) if v)
        for name in names:
            self.assertIn(f"`{name.replace('_', '-') if name == 'look_ahead' else name}`", page)


class Refusals(unittest.TestCase):
    def test_eight_bit_patterns_are_refused_as_trace_refuses_them(self):
        for name in REFUSING:
            with self.assertRaises(ValueError) as caught:
                smtrace.explain(name, b"ab\xc8", b"abc")
            self.assertEqual(str(caught.exception),
                             f"{name} refuses the pattern: pattern byte 2 is \\xc8, outside the 7-bit alphabet")
            self.assertEqual(smtrace.explain(name, b"a", b"bba").occurrence, 2)

    def test_eight_bit_patterns_where_the_routine_takes_them(self):
        for name in ("morris_pratt", "not_so_naive"):
            explanation = smtrace.explain(name, b"\xc8\xc9", b"a\xc8\xc8\xc9")
            self.assertEqual((explanation.pattern, explanation.occurrence), (b"\xc8\xc9", 2))
            self.assertEqual(explanation.trace, smtrace.trace(name, b"\xc8\xc9", b"a\xc8\xc8\xc9"))

    def test_bad_arguments(self):
        cases = [
            (("boyer_moore", "a", "b"), ValueError, "unknown algorithm 'boyer_moore'"),
            ((None, "a", "b"), ValueError, "unknown algorithm None"),
            (("raita", "\u00e9", "b"), ValueError, "the pattern is a str with characters beyond ASCII"),
            (("raita", 5, "b"), TypeError, "the pattern must be bytes or str, not int"),
            (("raita", "a", None), TypeError, "the text must be bytes or str, not NoneType"),
        ]
        for args, error, message in cases:
            with self.assertRaises(error) as caught:
                smtrace.explain(*args)
            self.assertTrue(str(caught.exception).startswith(message), str(caught.exception))


class Values(unittest.TestCase):
    def test_frozen(self):
        explanation = smtrace.explain("raita", "abab", "ccabaabab")
        with self.assertRaises(dataclasses.FrozenInstanceError):
            explanation.occurrence = 0
        with self.assertRaises(dataclasses.FrozenInstanceError):
            explanation.attempts[0].reads[0].position = 0
        with self.assertRaises(TypeError):
            explanation.tables["bmBc"].entries["a"] = 9
        with self.assertRaises(TypeError):
            explanation.tables["x"] = None

    def test_equal_searches_are_equal(self):
        self.assertEqual(smtrace.explain("raita", "abab", "ccabaabab"),
                         smtrace.explain("raita", b"abab", bytearray(b"ccabaabab")))
        self.assertNotEqual(smtrace.explain("raita", "abab", "ccabaabab"),
                            smtrace.explain("raita", "abab", "ccabaabaa"))

    def test_threads_take_turns(self):
        inputs = [(name, b"abab", b"ccabaabab" * 400) for name in smtrace.ALGORITHMS]
        expected = {args: smtrace.explain(*args).to_json() for args in inputs}
        failures = []

        def work(args):
            for _ in range(20):
                if smtrace.explain(*args).to_json() != expected[args]:
                    failures.append(args[0])

        threads = [threading.Thread(target=work, args=(args,)) for args in inputs * 2]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(failures, [])


if __name__ == "__main__":
    unittest.main()
