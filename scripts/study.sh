#!/usr/bin/env bash
# The reference study: reads per character against pattern length for every
# routine, over random texts on 2, 4, 20 and 64 letters and the English-like
# text, pattern lengths 2 to 64, 100 patterns per length, both patterns that
# occur and patterns absent from the text. The texts are of 256 KiB by
# default: with texts of 1 MiB (STUDY_SIZE=1M) the study takes about 40
# minutes of processor time, over two hours on this shared two-core machine
# as it was measured (docs/study.md, "The reference study").
#
# Keeps the cases in build/study/reference.json (not committed) and writes
# docs/study/reference.svg (the chart) and the results section of
# docs/study.md, between its "results" markers.
#
#   scripts/study.sh             run the study, in parts kept in build/study/ (the
#                                parts already there with the same settings are
#                                reused), and write the results
#   STUDY_RERUN=1 scripts/study.sh    run it again whatever is there
#   STUDY_PATTERNS=N, STUDY_SIZE=SIZE, STUDY_JOBS=N, STUDY_PARTS=N    other settings
set -euo pipefail
cd "$(dirname "$0")/.."

size=${STUDY_SIZE:-256K}
patterns=${STUDY_PATTERNS:-100}
jobs=${STUDY_JOBS:-$(nproc)}
parts=${STUDY_PARTS:-4}
out=build/study
tool=build/bin/smtrace

scripts/setup.sh
[ -d build ] || cmake --preset default >/dev/null
cmake --build build -j2 >/dev/null

mkdir -p "$out"
args=(study --present --absent --lengths 2,4,8,16,32,64 --patterns "$patterns" --seed 1)
for kind in random2 random4 random20 random64 english; do args+=(--generate "$kind:$size"); done
# The study runs in parts, one after the other, each kept as it is done: an
# interrupted run goes on from the parts it has when started again.
settings="${args[*]} in $parts parts"
if [ -n "${STUDY_RERUN:-}" ] || [ "$(cat "$out/settings" 2>/dev/null)" != "$settings" ]; then
  rm -f "$out"/part-*.json "$out"/part-*.timing "$out/reference.json" "$out/date"
  echo "$settings" > "$out/settings"
fi
for k in $(seq 1 "$parts"); do
  part="$out/part-$k-of-$parts"
  [ -s "$part.json" ] && continue
  echo "study: part $k of $parts: $tool ${args[*]} --shard $k/$parts --jobs $jobs" >&2
  if ! "$tool" "${args[@]}" --shard "$k/$parts" --jobs "$jobs" --json --timing > "$part.json.new" 2> "$part.timing"; then
    cat "$part.timing" >&2
    exit 1
  fi
  mv "$part.json.new" "$part.json"
  cat "$part.timing" >&2
done
parts_json=()
for k in $(seq 1 "$parts"); do parts_json+=("$out/part-$k-of-$parts.json"); done
"$tool" study merge "${parts_json[@]}" --json > "$out/reference.json"
[ -s "$out/date" ] || date -u +%Y-%m-%d > "$out/date"
cat "$out"/part-*-of-"$parts".timing > "$out/timing"

# The chart and the tables come from the saved cases: study merge of one
# whole study gives that study's outputs again.
"$tool" study merge "$out/reference.json" --svg docs/study/reference.svg > "$out/reference.txt"
"$tool" study merge "$out/reference.json" --csv > docs/study/reference.csv
python3 scripts/study_report.py "$out/reference.json" "$out/timing" "$out/date" "$jobs" docs/study.md
echo "study: wrote docs/study.md, docs/study/reference.svg and docs/study/reference.csv" >&2
