#!/usr/bin/env bash
# Measures mendrik-survey against a plain block copy (dd bs=1M) on
# page-cached input, as bench/throughput.sh does for mendrik: wall time side
# by side, alternating, median of PAIRS pair ratios and the ratio of the
# best runs; and the survey's peak resident memory.
# Not part of the test suite.
#
#   bench/survey.sh              # 1 GiB inputs, about 2.2 GiB in $TMPDIR
#   SCALE=4 bench/survey.sh      # a quarter of the size
#   PAIRS=9 bench/survey.sh      # more pairs for a steadier median
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
pairs=${PAIRS:-5}
scale=${SCALE:-1}

cmake --workflow --preset release >/dev/null
survey=$PWD/build/release/mendrik-survey
make_unf=$PWD/build/release/make_unf
work=$(mktemp -d "${TMPDIR:-/tmp}/mendrik-survey-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# name  record-length  total-bytes  layout: "table" rows (name, date,
# amount with lost zeros, binary), or make_unf's noise, a fifth of it 0x00
inputs=(
  "1GiB-120B-table  120 $((1024 * 1024 * 1024 / scale)) table"
  "1GiB-120B-noise  120 $((1024 * 1024 * 1024 / scale)) noise"
)

now() { date +%s.%N; }
since() { awk -v start="$1" -v end="$(now)" 'BEGIN { print end - start }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf "%-16s %8s %10s %13s %7s %10s %10s\n" input MiB dd-MiB/s survey-MiB/s ratio best-ratio peak-RSS
for line in "${inputs[@]}"; do
  read -r name length total layout <<<"$line"
  src=$work/$name.unf dst=$work/out.unf
  if [[ $layout == table ]]; then
    "$make_unf" $((total / (length + ${#length} + 3))) "$length" table >"$src"
  else
    "$make_unf" $((total / (length + ${#length} + 3))) "$length" >"$src"
  fi
  sync "$src"
  cat "$src" >/dev/null
  size=$(stat -c %s "$src")
  : >"$work/dd.times"
  : >"$work/survey.times"
  peak=0
  run_dd() {
    rm -f "$dst"
    start=$(now)
    dd if="$src" of="$dst" bs=1M status=none
    since "$start" >>"$work/dd.times"
  }
  run_survey() {
    start=$(now)
    /usr/bin/time -f %M -o "$work/rss" "$survey" "$src" >/dev/null 2>&1 || true
    since "$start" >>"$work/survey.times"
    rss=$(tail -n 1 "$work/rss")
    if ((rss > peak)); then peak=$rss; fi
  }
  for ((pair = 0; pair < pairs; pair++)); do
    if ((pair % 2 == 0)); then
      run_dd
      run_survey
    else
      run_survey
      run_dd
    fi
  done
  rm -f "$dst" "$src"
  dd_time=$(median <"$work/dd.times")
  survey_time=$(median <"$work/survey.times")
  ratio=$(paste "$work/dd.times" "$work/survey.times" | awk '{ print $2 / $1 }' | median)
  best_ratio=$(awk 'NR == FNR { if (FNR == 1 || $1 < dd) dd = $1; next }
    { if (FNR == 1 || $1 < s) s = $1 } END { print s / dd }' \
    "$work/dd.times" "$work/survey.times")
  awk -v name="$name" -v size="$size" -v dd="$dd_time" -v s="$survey_time" \
    -v ratio="$ratio" -v best="$best_ratio" -v rss="$peak" 'BEGIN {
    mib = size / 1048576
    printf "%-16s %8.0f %10.0f %13.0f %7.2f %10.2f %6d KiB\n", name, mib, mib / dd, mib / s, ratio, best, rss }'
done
