#!/usr/bin/env python3
"""What smtrace.trace costs on top of the library call it makes.

    python_trace.py [--runs N] [--length N] [--algorithm NAME] [--pattern P]

Times, on a text of LENGTH 'a's (5,000,000 by default; morris_pratt with the
pattern "b" reads every position once, so 5,000,000 reads):

  - the library's entry function alone, called through ctypes on a prepared
    buffer, its trace list left where it is;
  - the whole smtrace.trace call: the checks, the buffer, the entry call, the
    copy of the list by libsmtrace.so and the Python list of positions;
  - for scale, Python building a list of as many ints from an array of them
    (array.tolist), which no list-returning trace can go below.

Each figure is the median of RUNS runs, the two calls alternating so that
every entry call frees a trace as long as the one it records. Uses the
libraries of $SMTRACE_LIB_DIR, else build/lib.
"""
import argparse
import array
import ctypes
import gc
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "python"))
import smtrace  # noqa: E402


def timed(call):
    gc.collect()
    start = time.perf_counter()
    result = call()
    return time.perf_counter() - start, result


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--length", type=int, default=5_000_000)
    parser.add_argument("--algorithm", default="morris_pratt")
    parser.add_argument("--pattern", default="b")
    options = parser.parse_args()

    algorithm = smtrace.ALGORITHMS[options.algorithm]
    pattern = options.pattern.encode("ascii")
    text = b"a" * options.length
    m, n = len(pattern), len(text)
    entry = smtrace._entry(algorithm)
    reads = len(smtrace.trace(algorithm.name, pattern, text))

    def entry_alone():
        buffer = ctypes.create_string_buffer(text, algorithm.buffer_size(n, m))
        start = time.perf_counter()
        entry(pattern, m, buffer, n)
        return time.perf_counter() - start

    alone, whole, floor, arrays = [], [], [], []
    positions = array.array(smtrace._INT32, range(reads))
    for _ in range(options.runs):
        alone.append(entry_alone())
        seconds, result = timed(lambda: smtrace.trace(algorithm.name, pattern, text))
        whole.append(seconds)
        del result
        seconds, result = timed(positions.tolist)
        floor.append(seconds)
        del result
        seconds, result = timed(lambda: smtrace.trace_array(algorithm.name, pattern, text))
        arrays.append(seconds)
        del result

    call_ms = statistics.median(alone) * 1000
    trace_ms = statistics.median(whole) * 1000
    floor_ms = statistics.median(floor) * 1000
    array_ms = statistics.median(arrays) * 1000
    print(f"{algorithm.name}, pattern {options.pattern!r}, text of {n:,} 'a': {reads:,} reads, "
          f"median of {options.runs} runs")
    print(f"  library entry call alone   {call_ms:9.1f} ms")
    print(f"  whole smtrace.trace call   {trace_ms:9.1f} ms")
    print(f"  ratio                      {trace_ms / call_ms:9.2f}")
    print(f"  a list of {reads:,} ints    {floor_ms:9.1f} ms  (array.tolist, for scale)")
    print(f"  whole smtrace.trace_array  {array_ms:9.1f} ms")
    print(f"  ratio                      {array_ms / call_ms:9.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
