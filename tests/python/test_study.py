"""smtrace study and smtrace study merge, run as processes, and smtrace.study.

Run by CTest with SMTRACE_LIB_DIR (the libraries), SMTRACE_TOOL (the tool) and
PYTHONPATH (the package) set.
"""

import json
import os
import pty
import random
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from fractions import Fraction
from pathlib import Path

import smtrace

TOOL = os.environ["SMTRACE_TOOL"]
LIBS = os.environ["SMTRACE_LIB_DIR"]
ALGORITHMS = list(smtrace.ALGORITHMS)
SVG = "{http://www.w3.org/2000/svg}"


def run(*args, env=None):
    full = dict(os.environ, **(env or {}))
    return subprocess.run([TOOL, *args], capture_output=True, env=full)


def study_json(*args, env=None):
    done = run("study", *args, "--json", env=env)
    assert done.returncode == 0, done.stderr.decode()
    assert done.stderr == b"", done.stderr
    return done.stdout


class Scratch:
    def __enter__(self):
        self._dir = tempfile.TemporaryDirectory()
        self.path = Path(self._dir.name)
        return self

    def __exit__(self, *exc):
        self._dir.cleanup()

    def file(self, name, data):
        path = self.path / name
        path.write_bytes(data)
        return str(path)


def random_text(letters, n, seed):
    chooser = random.Random(seed)
    return bytes(chooser.choice(letters) for _ in range(n))


def close(a, b):
    return abs(float(a) - float(b)) < 1e-12


# ---------------------------------------------------------------------------
# Figures checked by hand: "ccabaabab", patterns of 4 (seed 1 draws the
# places 4, 5, 1, 2). The traces follow from each routine's rules, for
# example abab (drawn at 5, first occurrence 5): turbo_reverse_factor reads
# 8 positions, morris_pratt 11, not_so_naive 10, raita 9, tuned_bm 9,
# berry_ravindran 7 and skip_search 11 (smtrace compare abab ccabaabab).

HAND_TEXT = b"ccabaabab"
# draw: (place, pattern, first occurrence)
HAND_DRAWS = [(4, b"aaba", 4), (5, b"abab", 5), (1, b"caba", 1), (2, b"abaa", 2)]
# The reads of each routine on each drawn pattern, in draw order.
HAND_READS = {
    "turbo_reverse_factor": [7, 8, 5, 5],
    "morris_pratt": [9, 11, 6, 6],
    "not_so_naive": [6, 10, 5, 6],
    "raita": [8, 9, 5, 5],
    "tuned_bm": [7, 9, 4, 4],
    "berry_ravindran": [14, 7, 8, 10],
    "skip_search": [7, 11, 5, 5],
}


def hand_spread(values):
    """Mean, median and quartiles, interpolated between the nearest values."""
    ordered = sorted(values)

    def at(p):
        h = p * (len(ordered) - 1)
        lo = int(h)
        if lo + 1 >= len(ordered):
            return ordered[lo]
        return ordered[lo] + (h - lo) * (ordered[lo + 1] - ordered[lo])

    return {"mean": sum(values) / len(values), "median": at(Fraction(1, 2)),
            "q1": at(Fraction(1, 4)), "q3": at(Fraction(3, 4))}


