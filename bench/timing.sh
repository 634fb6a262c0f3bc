# Shared by the benchmark scripts (sourced): timed runs of competing tools and their summary.
# The caller sets $work (a scratch folder) and $out (the output file each run rewrites).

# run NAME COMMAND...: one timed run; appends "microseconds kilobytes" to $work/NAME.times.
run() {
  local name=$1
  shift
  rm -f "$out"
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/$name.mem" "$@" >/dev/null 2>"$work/$name.err" || {
    echo "$(basename "$0"): $name failed:" >&2
    cat "$work/$name.err" "$work/$name.mem" >&2
    exit 1
  }
  end=$(date +%s%N)
  local kb
  kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/$name.mem")
  echo "$(( (end - start) / 1000 )) $kb" >>"$work/$name.times"
}

median_us() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2)}'; }

# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# summarise TOOL...: fills median[TOOL] (microseconds) and peak[TOOL] (KiB) from the runs and
# prints them as a table. The caller declares: declare -A median peak
summarise() {
  local name
  for name in "$@"; do
    median[$name]=$(cut -d' ' -f1 "$work/$name.times" | median_us)
    peak[$name]=$(cut -d' ' -f2 "$work/$name.times" | sort -n | tail -1)
  done
  printf '%-12s %10s %12s\n' tool "wall (s)" "peak (MiB)"
  for name in "$@"; do
    awk -v us="${median[$name]}" -v kb="${peak[$name]}" -v n="$name" \
      'BEGIN {printf "%-12s %10.3f %12.1f\n", n, us / 1e6, kb / 1024}'
  done
}
