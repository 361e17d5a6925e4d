"""The player as a notebook shows it: the Python package's _repr_html_
output written into a plain host page, in headless Chromium.

The host page stands for a notebook: a document of its own, with its own
style and element ids (some the same as the page's), and the fragment
pasted into it as an output cell would be. The player must come up inside
it, show read K at #read=K and by stepping (checked against libsmtrace.so's
JSON as the page tests check the page itself), leave the host's own
elements alone, and ask for nothing over the network.

Run through run.py, which skips the suite (exit status 77) when no Chromium
is installed.
"""

import os
import tempfile
import time
import unittest

import cdp
import test_page as pages

import smtrace

HOST = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>A notebook</title>
<style>body { margin: 2em; font: 14px serif; } button, .lane { color: red; }</style>
</head>
<body>
<h1 id="heading">The notebook's heading</h1>
<div class="cell"><pre>smtrace.explain(...)</pre></div>
<div class="output">%s</div>
<p id="step">the notebook's own step</p>
</body>
</html>
"""

EXAMPLES = [
    ("raita", b"abab", b"ccabaabab"),
    ("turbo_reverse_factor", b"abab", b"ccabaabab"),
    ("skip_search", b"abab", b"ccabaabab"),
]


class NotebookFrame(unittest.TestCase):
    browser = None

    @classmethod
    def setUpClass(cls):
        cls.library = pages.Library()
        cls.directory = tempfile.TemporaryDirectory(prefix="smtrace-notebook-")
        cls.browser = cdp.Browser()
        cls.page = cls.browser.page(1366, 900)

    @classmethod
    def tearDownClass(cls):
        if cls.browser:
            cls.browser.close()
        cls.directory.cleanup()

    def in_player(self, expression):
        """Evaluates expression in the player's frame, in a world of its own
        (the page's policy allows no eval in its own)."""
        tree = self.page.send("Page.getFrameTree")["frameTree"]
        children = tree.get("childFrames", [])
        self.assertEqual(len(children), 1, "one frame in the host page")
        world = self.page.send("Page.createIsolatedWorld",
                               {"frameId": children[0]["frame"]["id"], "worldName": "test"})
        result = self.page.send("Runtime.evaluate", {
            "expression": expression, "contextId": world["executionContextId"],
            "returnByValue": True})
        if "exceptionDetails" in result:
            raise cdp.ProtocolError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_in_player(self, expression, want, timeout=10):
        deadline = time.monotonic() + timeout
        while True:
            got = self.in_player(expression)
            if got == want or time.monotonic() > deadline:
                return got
            time.sleep(0.05)

    def test_the_fragment_plays_inside_a_host_page(self):
        for algorithm, pattern, text in EXAMPLES:
            with self.subTest(algorithm=algorithm):
                expected = pages.Expected(self.library.explain(algorithm, pattern, text))
                fragment = smtrace.explain(algorithm, pattern, text)._repr_html_()
                path = os.path.join(self.directory.name, algorithm + ".html")
                with open(path, "w", encoding="utf-8") as out:
                    out.write(HOST % fragment)
                url = "file://" + path
                self.page.forget()
                self.page.navigate(url)
                self.assertEqual(self.wait_in_player("document.body.dataset.ready", "true"), "true")
                reads = len(expected.reads)
                # every read by the fragment of the player's own document
                for k in range(1, reads + 1):
                    self.assertEqual(self.wait_in_player(
                        f"location.hash = '#read={k}', document.body.dataset.step", str(k)), str(k))
                    pages.ExplainPage.check_state(self, self.in_player(pages.STATE), expected, k,
                                                  pattern)
                # and by stepping with the controls, from the first read
                self.in_player("document.getElementById('first').click()")
                for k in range(2, reads + 1):
                    self.in_player("document.getElementById('forward').click()")
                    pages.ExplainPage.check_state(self, self.in_player(pages.STATE), expected, k,
                                                  pattern)
                # the host's elements are its own still
                self.assertEqual(self.page.evaluate(
                    "[document.getElementById('heading').textContent,"
                    " document.getElementById('step').textContent, location.hash,"
                    " document.querySelectorAll('iframe').length]"),
                    ["The notebook's heading", "the notebook's own step", "", 1])
                # the frame is wide enough to show the player
                width = self.page.evaluate("document.querySelector('iframe').clientWidth")
                self.assertGreater(width, 1000)
                problems, requests = pages.page_problems(self.page, url)
                self.assertEqual(problems, [], "console errors or exceptions")
                self.assertEqual([r for r in requests if r != "about:srcdoc"], [],
                                 "network requests")


if __name__ == "__main__":
    unittest.main()
