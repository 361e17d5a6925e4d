#!/usr/bin/env bash
# Builds the deliverables, prints the trace of a search on a built-in example,
# then explains the same search attempt by attempt.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" cmake --build --preset default >/dev/null
pattern=aab
text=bbaaaabb
echo "turbo_reverse_factor: first occurrence of '$pattern' in '$text'; text positions read, in order:"
build/bin/turbo_reverse_factor "$pattern" "$text"
echo
echo "The same search explained (build/bin/smtrace explain turbo_reverse_factor $pattern $text):"
echo
build/bin/smtrace explain turbo_reverse_factor "$pattern" "$text"
