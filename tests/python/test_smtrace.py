"""The smtrace Python package against the built libraries and the smtrace tool.

Run by CTest with SMTRACE_LIB_DIR (the libraries), SMTRACE_TOOL (the tool) and
PYTHONPATH (the package) set.
"""

import ctypes
import json
import os
import re
import subprocess
import tempfile
import threading
import unittest
from pathlib import Path
from unittest import mock

import smtrace

TOOL = os.environ["SMTRACE_TOOL"]
HEADER = Path(__file__).resolve().parents[2] / "include" / "smtrace.h"


def header_fields():
    """The names of a row's fields, from the comment on SMTRACE_ALGORITHM_TABLE."""
    text = HEADER.read_text()
    comment = text[text.index("The full row:"):]
    call = re.search(r"X\(([^)]*)\)", re.sub(r"\n\s*\*", " ", comment)).group(1)
    return [field.strip() for field in call.split(",")]


def header_rows():
    """Each row of SMTRACE_ALGORITHM_ROWS_ as a tuple: the name, the routine and
    the title as strings, every other field as an int."""
    text = HEADER.read_text()
    lines = [line for line in text.splitlines() if re.match(r"\s*F\(X,", line)]
    row = re.compile(r'\s*F\(X, (\w+), (\w+), "([^"]*)"((?:, -?\d+)+)\)\s*\\?$')
    rows = []
    for line in lines:
        found = row.match(line)
        if found is None:
            raise AssertionError(f"a row of the header that this test cannot read: {line!r}")
        numbers = [int(number) for number in found.group(4).split(",")[1:]]
        rows.append((found.group(1), found.group(2), found.group(3), *numbers))
    return rows


def as_row(algorithm):
    return tuple(int(value) if isinstance(value, bool) else value for value in algorithm)


# The routines that refuse 8-bit patterns, and the others, by the header's table.
REFUSING = [name for name, algorithm in smtrace.ALGORITHMS.items() if algorithm.refuses_8bit]
ACCEPTING = [name for name, algorithm in smtrace.ALGORITHMS.items() if not algorithm.refuses_8bit]

# Worked examples whose traces follow from each routine's rules by hand.
HAND_CHECKED = [
    ("morris_pratt", b"abab", b"abacabab", [0, 1, 2, 3, 3, 3, 4, 5, 6, 7]),
    ("morris_pratt", b"", b"xyz", [0]),
    ("raita", b"ab", b"cab", [1, 2, 1]),
    ("raita", b"aaa", b"aaaa", [2, 0, 1]),
    ("tuned_bm", b"abcd", b"abcabcabcd", [3, 6, 9, 7, 8]),
    ("tuned_bm", b"abb", b"xab", [2, 0, 1, 2, 2]),
    ("berry_ravindran", b"aba", b"cbbabaxaba", [0, 3, 4, 1, 4, 5, 3, 4, 5]),
    ("berry_ravindran", b"abca", b"bcabdabcaa", [0, 4, 5, 5, 6, 7, 8]),
    ("skip_search", b"aba", b"cbabaaba", [2, 0, 3, 4]),
    ("skip_search", b"ab", b"ccca", [1, 3, 4]),
    ("raita", b"", b"abc", []),
    ("turbo_reverse_factor", b"ab", b"", []),
]

EXAMPLES = [
    (b"abab", b"ccabaabab"), (b"GATTACA", b"TAGATTACAGATTACATTAGATTACA"), (b"a", b"bba"),
    (b"abc", b"ab"), (b"", b"xyz"), (b"ab", b""), (b"x" * 25 + b"y", b"x" * 60 + b"y"),
    (b"b\0a", b"ab\0ab\ncd\xe9\xff"),
]


def tool(*args):
    return subprocess.run([TOOL, *args], capture_output=True, check=True).stdout


def tool_trace(name, pattern, text):
    with tempfile.TemporaryDirectory() as scratch:
        pattern_file, text_file = Path(scratch, "pattern"), Path(scratch, "text")
        pattern_file.write_bytes(pattern)
        text_file.write_bytes(text)
        out = tool("run", name, "--pattern-file", str(pattern_file), "--text-file", str(text_file))
    return [int(position) for position in out.split()]


def tool_compare(pattern, text):
    with tempfile.TemporaryDirectory() as scratch:
        Path(scratch, "pattern").write_bytes(pattern)
        Path(scratch, "text").write_bytes(text)
        return json.loads(tool("compare", "--json", "--pattern-file", str(Path(scratch, "pattern")),
                               "--text-file", str(Path(scratch, "text"))))