class HandChecked(unittest.TestCase):
    def setUp(self):
        with Scratch() as scratch:
            path = scratch.file("text", HAND_TEXT)
            self.result = json.loads(study_json("--text-file", path, "--lengths", "4",
                                                "--patterns", "4", "--seed", "1", "--jobs", "2"))

    def test_the_draws_and_each_routines_reads(self):
        cases = self.result["cases"]
        self.assertEqual(len(cases), 4)
        for draw, case in enumerate(cases):
            place, pattern, first = HAND_DRAWS[draw]
            self.assertEqual((case["case"], case["draw"], case["kind"], case["m"]), (draw, draw, "present", 4))
            self.assertEqual((case["position"], case["pattern"].encode("latin-1"), case["first"]),
                             (place, pattern, first))
            for name in ALGORITHMS:
                figures = case["figures"][name]
                self.assertEqual(figures["reads"], HAND_READS[name][draw], (name, pattern))
                self.assertEqual(figures["occurrence"], first, (name, pattern))
        # The reads agree with every routine's own trace.
        for case in cases:
            pattern = case["pattern"].encode("latin-1")
            for name in ALGORITHMS:
                self.assertEqual(case["figures"][name]["reads"], len(smtrace.trace(name, pattern, HAND_TEXT)))

    def test_abab_in_detail(self):
        # raita: windows 0 (reads 3, 0), 2 (5), 3 (6, 3) and 5 (8, 5, 7, 6,
        # then 7 again, inside its window, so not recorded): 10 compares, 9
        # recorded, 1 dropped. tuned_bm: window 0 (3, 0), then 5, 6 and 6
        # twice more (dropped) and 3, then 8, 5, 6, 7: 11 compares, 2 dropped.
        # berry_ravindran: window 0 compares 0 and looks ahead at 4, 5 (shift
        # 5), window 5 compares 5 to 8: 5 compares and 2 look-aheads.
        abab = self.result["cases"][1]["figures"]
        self.assertEqual(abab["raita"], {"reads": 9, "compares": 10, "look_aheads": 0, "dropped": 1, "occurrence": 5})
        self.assertEqual(abab["tuned_bm"], {"reads": 9, "compares": 11, "look_aheads": 0, "dropped": 2, "occurrence": 5})
        self.assertEqual(abab["berry_ravindran"], {"reads": 7, "compares": 5, "look_aheads": 2, "dropped": 0, "occurrence": 5})
        self.assertEqual(abab["morris_pratt"], {"reads": 11, "compares": 11, "look_aheads": 0, "dropped": 0, "occurrence": 5})

    def test_the_summary_per_character_read_through(self):
        rows = {row["algorithm"]: row for row in self.result["summary"]}
        self.assertEqual(list(rows), ALGORITHMS)
        for name in ALGORITHMS:
            row = rows[name]
            self.assertEqual((row["patterns"], row["refused"], row["m"], row["kind"]), (4, 0, 4, "present"))
            # reads / (first occurrence + m)
            per_character = [Fraction(reads, first + 4)
                             for reads, (_, _, first) in zip(HAND_READS[name], HAND_DRAWS)]
            expected = hand_spread(per_character)
            for key in ("mean", "median", "q1", "q3"):
                self.assertTrue(close(row["reads_per_character"][key], expected[key]), (name, key))
        # Worked out in full for two of them.
        self.assertEqual(rows["raita"]["reads_per_character"],
                         {"mean": 23 / 24, "median": 1.0, "q1": 23 / 24, "q3": 1.0})
        mp = rows["morris_pratt"]["reads_per_character"]
        # 9/8, 11/9, 6/5, 6/6: sorted 1, 1.125, 1.2, 1.2222...
        self.assertTrue(close(mp["median"], (1.125 + 1.2) / 2))
        self.assertTrue(close(mp["q1"], 1 + 0.75 * 0.125))
        self.assertTrue(close(mp["q3"], 1.2 + 0.25 * (11 / 9 - 1.2)))
        self.assertTrue(close(mp["mean"], (9 / 8 + 11 / 9 + 6 / 5 + 1) / 4))

    def test_absent_patterns_are_per_text_character(self):
        with Scratch() as scratch:
            path = scratch.file("text", HAND_TEXT)
            result = json.loads(study_json("--text-file", path, "--lengths", "4", "--patterns", "4",
                                           "--absent"))
        for case in result["cases"]:
            self.assertEqual(case["kind"], "absent")
            self.assertNotIn(case["pattern"].encode("latin-1"), HAND_TEXT)
        for row in result["summary"]:
            reads = [case["figures"][row["algorithm"]]["reads"] for case in result["cases"]]
            expected = hand_spread([Fraction(r, len(HAND_TEXT)) for r in reads])
            self.assertTrue(close(row["reads_per_character"]["mean"], expected["mean"]))
            self.assertTrue(close(row["reads_per_character"]["median"], expected["median"]))


