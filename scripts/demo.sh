#!/usr/bin/env bash
# Builds the deliverables and prints the trace of a search on a built-in example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
pattern=abab
text=abacabab
echo "morris_pratt: first occurrence of '$pattern' in '$text'; text positions read, in order:"
build/bin/sm_host build/lib/libmorris_pratt.so main morris_pratt "$pattern" "$text"
