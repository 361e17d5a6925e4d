#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for a bounded time, starting
# from its seed corpus under fuzz/corpus/: one per library (fuzz_<library>),
# the command-line road of all of them (fuzz_command_line), and the
# explaining host library against all of them (fuzz_explain_road). Any
# finding (a sanitizer report, a violated property, a timeout, a leak) fails
# the run; its input is kept under build-fuzz/findings/.
#   fuzz/run.sh [SECONDS]    seconds per target, 30 by default
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

scripts/setup.sh
# clang and libFuzzer's runtime, when the machine lacks them (Debian packages).
probe='extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }'
if ! command -v clang++ >/dev/null ||
   ! echo "$probe" | clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o /dev/null 2>/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q clang
  major="$(clang++ -dumpversion | cut -d. -f1)"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "libclang-rt-${major}-dev" || true
fi

cmake --preset fuzz >/dev/null
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" cmake --build --preset fuzz
for required in fuzz_command_line fuzz_explain_road; do
  [ -x "build-fuzz/fuzz/$required" ] || { echo "fuzz: $required was not built" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
findings=build-fuzz/findings
rm -rf "$findings"
passed=0
failed=0
for target in build-fuzz/fuzz/fuzz_*; do
  name="$(basename "$target")"
  mkdir -p "$work/$name"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  log="$work/$name.log"
  if "$target" -max_total_time="$seconds" -max_len=600 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$work/$name-" "$work/$name" "${seeds[@]}" >"$log" 2>&1; then
    passed=$((passed + 1))
    verdict=ok
  else
    failed=$((failed + 1))
    verdict=FINDING
    mkdir -p "$findings"
    cp "$work/$name"-* "$findings"/ 2>/dev/null || true
    tail -n 60 "$log"
  fi
  runs="$(awk '/stat::number_of_executed_units/ {print $2}' "$log")"
  units="$(awk '/stat::new_units_added/ {print $2}' "$log")"
  echo "$name: $verdict, ${runs:-?} executions in ${seconds} s, ${units:-?} new inputs"
done
[ "$failed" -eq 0 ] || echo "fuzz: inputs of the findings are in $findings/"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
