#!/usr/bin/env bash
# Writes the golden files, one per algorithm: the reference traces of 100
# generated cases each, as JSON Lines (docs/golden.md).
#   scripts/golden.sh          into tests/golden/
#   scripts/golden.sh DIR      into DIR (the test suite compares the two)
# The tool is $SMTRACE, else build/bin/smtrace (build it first).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tool="${SMTRACE:-$root/build/bin/smtrace}"
out="${1:-$root/tests/golden}"
mkdir -p "$out"
for algorithm in turbo_reverse_factor morris_pratt not_so_naive raita tuned_bm \
                 berry_ravindran skip_search; do
  "$tool" golden "$algorithm" --cases 100 --seed 1 --max-text 30 --output "$out/$algorithm.jsonl"
done
