# Sourced by the benchmarks: times a program against a plain block copy
# (dd bs=1M) on page-cached input, side by side, alternating which goes
# first, each destination removed before its run.
#
#   against_dd NAME SRC PAIRS WORK PROGRAM ARGS...
#
# Prints one row: NAME, MiB, dd's and the program's MiB/s (medians), the
# median of each pair's own ratio (the two runs of a pair share the
# machine's mood, which drifts a lot between pairs), the ratio of each
# side's best run (noise only ever adds time), and the program's peak
# resident memory. The program's destination, if it writes one, is
# WORK/out.unf.

now() { date +%s.%N; }
since() { awk -v start="$1" -v end="$(now)" 'BEGIN { print end - start }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

against_dd() {
  local name=$1 src=$2 pairs=$3 work=$4
  shift 4
  local dst=$work/out.unf size peak=0 pair start rss
  # Written back now, so that the flusher does not compete with the runs,
  # and read into the page cache.
  sync "$src"
  cat "$src" >/dev/null
  size=$(stat -c %s "$src")
  : >"$work/dd.times"
  : >"$work/program.times"
  run_dd() {
    rm -f "$dst"
    start=$(now)
    dd if="$src" of="$dst" bs=1M status=none
    since "$start" >>"$work/dd.times"
  }
  run_program() {
    rm -f "$dst"
    start=$(now)
    # Its status is its own business here: the survey's 1 means it found
    # something. The memory is the last line either way.
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || true
    since "$start" >>"$work/program.times"
    rss=$(tail -n 1 "$work/rss")
    if ((rss > peak)); then peak=$rss; fi
  }
  for ((pair = 0; pair < pairs; pair++)); do
    if ((pair % 2 == 0)); then
      run_dd
      run_program "$@"
    else
      run_program "$@"
      run_dd
    fi
  done
  rm -f "$dst"
  local dd_time program_time ratio best_ratio
  dd_time=$(median <"$work/dd.times")
  program_time=$(median <"$work/program.times")
  ratio=$(paste "$work/dd.times" "$work/program.times" | awk '{ print $2 / $1 }' | median)
  best_ratio=$(awk 'NR == FNR { if (FNR == 1 || $1 < dd) dd = $1; next }
    { if (FNR == 1 || $1 < p) p = $1 } END { print p / dd }' \
    "$work/dd.times" "$work/program.times")
  awk -v name="$name" -v size="$size" -v dd="$dd_time" -v p="$program_time" \
    -v ratio="$ratio" -v best="$best_ratio" -v rss="$peak" 'BEGIN {
    mib = size / 1048576
    printf "%-16s %8.0f %10.0f %14.0f %7.2f %10.2f %6d KiB\n", name, mib, mib / dd, mib / p, ratio, best, rss }'
}
