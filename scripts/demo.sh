#!/usr/bin/env bash
# Builds the deliverables and prints the trace of a search on a built-in example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
pattern=aab
text=bbaaaabb
echo "turbo_reverse_factor: first occurrence of '$pattern' in '$text'; text positions read, in order:"
build/bin/turbo_reverse_factor "$pattern" "$text"
