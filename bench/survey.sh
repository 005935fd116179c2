#!/usr/bin/env bash
# Measures mendrik-survey against a plain block copy (dd bs=1M) on
# page-cached input (bench/against_dd.sh), as bench/throughput.sh does for
# mendrik.
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

source bench/against_dd.sh
printf "%-16s %8s %10s %14s %7s %10s %10s\n" input MiB dd-MiB/s survey-MiB/s ratio best-ratio peak-RSS
for line in "${inputs[@]}"; do
  read -r name length total layout <<<"$line"
  src=$work/$name.unf
  count=$((total / (length + ${#length} + 3)))
  if [[ $layout == table ]]; then
    "$make_unf" "$count" "$length" table >"$src"
  else
    "$make_unf" "$count" "$length" >"$src"
  fi
  against_dd "$name" "$src" "$pairs" "$work" "$survey" "$src"
  rm -f "$src"
done