class Algorithms(unittest.TestCase):
    def test_the_fields_are_the_headers(self):
        self.assertEqual(list(smtrace.Algorithm._fields), header_fields())

    def test_the_table_is_the_headers(self):
        rows = header_rows()
        count = re.search(r"#define SMTRACE_ALGORITHM_COUNT (\d+)", HEADER.read_text()).group(1)
        self.assertEqual(len(rows), int(count))
        self.assertEqual([as_row(algorithm) for algorithm in smtrace.ALGORITHMS.values()], rows)
        self.assertEqual(list(smtrace.ALGORITHMS), [row[0] for row in rows])

    def test_buffer_sizes_follow_each_routines_room(self):
        cases = [  # name, n, m, size
            ("tuned_bm", 5, 3, 8), ("tuned_bm", 5, 0, 6), ("tuned_bm", 0, 4, 4),
            ("berry_ravindran", 5, 3, 7), ("skip_search", 5, 3, 6), ("morris_pratt", 0, 0, 1),
        ]
        for name, n, m, size in cases:
            self.assertEqual(smtrace.ALGORITHMS[name].buffer_size(n, m), size, (name, n, m))


class Trace(unittest.TestCase):
    def test_hand_checked_traces(self):
        for name, pattern, text, expected in HAND_CHECKED:
            self.assertEqual(smtrace.trace(name, pattern, text), expected, (name, pattern, text))

    def test_the_array_holds_the_same_positions(self):
        for name, pattern, text, expected in HAND_CHECKED:
            positions = smtrace.trace_array(name, pattern, text)
            self.assertEqual(positions.itemsize, 4)
            self.assertEqual(positions.tolist(), expected, (name, pattern, text))
        self.assertEqual(len(smtrace.trace_array("raita", "abc", "ab")), 0)
        with self.assertRaises(ValueError):
            smtrace.trace_array("raita", b"\xc8", b"abc")

    def test_agrees_with_the_tool(self):
        for name in smtrace.ALGORITHMS:
            for pattern, text in EXAMPLES:
                self.assertEqual(smtrace.trace(name, pattern, text), tool_trace(name, pattern, text),
                                 (name, pattern, text))

    def test_ascii_str_bytearray_and_memoryview_are_bytes(self):
        for name in smtrace.ALGORITHMS:
            expected = smtrace.trace(name, b"aba", b"cbabaaba")
            self.assertEqual(smtrace.trace(name, "aba", "cbabaaba"), expected)
            self.assertEqual(smtrace.trace(name, bytearray(b"aba"), memoryview(b"cbabaaba")), expected)

    def test_eight_bit_patterns_where_the_routine_takes_them(self):
        for name in ACCEPTING:
            self.assertEqual(smtrace.trace(name, b"\xc8\xc9", b"a\xc8\xc8\xc9"),
                             tool_trace(name, b"\xc8\xc9", b"a\xc8\xc8\xc9"))

    def test_refusals_raise_instead_of_ending_the_process(self):
        for name in REFUSING:
            with self.assertRaises(ValueError) as caught:
                smtrace.trace(name, b"ab\xc8", b"abc")
            self.assertEqual(str(caught.exception),
                             f"{name} refuses the pattern: pattern byte 2 is \\xc8, "
                             "outside the 7-bit alphabet")
            # The library is still there and answers.
            self.assertEqual(smtrace.trace(name, b"a", b"bba")[-1], 2)

    def test_bad_arguments(self):
        cases = [
            (("boyer_moore", "a", "b"), ValueError, "unknown algorithm 'boyer_moore'"),
            (("raita", "\u00e9", "b"), ValueError, "the pattern is a str with characters beyond ASCII"),
            (("raita", "a", "caf\u00e9"), ValueError, "the text is a str with characters beyond ASCII"),
            (("raita", 5, "b"), TypeError, "the pattern must be bytes or str, not int"),
            (("raita", "a", None), TypeError, "the text must be bytes or str, not NoneType"),
        ]
        for args, error, message in cases:
            with self.assertRaises(error) as caught:
                smtrace.trace(*args)
            self.assertTrue(str(caught.exception).startswith(message), str(caught.exception))

    def test_each_library_is_loaded_once(self):
        # The deliverables, and libsmtrace.so, which copies their traces.
        saved, saved_host = dict(smtrace._entries), list(smtrace._host)
        smtrace._entries.clear()
        smtrace._host.clear()
        try:
            with mock.patch.object(smtrace.ctypes, "CDLL", wraps=ctypes.CDLL) as loads:
                for _ in range(3):
                    smtrace.trace("raita", "ab", "cab")
                    smtrace.compare("ab", "cab")
                    smtrace.explain("raita", "ab", "cab")
            self.assertEqual(sorted(call.args[0] for call in loads.call_args_list),
                             sorted(str(smtrace.library_directory() / f"lib{name}.so")
                                    for name in [*smtrace.ALGORITHMS, "smtrace"]))
        finally:
            smtrace._entries.clear()
            smtrace._entries.update(saved)
            smtrace._host[:] = saved_host

    def test_missing_library_is_an_os_error(self):
        saved = dict(smtrace._entries)
        smtrace._entries.clear()
        try:
            with tempfile.TemporaryDirectory() as empty, \
                    mock.patch.dict(os.environ, {"SMTRACE_LIB_DIR": empty}):
                with self.assertRaises(OSError) as caught:
                    smtrace.trace("raita", "a", "b")
                self.assertIn(f"cannot load the raita library: {empty}/libraita.so",
                              str(caught.exception))
        finally:
            smtrace._entries.clear()
            smtrace._entries.update(saved)

    def test_missing_host_library_is_an_os_error(self):
        # The deliverables without libsmtrace.so, which copies their traces.
        built = smtrace.library_directory().resolve()
        saved, saved_host = dict(smtrace._entries), list(smtrace._host)
        smtrace._entries.clear()
        smtrace._host.clear()
        try:
            with tempfile.TemporaryDirectory() as partial, \
                    mock.patch.dict(os.environ, {"SMTRACE_LIB_DIR": partial}):
                for name in smtrace.ALGORITHMS:
                    os.symlink(built / f"lib{name}.so", Path(partial, f"lib{name}.so"))
                for call in (lambda: smtrace.trace("raita", "ab", "cab"),
                             lambda: smtrace.explain("raita", "ab", "cab")):
                    with self.assertRaises(OSError) as caught:
                        call()
                    self.assertIn(f"cannot load the explaining library libsmtrace.so: {partial}/libsmtrace.so",
                                  str(caught.exception))
        finally:
            smtrace._entries.clear()
            smtrace._entries.update(saved)
            smtrace._host[:] = saved_host
        self.assertEqual(smtrace.trace("raita", "ab", "cab"), [1, 2, 1])

    def test_threads_take_turns(self):
        expected = {name: smtrace.trace(name, b"abab", b"ccabaabab" * 50) for name in smtrace.ALGORITHMS}
        failures = []

        def work(name):
            for _ in range(50):
                if smtrace.trace(name, b"abab", b"ccabaabab" * 50) != expected[name]:
                    failures.append(name)

        threads = [threading.Thread(target=work, args=(name,)) for name in list(smtrace.ALGORITHMS) * 2]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(failures, [])

    def test_a_long_trace(self):
        positions = smtrace.trace("morris_pratt", b"b", b"a" * 300000)
        self.assertEqual(positions, list(range(300000)))


