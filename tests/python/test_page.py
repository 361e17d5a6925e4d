"""The player pages from Python against the ones the tool writes.

Explanation.page(), save_html and _repr_html_ (what a notebook shows), and
compare_html, checked byte for byte against smtrace explain --html and
smtrace compare --html for the same search: there is one page builder, in
libsmtrace.so, and both go through it.

Run by CTest with SMTRACE_LIB_DIR, SMTRACE_TOOL and PYTHONPATH set.
"""

import html.parser
import os
import subprocess
import tempfile
import unittest

import smtrace

TOOL = os.environ["SMTRACE_TOOL"]

# Operands with every byte a page must carry: escapes, a quote, a zero byte,
# bytes beyond ASCII (so that some routines refuse the pattern), empty ones.
INPUTS = [
    (b"abab", b"ccabaabab"), (b"aab", b"bbaaaabb"), (b"abcab", b"cabdcabcab"), (b"ab", b""),
    (b"", b"xyz"), (b'a"<', b'x</script>a"<&'), (b"a\x00b", b"\x00a\x00b\xff"),
    (b"\xe9\xe9", b"a\xe9\xe9\xe9"), (b"GATTACA", b"TAGATTACAGATTACATTAGATTACA"),
]


class Frame(html.parser.HTMLParser):
    """The elements of an HTML fragment, with their attributes unescaped."""

    def __init__(self, markup):
        super().__init__(convert_charrefs=True)
        self.elements = []
        self.text = ""
        self.feed(markup)
        self.close()

    def handle_starttag(self, tag, attrs):
        self.elements.append((tag, dict(attrs)))

    def handle_data(self, data):
        self.text += data


class PageCase(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory(prefix="smtrace-python-page-")

    def tearDown(self):
        self.directory.cleanup()

    def path(self, name):
        return os.path.join(self.directory.name, name)

    def tool_page(self, command, *algorithm, pattern, text):
        """What the tool writes with --html for the search, the operands
        given in files (they may hold any byte)."""
        for name, data in (("pattern", pattern), ("text", text)):
            with open(self.path(name), "wb") as out:
                out.write(data)
        result = subprocess.run(
            [TOOL, command, *algorithm, "--pattern-file", self.path("pattern"),
             "--text-file", self.path("text"), "--html", self.path("tool.html")],
            capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        with open(self.path("tool.html"), "rb") as page:
            return page.read()

    def srcdoc(self, fragment):
        """The document of a notebook fragment: one iframe, nothing else."""
        frame = Frame(fragment)
        self.assertEqual([tag for tag, _ in frame.elements], ["iframe"])
        self.assertEqual(frame.text, "")
        attributes = frame.elements[0][1]
        self.assertNotIn("src", attributes)
        return attributes["srcdoc"]


class ExplanationPage(PageCase):
    def test_the_tools_page_byte_for_byte(self):
        for algorithm in smtrace.ALGORITHMS:
            for pattern, text in INPUTS:
                with self.subTest(algorithm=algorithm, pattern=pattern, text=text):
                    if smtrace.ALGORITHMS[algorithm].refuses_8bit and any(b >= 128 for b in pattern):
                        with self.assertRaises(ValueError):
                            smtrace.explain(algorithm, pattern, text)
                        continue
                    want = self.tool_page("explain", algorithm, pattern=pattern, text=text)
                    e = smtrace.explain(algorithm, pattern, text)
                    page = e.page()
                    self.assertIsInstance(page, smtrace.Page)
                    self.assertEqual(page.encode("utf-8"), want)
                    # A notebook's fragment holds the same document, escaped.
                    self.assertEqual(self.srcdoc(e._repr_html_()).encode("utf-8"), want)
                    e.save_html(self.path("saved.html"))
                    with open(self.path("saved.html"), "rb") as saved:
                        self.assertEqual(saved.read(), want)

    def test_the_page_does_not_depend_on_other_searches(self):
        # The explanation keeps no library object: its page is made again
        # from its algorithm and operands, whatever ran in between.
        e = smtrace.explain("tuned_bm", "abab", "ccabaabab")
        first = e.page()
        smtrace.explain("skip_search", "xyz", "xyxyxyz").page()
        smtrace.trace("tuned_bm", "ab", "ab")
        self.assertEqual(e.page(), first)
        self.assertEqual(smtrace.explain("tuned_bm", b"abab", bytearray(b"ccabaabab")).page(), first)

    def test_save_html_takes_path_objects_and_replaces_the_file(self):
        from pathlib import Path

        target = Path(self.path("page.html"))
        target.write_bytes(b"x" * 200000)
        e = smtrace.explain("morris_pratt", "abab", "abacabab")
        e.save_html(target)
        self.assertEqual(target.read_bytes(), e.page().encode("utf-8"))

    def test_the_fragment_is_one_element(self):
        fragment = smtrace.explain("raita", "abab", "ccabaabab")._repr_html_()
        # Everything of the page is inside the attribute, escaped: the only
        # angle brackets are the iframe's own tags.
        self.assertTrue(fragment.startswith("<iframe "))
        self.assertTrue(fragment.endswith("></iframe>"))
        self.assertEqual(fragment.count("<"), 2)
        self.assertEqual(fragment.count(">"), 2)


class ComparePage(PageCase):
    def test_the_tools_page_byte_for_byte(self):
        for pattern, text in INPUTS:
            with self.subTest(pattern=pattern, text=text):
                want = self.tool_page("compare", pattern=pattern, text=text)
                page = smtrace.compare_html(pattern, text)
                self.assertIsInstance(page, smtrace.Page)
                self.assertEqual(page.encode("utf-8"), want)
                self.assertEqual(self.srcdoc(page._repr_html_()).encode("utf-8"), want)
                page.save(self.path("saved.html"))
                with open(self.path("saved.html"), "rb") as saved:
                    self.assertEqual(saved.read(), want)

    def test_operands_are_checked_as_for_explain(self):
        for pattern, text, error in [("é", "x", ValueError), ("a", "é", ValueError),
                                     (1, "x", TypeError), ("a", None, TypeError)]:
            with self.subTest(pattern=pattern, text=text):
                with self.assertRaises(error):
                    smtrace.compare_html(pattern, text)

    def test_repr_is_short(self):
        page = smtrace.compare_html("ab", "cab")
        self.assertEqual(repr(page), f"<smtrace.Page of {len(page)} characters>")


if __name__ == "__main__":
    unittest.main()