# ---------------------------------------------------------------------------
# Patterns: present ones are where they were drawn; absent ones occur nowhere.

class Patterns(unittest.TestCase):
    TEXTS = {
        "one-letter": random_text(b"a", 300, 1),
        "binary": random_text(b"ab", 3000, 2),
        "four": random_text(b"acgt", 5000, 3),
        # every byte value but 'A'
        "bytes": bytes(b for b in range(256) if b != 65) * 4 + random_text(bytes(range(66, 256)), 500, 4),
    }

    def studied(self, *flags, lengths="1,2,3,8,20"):
        with Scratch() as scratch:
            args = []
            for name, text in self.TEXTS.items():
                args += ["--text-file", scratch.file(name, text)]
            return json.loads(study_json(*args, "--lengths", lengths, "--patterns", "12", *flags))

    def test_absent_patterns_occur_nowhere(self):
        result = self.studied("--absent")
        texts = list(self.TEXTS.values())
        self.assertEqual(len(result["cases"]), 4 * 5 * 12)
        for case in result["cases"]:
            text = texts[case["text"]]
            pattern = case["pattern"].encode("latin-1")
            self.assertEqual(len(pattern), case["m"])
            self.assertNotIn(pattern, text, case)
            self.assertEqual(case["first"], -1)
            for name, figures in case["figures"].items():
                if not figures.get("refused"):
                    self.assertEqual(figures["occurrence"], -1, (name, case))
        # A one-letter text leaves no other letter to change to: a byte the
        # text lacks goes in, the first printable one ('!'); in the text of
        # every byte but 'A', the one-byte patterns can only be 'A'.
        one = [c for c in result["cases"] if c["text"] == 0]
        self.assertTrue(all(c["pattern"].count("!") == 1 and set(c["pattern"]) <= {"a", "!"} for c in one))
        self.assertTrue(all(c["pattern"] == "A" for c in result["cases"] if c["text"] == 3 and c["m"] == 1))

    def test_no_absent_pattern_when_every_string_occurs(self):
        with Scratch() as scratch:
            path = scratch.file("all", bytes(range(256)))
            done = run("study", "--text-file", path, "--lengths", "1", "--absent")
        self.assertEqual((done.returncode, done.stdout), (6, b""))
        self.assertEqual(done.stderr.decode(), f"smtrace: no pattern of length 1 found absent from the text {path}, "
                                               "which holds every byte value\n")

    def test_present_patterns_are_drawn_from_the_text(self):
        result = self.studied()
        texts = list(self.TEXTS.values())
        places = set()
        for case in result["cases"]:
            text = texts[case["text"]]
            pattern = case["pattern"].encode("latin-1")
            self.assertEqual(pattern, text[case["position"]:case["position"] + case["m"]])
            self.assertEqual(case["first"], text.find(pattern))
            places.add((case["text"], case["m"], case["position"]))
            for name, figures in case["figures"].items():
                if not figures.get("refused"):
                    self.assertEqual(figures["occurrence"], case["first"], name)
        self.assertGreater(len(places), 200)  # drawn at many places

    def test_a_refused_pattern_is_reported_as_refused(self):
        result = self.studied(lengths="2")
        refusing = [name for name, a in smtrace.ALGORITHMS.items() if a.refuses_8bit]
        cases = [c for c in result["cases"] if c["text"] == 3]
        eight_bit = [c for c in cases if any(ord(ch) >= 128 for ch in c["pattern"])]
        self.assertTrue(eight_bit)
        for case in cases:
            refused = case in eight_bit
            for name in ALGORITHMS:
                self.assertEqual(case["figures"][name].get("refused", False),
                                 refused and name in refusing, (name, case["pattern"]))
        for row in result["summary"]:
            if row["text"] == 3:
                self.assertEqual(row["patterns"], 12)
                self.assertEqual(row["refused"], len(eight_bit) if row["algorithm"] in refusing else 0)

    def test_every_case_refused_shows_as_dashes(self):
        with Scratch() as scratch:
            path = scratch.file("high", bytes([200, 201]) * 50)
            table = run("study", "--text-file", path, "--lengths", "2", "--patterns", "3").stdout.decode()
            data = json.loads(study_json("--text-file", path, "--lengths", "2", "--patterns", "3"))
        line = next(l for l in table.splitlines() if l.startswith("turbo_reverse_factor"))
        self.assertEqual(line.split()[1:4], ["2", "3", "3"])
        self.assertEqual(set(line.split()[4:]), {"-"})
        row = data["summary"][0]
        self.assertEqual((row["algorithm"], row["refused"], row["reads_per_character"]),
                         ("turbo_reverse_factor", 3, None))


