"""smtrace.verify: Python functions checked against the reference by the
smtrace tool, and the cases and golden lines the tool generates.

Run by CTest with SMTRACE_LIB_DIR, SMTRACE_TOOL, PYTHONPATH and SM_WRONG_DIR
(tests/verify, where the implementations are) set.
"""

import json
import os
import re
import subprocess
import sys
import time
import unittest

import smtrace

sys.path.insert(0, os.environ["SM_WRONG_DIR"])
import implementations  # noqa: E402

TOOL = os.environ["SMTRACE_TOOL"]
SHORTEST = {"not_so_naive": 2}  # every other routine searches patterns of 1 character


def shown_case(report, heading):
    """The pattern's and text's lengths under a heading of the report."""
    part = report[report.index("\n" + heading):]
    pattern = re.search(r'\n  pattern ".*" \((\d+) bytes?\)\n', part)
    text = re.search(r'\n  text    ".*" \((\d+) bytes?\)\n', part)
    return int(pattern.group(1)), int(text.group(1))


class VerifyFunctions(unittest.TestCase):
    def test_the_libraries_through_python_agree_with_themselves(self):
        for name in smtrace.ALGORITHMS:
            with self.subTest(name):
                result = smtrace.verify(name, lambda p, t, name=name: smtrace.trace(name, p, t),
                                        cases=300)
                self.assertTrue(result.ok, result.report)
                self.assertEqual(result.status, 0)
                self.assertTrue(result.report.endswith("\nall 300 cases agree\n"), result.report)

    def test_a_pure_python_raita_agrees_in_three_lines(self):
        result = smtrace.verify("raita", implementations.raita)
        self.assertTrue(result, result.report)
        self.assertIn("verify raita: the Python function implementations.raita\n", result.report)
        self.assertIn("1000 cases from seed 1", result.report)

    def test_a_wrong_shift_is_caught_explained_and_shrunk(self):
        result = smtrace.verify("raita", implementations.raita_shift_off_by_one, seed=3)
        self.assertFalse(result)
        self.assertEqual(result.status, 1)
        self.assertEqual(str(result), result.report)
        self.assertIn("\nDIVERGES at case ", result.report)
        self.assertIn("is the first of its attempt", result.report)
        self.assertIn("from bmBc[", result.report)
        m, n = shown_case(result.report, "SHRUNK")
        self.assertLessEqual(m + n, 6, result.report)
        self.assertGreaterEqual(m, 1)
        # The report is the tool's own: the same as for a command.
        self.assertRegex(result.report, r"\n\s+function\s+[0-9 ]*\n")

    def test_the_same_seed_gives_the_same_report(self):
        once = smtrace.verify("raita", implementations.raita_shift_off_by_one, seed=11)
        again = smtrace.verify("raita", implementations.raita_shift_off_by_one, seed=11)
        self.assertEqual(once.report, again.report)

    def test_a_function_that_raises_or_returns_no_list_diverges(self):
        raised = smtrace.verify("raita", implementations.raita_raising)
        self.assertEqual(raised.status, 1)
        self.assertIn("the function failed: ZeroDivisionError: a text that ends with", raised.report)
        self.assertEqual(shown_case(raised.report, "SHRUNK"), (1, 1))
        text = smtrace.verify("raita", implementations.raita_as_text, shrink_runs=0)
        self.assertIn("the function failed: it returned a str, not a list of positions", text.report)
        none = smtrace.verify("raita", lambda p, t: None, shrink_runs=0)
        self.assertIn("the function failed: it returned None, not a list of int", none.report)

    def test_a_function_that_does_not_answer_is_left_behind(self):
        started = time.monotonic()
        result = smtrace.verify("raita", implementations.raita_hanging, timeout=0.3)
        self.assertLess(time.monotonic() - started, 2.9)
        self.assertEqual(result.status, 1)
        self.assertIn("the function did not answer within 0.3 s", result.report)
        self.assertIn("\nnot shrunk: the function cannot be asked again", result.report)

    def test_a_golden_file_is_replayed(self):
        golden = os.path.join(os.environ["SM_WRONG_DIR"], "..", "golden", "raita.jsonl")
        result = smtrace.verify("raita", implementations.raita, cases_file=golden)
        self.assertTrue(result, result.report)
        self.assertTrue(result.report.endswith("\nall 100 cases agree\n"))

    def test_bad_arguments_raise(self):
        with self.assertRaisesRegex(ValueError, 'unknown algorithm "knuth"'):
            smtrace.verify("knuth", implementations.raita)
        with self.assertRaisesRegex(ValueError, "--cases takes a whole number"):
            smtrace.verify("raita", implementations.raita, cases=0)
        with self.assertRaises(TypeError):
            smtrace.verify("raita", "not a function")
        with self.assertRaisesRegex(OSError, "cannot read the cases file"):
            smtrace.verify("raita", implementations.raita, cases_file="/nonexistent.jsonl")


