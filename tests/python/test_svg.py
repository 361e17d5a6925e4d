"""The SVG plots of smtrace, parsed as XML: one mark per read, in reading order.

Run by CTest with SMTRACE_TOOL set to the tool.
"""

import json
import os
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

TOOL = os.environ["SMTRACE_TOOL"]
SVG = "{http://www.w3.org/2000/svg}"


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True, check=True).stdout.decode()


def plot(*args):
    """Runs smtrace with --svg; returns its standard output and the parsed plot."""
    with tempfile.TemporaryDirectory() as scratch:
        path = Path(scratch, "plot.svg")
        out = run(*args, "--svg", str(path))
        data = path.read_bytes()
        self_contained(data)
        return out, ElementTree.fromstring(data), len(data)


def self_contained(data):
    # Nothing to fetch: no links, images, scripts or external stylesheets.
    for word in (b"href", b"<image", b"<script", b"@import", b"url("):
        assert word not in data, word


def classes(element):
    return element.get("class", "").split()


def panels(root):
    return [g for g in root.iter(SVG + "g") if "panel" in classes(g)]


def marks(panel):
    return [c for c in panel.iter(SVG + "circle") if "read" in classes(c)]


def numbers(out):
    return [int(word) for word in out.split()]


class RunPlot(unittest.TestCase):
    def test_one_mark_per_read_in_reading_order(self):
        for name, pattern, text in [("morris_pratt", "abab", "ccabaabab"),
                                    ("berry_ravindran", "aba", "cbbabaxaba"),
                                    ("skip_search", "ab", "ccca"),
                                    ("not_so_naive", "GATTACA", "TAGATTACAGATTACATTAGATTACA")]:
            out, root, _ = plot("run", name, pattern, text)
            self.assertEqual(root.tag, SVG + "svg")
            for attribute in ("width", "height", "viewBox"):
                self.assertIn(attribute, root.attrib)
            trace = numbers(out)
            [panel] = panels(root)
            self.assertEqual(panel.get("data-algorithm"), name)
            found = marks(panel)
            self.assertEqual(len(found), len(trace), name)
            self.assertEqual([m.find(SVG + "title").text for m in found],
                             [f"read {i + 1}: position {p}" for i, p in enumerate(trace)])
            # Reading order goes down the plot; positions go right.
            heights = [float(m.get("cy")) for m in found]
            self.assertEqual(heights, sorted(heights))
            self.assertEqual(len(set(heights)), len(heights))
            across = {p: float(m.get("cx")) for p, m in zip(trace, found)}
            self.assertEqual(sorted(across), sorted(across, key=across.get))
            # A position read before is drawn as read again.
            seen = set()
            for p, m in zip(trace, found):
                self.assertEqual("again" in classes(m), p in seen)
                seen.add(p)

    def test_an_empty_trace_has_no_marks(self):
        out, root, _ = plot("run", "raita", "abc", "ab")
        self.assertEqual(out, "\n")
        [panel] = panels(root)
        self.assertEqual(marks(panel), [])

    def test_a_long_trace_is_drawn_as_density(self):
        with tempfile.TemporaryDirectory() as scratch:
            text = Path(scratch, "text")
            text.write_bytes(b"a" * 500000)
            out, root, size = plot("run", "morris_pratt", "--text-file", str(text), "b")
        self.assertEqual(len(numbers(out)), 500000)
        [panel] = panels(root)
        self.assertEqual(marks(panel), [])
        self.assertGreater(len([r for r in panel.iter(SVG + "rect") if "density" in classes(r)]), 0)
        self.assertLess(size, 4 * 1024 * 1024)


class ComparePlot(unittest.TestCase):
    def test_one_panel_per_algorithm_with_its_reads(self):
        for pattern, text in [("abab", "ccabaabab"), ("GATTACA", "TAGATTACAGATTACATTAGATTACA")]:
            figures = json.loads(run("compare", "--json", pattern, text))["algorithms"]
            _, root, _ = plot("compare", pattern, text)
            found = panels(root)
            self.assertEqual([p.get("data-algorithm") for p in found], list(figures))
            for panel in found:
                self.assertEqual(len(marks(panel)), figures[panel.get("data-algorithm")]["reads"])

    def test_refused_panels_say_so(self):
        _, root, _ = plot("compare", "\u00e9", "caf\u00e9")
        for panel in panels(root):
            text = " ".join(t.text or "" for t in panel.iter(SVG + "text"))
            refused = panel.get("data-algorithm") not in ("morris_pratt", "not_so_naive")
            self.assertEqual("refused" in text, refused, panel.get("data-algorithm"))
            if refused:
                self.assertEqual(marks(panel), [])


if __name__ == "__main__":
    unittest.main()
