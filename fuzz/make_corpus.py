#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ from the worked examples.

Library-road seeds (fuzz/corpus/fuzz_<library>/): mode 0, the pattern length,
host byte 5, the pattern, the text. Command-line seeds
(fuzz/corpus/fuzz_command_line/): the library's index, operand count 3 (bytes as given), the
pattern length, the pattern, the text. Explain-road seeds
(fuzz/corpus/fuzz_explain_road/): mode 16 (JSON checked too; 31: pattern bytes
as given), the pattern length, the pattern, the text; every input runs all
seven routines. Run it again after changing the examples."""
import hashlib
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import smtrace  # noqa: E402  (the package's table is the header's, tests/python checks it)

# In the order of the header's table, which is the command-line target's.
LIBRARIES = list(smtrace.ALGORITHMS)

COMMON = [
    (b"abab", b"ccabaabab"), (b"abcab", b"cabdcabcab"), (b"a", b"bba"),
    (b"abc", b"ab"), (b"", b"xyz"), (b"abc", b""),
    (b"abcdefghijklmnopqrs", b"xxabcdefghijklmnopqrs"),
    (b"abcdefghijklmnopqrstuvwxyz", b"0123abcdefghijklmnopqrstuvwxyz"),
    (b"ab", b"a\xc8b\xffab"),
]
EXAMPLES = {
    "turbo_reverse_factor": [(b"aab", b"bbaaaabb"), (b"abab", b"abbabaabab"),
                             (b"abab", b"bbbbbbbb"), (b"aaba", b"baaaaa"), (b"abc", b"xxabc")],
    "morris_pratt": [(b"aab", b"aaab"), (b"abab", b"abacabab"), (b"aaa", b"aabaaa"),
                     (b"abcabd", b"abcabcabd"), (b"aa", b"aaaa"), (b"\xc8\xc9", b"a\xc8\xc8\xc9")],
    "not_so_naive": [(b"abc", b"xabxabc"), (b"aab", b"aaaab"), (b"aab", b"abaab"),
                     (b"aa", b"baaa"), (b"ba", b"ab"), (b"abc", b"aaaa"), (b"ab", b"b")],
    "raita": [(b"abab", b"ccabaabab"), (b"ab", b"aab"), (b"aba", b"abababa")],
    "tuned_bm": [(b"abab", b"ccabaabab"), (b"aaa", b"aaaaaa"), (b"ab", b"bbbbab")],
    "berry_ravindran": [(b"abcab", b"cabdcabcab"), (b"a", b"bbbba"), (b"ab", b"bab")],
    "skip_search": [(b"abab", b"ccabaabab"), (b"aaaa", b"aaa"), (b"a\x00", b"bba")],
}


# The explained worked examples (tests/explain_test.cpp), and inputs for the
# refusals and for the bytes the JSON text escapes.
EXPLAINED = sorted({pair for pairs in EXAMPLES.values() for pair in pairs} | set(COMMON) | {
    (b"abab", b"abacabab"), (b"aab", b"aaab"), (b"abcd", b"ab"), (b"ab", b"xyz"),
    (b"abc", b"xxabc"), (b"aba", b"cbabaaba"), (b"aa", b"aaa"), (b"ab", b"ccca"),
    (b"bb", b"ab"), (b"abb", b"xab"), (b"abcd", b"abcabcabcd"), (b"ab", b"cab"),
    (b"aaa", b"aaaa"), (b"xy", b"ab"), (b"ab", b"ac"), (b"aa", b"baaa"),
    (b"\x01\"\\", b"a\x01\"\\\x7f\n"), (b"ab\x00", b"xab"),
})
RAW_PATTERNS = [(b"\xc8\xc9", b"a\xc8\xc8\xc9"), (b"a\x80", b"\x80a\x80")]


def write(directory, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, hashlib.sha1(data).hexdigest()), "wb") as out:
        out.write(data)


def main():
    if sorted(EXAMPLES) != sorted(LIBRARIES):
        raise SystemExit(f"make_corpus.py: examples for {sorted(EXAMPLES)}, libraries {sorted(LIBRARIES)}")
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for index, library in enumerate(LIBRARIES):
        for pattern, text in EXAMPLES[library] + COMMON:
            write(os.path.join(root, "fuzz_" + library), bytes([0, len(pattern), 5]) + pattern + text)
            if b"\x00" not in pattern + text:
                write(os.path.join(root, "fuzz_command_line"), bytes([index, 0xf3, len(pattern)]) + pattern + text)
        write(os.path.join(root, "fuzz_command_line"), bytes([index, 1, 2]) + b"ab")
        write(os.path.join(root, "fuzz_command_line"), bytes([index, 3, 20]) + b"abcdefghijklmnopqrstabc")
        write(os.path.join(root, "fuzz_command_line"), bytes([index, 0xf7, 2]) + b"a\xc8abc\x00more\x00prog")
    for pattern, text in EXPLAINED:
        write(os.path.join(root, "fuzz_explain_road"), bytes([16, len(pattern)]) + pattern + text)
    for pattern, text in RAW_PATTERNS:
        write(os.path.join(root, "fuzz_explain_road"), bytes([31, len(pattern)]) + pattern + text)


if __name__ == "__main__":
    main()
