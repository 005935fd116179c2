#!/usr/bin/env bash
# Measures mendrik against a plain block copy (dd bs=1M) on page-cached
# input (bench/against_dd.sh): wall time side by side, alternating, median
# of PAIRS pair ratios and the ratio of the best runs; and mendrik's peak
# resident memory.
# Not part of the test suite.
#
#   bench/throughput.sh            # the full inputs, about 2.3 GiB in $TMPDIR
#   SCALE=8 bench/throughput.sh    # the same shapes, an eighth of the size
#   PAIRS=9 bench/throughput.sh    # more pairs for a steadier median
#   TMPDIR=/dev/shm bench/throughput.sh   # on tmpfs: no disk writeback noise
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
pairs=${PAIRS:-5}
scale=${SCALE:-1}

cmake --workflow --preset release >/dev/null
mendrik=$PWD/build/release/mendrik
make_unf=$PWD/build/release/make_unf
work=$(mktemp -d "${TMPDIR:-/tmp}/mendrik-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# name  record-length  total-bytes  offset  num-bytes
inputs=(
  "1GiB-120B   120  $((1024 * 1024 * 1024 / scale)) 40 8"
  "256MiB-8B   8    $((256 * 1024 * 1024 / scale)) 2 4"
  "1GiB-4000B  4000 $((1024 * 1024 * 1024 / scale)) 40 8"
)

source bench/against_dd.sh
printf "%-16s %8s %10s %14s %7s %10s %10s\n" input MiB dd-MiB/s mendrik-MiB/s ratio best-ratio peak-RSS
for line in "${inputs[@]}"; do
  read -r name length total offset num_bytes <<<"$line"
  src=$work/$name.unf
  "$make_unf" $((total / (length + ${#length} + 3))) "$length" >"$src"
  against_dd "$name" "$src" "$pairs" "$work" \
    "$mendrik" "$src" "$work/out.unf" "$offset" "$num_bytes"
  rm -f "$src"
done