class Compare(unittest.TestCase):
    def test_equals_the_tools_json(self):
        # The tool's rows also carry what the explaining library counts
        # (occurrence, drops_repeats, counts), which the package leaves out.
        from_library = ("occurrence", "drops_repeats", "counts")
        for pattern, text in EXAMPLES + [(b"\xc8", b"a\xc8"), (b"ab", b"ab" * 1000)]:
            figures = tool_compare(pattern, text)
            for row in figures["algorithms"].values():
                for key in from_library:
                    del row[key]
            self.assertEqual(smtrace.compare(pattern, text), figures, (pattern, text))

    def test_figures_of_one_trace(self):
        # morris_pratt reads 0 1 2 3 3 3 4 5 6 7 in abacabab: ten reads of eight
        # positions, position 3 three times; abab occurs at 4.
        figures = smtrace.compare("abab", "abacabab")
        self.assertEqual(figures["pattern_length"], 4)
        self.assertEqual(figures["text_length"], 8)
        self.assertEqual(figures["algorithms"]["morris_pratt"], {
            "refused": False, "reads": 10, "distinct_positions": 8, "reads_per_character": 1.25,
            "most_reads_of_one_position": 3, "first_occurrence": 4})
        self.assertEqual(list(figures["algorithms"]), list(smtrace.ALGORITHMS))

    def test_refused_routines_have_no_figures(self):
        figures = smtrace.compare(b"\xc8", b"a\xc8")["algorithms"]
        for name in REFUSING:
            self.assertTrue(figures[name]["refused"])
            self.assertIsNone(figures[name]["reads"])
        self.assertEqual(figures["morris_pratt"]["reads"], 2)


if __name__ == "__main__":
    unittest.main()
