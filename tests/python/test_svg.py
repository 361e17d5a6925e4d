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
        [grid] = [g for g in panel.iter(SVG + "g") if "density" in classes(g)]
        self.assertGreater(len([p for p in grid.iter(SVG + "path") if "cells" in classes(p)]), 0)
        self.assertLess(size, 1024 * 1024)
        # The legend explains the shading and shows no mark that is not drawn.
        legend = " ".join(t.text or "" for t in root
                          if t.tag == SVG + "text" and "heading" not in classes(t))
        self.assertIn("reads per cell", legend)
        self.assertNotIn("read again", legend)
        self.assertEqual([c for c in root if c.tag == SVG + "circle"], [])


def tick_labels(panel):
    return [t for t in panel.iter(SVG + "text") if "tick" in classes(t)]


class Pictures(unittest.TestCase):
    """Readable at every size: labels apart, text inside frames, files bounded."""

    def test_position_labels_are_abbreviated_and_never_overlap(self):
        with tempfile.TemporaryDirectory() as scratch:
            for size in (30, 2000, 16000, 2000000):
                text = Path(scratch, f"text{size}")
                text.write_bytes(b"acgt" * (size // 4))
                _, root, data_size = plot("compare", "--text-file", str(text), "gattacag")
                self.assertLess(data_size, 1024 * 1024, size)
                for panel in panels(root):
                    ticks = tick_labels(panel)
                    self.assertGreater(len(ticks), 1, size)
                    for label in ticks:
                        self.assertLessEqual(len(label.text), 5, (size, label.text))
                    # 11 px labels: about 6.6 px per character at the most.
                    for left, right in zip(ticks, ticks[1:]):
                        room = float(right.get("x")) - float(left.get("x"))
                        need = 6.6 * (len(left.text) + len(right.text)) / 2
                        self.assertGreater(room, need, (size, left.text, right.text))

    def test_a_refusal_stays_inside_its_frame(self):
        _, root, _ = plot("compare", "ab\u00e9cd", "xxab")
        for panel in panels(root):
            notes = [t for t in panel.iter(SVG + "text") if "note" in classes(t)]
            if not notes:
                continue
            [frame] = [r for r in panel.iter(SVG + "rect") if "frame" in classes(r)]
            right = float(frame.get("x")) + float(frame.get("width"))
            for note in notes:
                self.assertLess(float(note.get("x")) + 6.6 * len(note.text), right, note.text)

    def test_the_legend_shows_only_what_is_drawn(self):
        # Berry-Ravindran reads aba in cbbabaxaba with re-reads; Raita's abc in ab reads nothing.
        _, root, _ = plot("run", "berry_ravindran", "aba", "cbbabaxaba")
        legend = " ".join(t.text or "" for t in root
                          if t.tag == SVG + "text" and "heading" not in classes(t))
        self.assertIn("read again", legend)
        _, root, _ = plot("run", "raita", "xy", "ab")
        legend = " ".join(t.text or "" for t in root
                          if t.tag == SVG + "text" and "heading" not in classes(t))
        self.assertNotIn("read again", legend)
        self.assertNotIn("first occurrence", legend)


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
