#!/usr/bin/env bash
# Measures mendrik against a plain block copy (dd bs=1M) on page-cached
# input: wall time side by side, alternating, median of PAIRS pairs, each
# destination removed before its run, and the ratio of the best runs; and
# mendrik's peak resident memory.
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

now() { date +%s.%N; }
since() { awk -v start="$1" -v end="$(now)" 'BEGIN { print end - start }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf "%-12s %8s %10s %14s %7s %10s %10s\n" input MiB dd-MiB/s mendrik-MiB/s ratio best-ratio peak-RSS
for line in "${inputs[@]}"; do
  read -r name length total offset num_bytes <<<"$line"
  src=$work/$name.unf dst=$work/out.unf
  "$make_unf" $((total / (length + ${#length} + 3))) "$length" >"$src"
  # Written back now, so that the flusher does not compete with the runs,
  # and read into the page cache.
  sync "$src"
  cat "$src" >/dev/null
  size=$(stat -c %s "$src")
  : >"$work/dd.times"
  : >"$work/mendrik.times"
  peak=0
  run_dd() {
    rm -f "$dst"
    start=$(now)
    dd if="$src" of="$dst" bs=1M status=none
    since "$start" >>"$work/dd.times"
  }
  run_mendrik() {
    rm -f "$dst"
    start=$(now)
    /usr/bin/time -f %M -o "$work/rss" \
      "$mendrik" "$src" "$dst" "$offset" "$num_bytes" >/dev/null 2>&1
    since "$start" >>"$work/mendrik.times"
    rss=$(tail -n 1 "$work/rss")
    if ((rss > peak)); then peak=$rss; fi
  }
  # Alternating which goes first cancels any cost one run leaves the next.
  for ((pair = 0; pair < pairs; pair++)); do
    if ((pair % 2 == 0)); then
      run_dd
      run_mendrik
    else
      run_mendrik
      run_dd
    fi
  done
  rm -f "$dst" "$src"
  dd_time=$(median <"$work/dd.times")
  mendrik_time=$(median <"$work/mendrik.times")
  # The ratio is the median of each pair's own ratio: the two runs of a pair
  # share the machine's mood, which drifts a lot between pairs.
  ratio=$(paste "$work/dd.times" "$work/mendrik.times" | awk '{ print $2 / $1 }' | median)
  # Noise only ever adds time, so the best run of each side is a second,
  # steadier view of what each costs.
  best_ratio=$(awk 'NR == FNR { if (FNR == 1 || $1 < dd) dd = $1; next }
    { if (FNR == 1 || $1 < m) m = $1 } END { print m / dd }' \
    "$work/dd.times" "$work/mendrik.times")
  awk -v name="$name" -v size="$size" -v dd="$dd_time" -v m="$mendrik_time" \
    -v ratio="$ratio" -v best="$best_ratio" -v rss="$peak" 'BEGIN {
    mib = size / 1048576
    printf "%-12s %8.0f %10.0f %14.0f %7.2f %10.2f %6d KiB\n", name, mib, mib / dd, mib / m, ratio, best, rss }'
done
