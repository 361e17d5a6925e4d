#!/usr/bin/env bash
# Builds the libraries in Release with the benchmark suite, measures, and
# writes the report (the tables of docs/benchmarks.md).
#   scripts/bench.sh                the default selection, 5 repetitions (minutes)
#   scripts/bench.sh --full         the whole matrix (hours)
#   scripts/bench.sh ARGS...        any further sm_bench / Google Benchmark flags
# Results: build-bench/bench.json (raw), build-bench/benchmarks.md (the report).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -e /usr/include/benchmark/benchmark.h ] || ! command -v python3 >/dev/null; then
  echo "bench: installing libbenchmark-dev python3"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q libbenchmark-dev python3
fi
cmake --preset bench >/dev/null
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" cmake --build --preset bench
out=build-bench
{
  echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1)" \
       "(family $(lscpu | sed -n 's/^CPU family: *//p' | head -1), model $(lscpu | sed -n 's/^Model: *//p' | head -1))," \
       "$(nproc) cores (nproc)" \
       "($(lscpu | sed -n 's/^Thread(s) per core: *//p' | head -1) thread per core)," \
       "$(free -g | awk '/^Mem:/ {print $2}') GiB of memory; $(uname -sr);" \
       "$(c++ --version | head -1); $(ldd --version | head -1 | sed 's/^ldd //')." \
       "Load average when the run began: $(cut -d' ' -f1-3 /proc/loadavg)."
} > "$out/machine.txt"
"$out/bin/sm_bench" --benchmark_repetitions=5 --benchmark_display_aggregates_only=true \
  --benchmark_out="$out/bench.json" --benchmark_out_format=json "$@"
python3 bench/report.py "$out/bench.json" "$out/machine.txt" > "$out/benchmarks.md"
echo "bench: report in $out/benchmarks.md"