class GeneratedCases(unittest.TestCase):
    """The cases behind verify, as golden writes them."""

    def golden(self, name, *options):
        out = subprocess.run([TOOL, "golden", name, *options], capture_output=True, check=True).stdout
        return [json.loads(line) for line in out.decode("ascii").splitlines()]

    def test_cases_keep_to_the_command_lines_limits_and_cover_every_family(self):
        families = subprocess.run([TOOL, "verify", "--list-cases"], capture_output=True,
                                  check=True).stdout.decode().split("\n")
        families = {line.split()[0] for line in families if line}
        for name in smtrace.ALGORITHMS:
            with self.subTest(name):
                seen = set()
                for case in self.golden(name, "--cases", "650", "--seed", "5", "--max-text", "25"):
                    pattern = case["pattern"].encode("latin-1")
                    text = case["text"].encode("latin-1")
                    self.assertGreaterEqual(len(pattern), SHORTEST.get(name, 1), case)
                    self.assertLessEqual(len(pattern), 19, case)
                    self.assertLessEqual(len(text), 25, case)
                    self.assertTrue(all(1 <= b <= 127 for b in pattern + text), case)
                    self.assertEqual(case["trace"], smtrace.trace(name, pattern, text), case)
                    seen.add(case["family"])
                expected = families - ({"single"} if name == "not_so_naive" else set())
                self.assertEqual(seen, expected)

    def test_each_family_makes_the_cases_it_names(self):
        cases = self.golden("morris_pratt", "--cases", "1300", "--seed", "2")
        by_family = {}
        for case in cases:
            by_family.setdefault(case["family"], []).append(
                (case["pattern"].encode("latin-1"), case["text"].encode("latin-1")))
        for x, y in by_family["random-2"]:
            self.assertLessEqual(set(x + y), set(b"ab"))
        for x, y in by_family["random-7bit"]:
            self.assertTrue(all(1 <= b <= 127 for b in x + y))
        self.assertTrue(any(set(x + y) - set(b"abcd") for x, y in by_family["random-7bit"]))
        for x, y in by_family["at-start"]:
            self.assertTrue(y.startswith(x) or x.startswith(y), (x, y))
        for x, y in by_family["at-end"]:
            self.assertTrue(y.endswith(x) or len(y) < len(x), (x, y))
        for x, y in by_family["absent"]:
            self.assertNotIn(x, y)
        for x, y in by_family["longer"]:
            self.assertGreater(len(x), len(y))
        for x, y in by_family["single"]:
            self.assertEqual(len(x), 1)
        for x, y in by_family["long"]:
            self.assertGreaterEqual(len(x), 15)
        for x, y in by_family["runs"]:
            self.assertLessEqual(x.count(b"b"), 1)
            self.assertLessEqual(y.count(b"b"), 2)
        overlapped = 0
        for x, y in by_family["overlapping"]:
            starts = [k for k in range(len(y) - len(x) + 1) if y[k:k + len(x)] == x]
            overlapped += any(b - a < len(x) for a, b in zip(starts, starts[1:]))
        self.assertGreater(overlapped, len(by_family["overlapping"]) // 2)
        periodic = sum(1 for x, y in by_family["periodic"]
                       if any(x[k:] == x[:-k] for k in range(1, 4) if k < len(x)))
        self.assertGreater(periodic, len(by_family["periodic"]) // 2)

    def test_golden_strings_escape_every_byte_outside_printable_ascii(self):
        out = subprocess.run([TOOL, "golden", "skip_search", "--cases", "400", "--seed", "4"],
                             capture_output=True, check=True).stdout
        self.assertTrue(all(0x20 <= b < 0x7f or b == 0x0a for b in out))
        for line in out.splitlines():
            for escape in re.findall(rb"\\u([0-9a-f]{4})", line):
                self.assertLess(int(escape, 16), 0x100)
            case = json.loads(line)
            for value in (case["pattern"], case["text"]):
                self.assertTrue(all(ord(c) < 0x80 for c in value))


if __name__ == "__main__":
    unittest.main()
