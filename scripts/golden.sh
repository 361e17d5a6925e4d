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
# Every algorithm of the header's table.
algorithms=$(sed -n 's/^[[:space:]]*F(X, \([A-Za-z0-9_]*\),.*/\1/p' "$root/include/smtrace.h")
[ -n "$algorithms" ] || { echo "golden: no algorithms in include/smtrace.h" >&2; exit 1; }
for algorithm in $algorithms; do
  "$tool" golden "$algorithm" --cases 100 --seed 1 --max-text 30 --output "$out/$algorithm.jsonl"
done
