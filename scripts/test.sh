#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   scripts/test.sh          the release build
#   scripts/test.sh asan     the same suite under AddressSanitizer and UBSan
#   scripts/test.sh clang    the same suite built with clang++
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec cmake --workflow --preset "${1:-default}"
