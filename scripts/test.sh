#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   scripts/test.sh          the release build
#   scripts/test.sh asan     the same suite under AddressSanitizer and UBSan
#   scripts/test.sh clang    the same suite built with clang++
# Builds and tests run on every core unless CMAKE_BUILD_PARALLEL_LEVEL or
# CTEST_PARALLEL_LEVEL say otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"
exec cmake --workflow --preset "${1:-default}"