# ---------------------------------------------------------------------------
# Determinism and shards.

class Reproducible(unittest.TestCase):
    ARGS = ["--generate", "random2:4K", "--generate", "english:3K", "--lengths", "2,8,24",
            "--patterns", "7", "--present", "--absent"]

    def test_same_seed_same_output_whatever_the_workers(self):
        one = study_json(*self.ARGS, "--seed", "5", "--jobs", "1")
        three = study_json(*self.ARGS, "--seed", "5", "--jobs", "3")
        self.assertEqual(one, three)
        for flag in ([], ["--csv"]):
            a = run("study", *self.ARGS, "--seed", "5", "--jobs", "2", *flag)
            b = run("study", *self.ARGS, "--seed", "5", "--jobs", "1", *flag)
            self.assertEqual((a.returncode, a.stdout), (0, b.stdout))

    def test_another_seed_draws_other_patterns(self):
        five = json.loads(study_json(*self.ARGS, "--seed", "5"))
        six = json.loads(study_json(*self.ARGS, "--seed", "6"))
        draws = lambda r: [(c["position"], c["pattern"]) for c in r["cases"]]
        self.assertNotEqual(draws(five), draws(six))
        same = sum(a == b for a, b in zip(draws(five), draws(six)))
        self.assertLess(same, len(draws(five)) // 4)
        # The generated texts themselves do not depend on the seed.
        self.assertEqual(five["study"]["texts"], six["study"]["texts"])

    def test_shards_merged_are_the_whole_study_byte_for_byte(self):
        whole = study_json(*self.ARGS)
        whole_table = run("study", *self.ARGS).stdout
        whole_csv = run("study", *self.ARGS, "--csv").stdout
        with Scratch() as scratch:
            for count in (1, 2, 3):
                files = []
                for index in range(1, count + 1):
                    part = study_json(*self.ARGS, "--shard", f"{index}/{count}")
                    files.append(scratch.file(f"part{index}of{count}.json", part))
                    cases = json.loads(part)["cases"]
                    self.assertTrue(all(c["case"] % count == index - 1 for c in cases))
                files.reverse()  # any order
                merged = run("study", "merge", *files, "--json")
                self.assertEqual(merged.returncode, 0, merged.stderr)
                self.assertEqual(merged.stdout, whole, f"{count} ways")
                self.assertEqual(run("study", "merge", *files).stdout, whole_table)
                self.assertEqual(run("study", "merge", *files, "--csv").stdout, whole_csv)
            # A merged study merges again to itself.
            again = run("study", "merge", scratch.file("whole.json", whole), "--json")
            self.assertEqual(again.stdout, whole)

    def test_more_parts_than_cases(self):
        args = ["--generate", "random4:1K", "--lengths", "3", "--patterns", "2"]
        whole = study_json(*args)
        with Scratch() as scratch:
            files = [scratch.file(f"p{k}", study_json(*args, "--shard", f"{k}/5")) for k in range(1, 6)]
            self.assertEqual([len(json.load(open(f))["cases"]) for f in files], [1, 1, 0, 0, 0])
            self.assertEqual(run("study", "merge", *files, "--json").stdout, whole)

    def test_merge_refuses_parts_that_do_not_make_a_study(self):
        with Scratch() as scratch:
            p = lambda k, n, *extra: scratch.file(f"p{k}{n}{len(extra)}", study_json(*self.ARGS, *extra, "--shard", f"{k}/{n}"))
            one, two, three = p(1, 3), p(2, 3), p(3, 3)
            other_seed = p(3, 3, "--seed", "9")
            half = p(2, 2)
            bad = scratch.file("bad.json", b'{"format": "smtrace study 1", "study": [}')
            cases = [
                ([one, two], 6, "smtrace: the study's part 3 of 3 missing\n"),
                ([one, two, two, three], 6, f"smtrace: {two} and {two} are both part 2 of 3\n"),
                ([one, two, other_seed], 6, f"smtrace: {other_seed} is a part of another study than {one}\n"),
                ([one, half], 6, f"smtrace: {half} is part 2 of 2, {one} part 1 of 3\n"),
                ([bad], 5, f"smtrace: {bad} is not a study's JSON: a value expected at byte 40\n"),
                ([str(scratch.path / "none.json")], 5,
                 f"smtrace: cannot read the study file {scratch.path / 'none.json'}: No such file or directory\n"),
            ]
            for files, status, err in cases:
                done = run("study", "merge", *files, "--json")
                self.assertEqual((done.returncode, done.stdout, done.stderr.decode()), (status, b"", err), files)


# ---------------------------------------------------------------------------
# Workers: failures end the study with a message and a status, never a
# partial table; progress only on a terminal.

class Workers(unittest.TestCase):
    ARGS = ["study", "--generate", "random4:20K", "--lengths", "4,16", "--patterns", "6", "--absent"]

    def test_a_missing_library_is_an_error(self):
        with tempfile.TemporaryDirectory() as partial:
            for name in ALGORITHMS:
                if name != "raita":
                    os.symlink(Path(LIBS, f"lib{name}.so"), Path(partial, f"lib{name}.so"))
            for jobs in ("1", "2"):
                done = run(*self.ARGS, "--jobs", jobs, env={"SMTRACE_LIB_DIR": partial})
                self.assertEqual(done.returncode, 4)
                self.assertEqual(done.stdout, b"")
                err = done.stderr.decode()
                self.assertTrue(err.startswith(f"smtrace: cannot load the raita library: {partial}/libraita.so"), err)
                self.assertEqual(err.count("\n"), 1, err)

    def test_a_killed_worker_is_an_error(self):
        for jobs, case in (("1", "0"), ("2", "5"), ("3", "11")):
            done = run(*self.ARGS, "--jobs", jobs, "--json", env={"SMTRACE_STUDY_TEST_KILL_CASE": case})
            self.assertEqual(done.returncode, 9, (jobs, case))
            self.assertEqual(done.stdout, b"")
            err = done.stderr.decode()
            self.assertRegex(err, r"^smtrace: study worker [0-9]+ of " + jobs +
                             r" \(process [0-9]+\) was killed by signal 9 \(Killed\) before it finished its cases\n$")

    def test_a_kill_hook_on_a_case_of_another_shard_does_nothing(self):
        whole = run(*self.ARGS, "--shard", "2/2", "--json")
        hooked = run(*self.ARGS, "--shard", "2/2", "--json", env={"SMTRACE_STUDY_TEST_KILL_CASE": "4"})
        self.assertEqual((hooked.returncode, hooked.stdout), (0, whole.stdout))

    def test_progress_only_on_a_terminal(self):
        done = run(*self.ARGS)
        self.assertEqual((done.returncode, done.stderr), (0, b""))
        leader, follower = pty.openpty()
        try:
            with subprocess.Popen([TOOL, *self.ARGS, "--jobs", "2"], stdout=subprocess.PIPE,
                                  stderr=follower) as process:
                os.close(follower)
                out = process.stdout.read()
                process.wait()
            seen = b""
            while True:
                try:
                    chunk = os.read(leader, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                seen += chunk
        finally:
            os.close(leader)
        self.assertEqual(process.returncode, 0)
        self.assertEqual(out, done.stdout)
        self.assertIn(b"study: ", seen)
        self.assertIn(b" of 12 cases", seen)
        self.assertTrue(seen.endswith(b"\r\x1b[K"), seen[-40:])

    @unittest.skipIf("asan" in os.environ.get("LD_PRELOAD", ""), "the sanitizers' own memory swamps the figure")
    def test_memory_stays_at_about_one_trace(self):
        # Absent patterns over 2 letters: every routine reads about a million
        # positions of the 1 MiB text, seven million in all. A node takes 32
        # bytes of heap (16 and the allocator's header). Were the traces kept
        # until each library's next call, the worker would hold all seven.
        args = ["study", "--generate", "random2:1M", "--lengths", "2", "--patterns", "1", "--absent", "--jobs", "1", "--json"]
        done = subprocess.run(["/usr/bin/env", "python3", "-c",
                               "import resource, subprocess, sys; "
                               "done = subprocess.run(sys.argv[1:], capture_output=True); "
                               "sys.stdout.write(str(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss) + '\\n'); "
                               "sys.stdout.buffer.write(done.stdout)", TOOL, *args[0:]],
                              capture_output=True, check=True)
        peak_kib, output = done.stdout.split(b"\n", 1)
        reads = [f["reads"] for f in json.loads(output)["cases"][0]["figures"].values()]
        self.assertGreater(sum(reads), 6_500_000)
        peak = int(peak_kib) * 1024
        self.assertLess(peak, 1.5 * 32 * max(reads) + 32 * 2**20, (peak, reads))
        self.assertLess(peak, 32 * sum(reads) / 3, (peak, reads))

    def test_timing_goes_to_standard_error(self):
        done = run(*self.ARGS, "--jobs", "1", "--timing")
        self.assertEqual(done.returncode, 0)
        self.assertRegex(done.stderr.decode(),
                         r"^study: 12 cases, 1 worker, [0-9.]+ s in all; in the library calls [0-9.]+ s")
        self.assertEqual(done.stdout, run(*self.ARGS).stdout)


# ---------------------------------------------------------------------------
# Usage.

class Usage(unittest.TestCase):
    def test_errors(self):
        with Scratch() as scratch:
            short = scratch.file("short", b"abc")
            cases = [
                (["study"], 2, "smtrace: study needs a text: --text-file PATH or --generate KIND:SIZE"),
                (["study", "--generate", "random0:1K"], 2, 'smtrace: --generate: unknown kind "random0"; the kinds are randomK (K from 1 to 94) and english'),
                (["study", "--generate", "english:0"], 2, "smtrace: --generate english:0: the size is a positive number of bytes, with K or M"),
                (["study", "--generate", "english:1K", "--lengths", "4,x"], 2, 'smtrace: --lengths takes positive pattern lengths separated by commas, not "4,x"'),
                (["study", "--generate", "english:1K", "--shard", "3/2"], 2, 'smtrace: --shard takes K/N with 1 <= K <= N <= 100000, not "3/2"'),
                (["study", "--generate", "english:1K", "--patterns", "0"], 2, "smtrace: --patterns takes a positive number"),
                (["study", "--generate", "english:1K", "--jobs", "0"], 2, "smtrace: --jobs takes a number from 1 to 1024"),
                (["study", "--generate", "english:1K", "--csv", "--json"], 2, "smtrace: --csv and --json are given both"),
                (["study", "--generate", "english:1K", "extra"], 2, 'smtrace: study takes no operands ("extra"); texts come with --text-file or --generate'),
                (["study", "merge"], 2, "smtrace: study merge needs the parts' JSON files"),
                (["study", "merge", "x.json", "--seed", "3"], 2, "smtrace: study merge takes no --seed: the parts hold the study"),
                (["study", "--text-file", short, "--lengths", "2,4"], 6, f"smtrace: the text {short} has 3 bytes, fewer than the pattern length 4"),
                (["study", "--text-file", short + "-none"], 5, f"smtrace: cannot read the text file {short}-none: No such file or directory"),
            ]
            for args, status, first_line in cases:
                done = run(*args)
                self.assertEqual(done.returncode, status, args)
                self.assertEqual(done.stdout, b"", args)
                self.assertEqual(done.stderr.decode().split("\n")[0], first_line, args)

    def test_help(self):
        done = run("study", "--help")
        self.assertEqual((done.returncode, done.stderr), (0, b""))
        self.assertTrue(done.stdout.startswith(b"usage: smtrace study [--text-file PATH]..."))
        self.assertIn(b"study", run("--help").stdout)


# ---------------------------------------------------------------------------
# The chart.

class Chart(unittest.TestCase):
    def test_one_panel_per_text_and_kind_one_line_per_algorithm(self):
        with Scratch() as scratch:
            path = scratch.path / "study.svg"
            done = run("study", "--generate", "random4:8K", "--generate", "random20:8K", "--lengths", "2,4,16",
                       "--patterns", "5", "--present", "--absent", "--svg", str(path))
            self.assertEqual(done.returncode, 0, done.stderr)
            data = path.read_bytes()
        for word in (b"href", b"<image", b"<script", b"url("):
            self.assertNotIn(word, data)
        root = ElementTree.fromstring(data)
        panels = [g for g in root.iter(SVG + "g") if g.get("class") == "panel"]
        self.assertEqual([(p.get("data-text"), p.get("data-kind")) for p in panels],
                         [("random4:8K", "present"), ("random4:8K", "absent"),
                          ("random20:8K", "present"), ("random20:8K", "absent")])
        for panel in panels:
            lines = [g for g in panel.iter(SVG + "g") if g.get("class") == "algorithm"]
            self.assertEqual([g.get("data-algorithm") for g in lines], ALGORITHMS)
            for line in lines:
                self.assertEqual(len(line.findall(SVG + "polyline")), 1)
                self.assertEqual(len(line.findall(SVG + "polygon")), 1)
                self.assertEqual(len(line.findall(SVG + "circle")), 3)
            texts = "".join(t.text or "" for t in panel.iter(SVG + "text"))
            self.assertIn("pattern length m (logarithmic)", texts)
            self.assertIn("reads per character", texts)


# ---------------------------------------------------------------------------
# The Python function.

class PythonStudy(unittest.TestCase):
    def test_same_figures_as_the_tool(self):
        got = smtrace.study(generate=["random4:8K"], lengths=[3, 9], patterns=4, seed=2, absent=True, present=True)
        self.assertEqual(got, json.loads(study_json("--generate", "random4:8K", "--lengths", "3,9", "--patterns", "4",
                                                    "--seed", "2", "--present", "--absent")))
        only_absent = smtrace.study(generate=["random4:8K"], lengths=[3], patterns=2, absent=True)
        self.assertEqual(only_absent["study"]["kinds"], ["absent"])

    def test_shards_and_merge(self):
        with Scratch() as scratch:
            text = scratch.file("t", random_text(b"abc", 2000, 7))
            whole = smtrace.study(texts=[text], lengths=[2, 5], patterns=5)
            files = []
            for k in (1, 2):
                part = smtrace.study(texts=[Path(text)], lengths=[2, 5], patterns=5, shard=(k, 2))
                self.assertEqual(part["shard"], {"index": k, "count": 2})
                files.append(scratch.file(f"part{k}", json.dumps(part).encode()))
            self.assertEqual(smtrace.study(parts=files), whole)

    def test_failure_raises(self):
        with self.assertRaisesRegex(RuntimeError, r"status 2\): smtrace: --generate: unknown kind"):
            smtrace.study(generate=["nothing:1K"])


if __name__ == "__main__":
    unittest.main()
