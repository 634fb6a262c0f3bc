# Shared by the benchmark scripts (sourced, from the top of the tree): the program to time,
# generated inputs, timed runs of competing tools and their summary. bench_setup sets $cli
# and $work (the scratch folder); the caller sets $out (the output file each run rewrites).

# bench_setup TOOL...: checks that the tools (and /usr/bin/time) are there; $cli becomes
# TRIMORA_CLI or the default preset's trimora-cli, built when missing; $work is
# TRIMORA_BENCH_DIR or ${TMPDIR:-/tmp}/trimora-bench, created if need be.
bench_setup() {
  local tool
  for tool in "$@" /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$(basename "$0"): $tool is needed" >&2; exit 1; }
  done
  cli=${TRIMORA_CLI:-build/default/cli/trimora-cli}
  if [ -z "${TRIMORA_CLI:-}" ] && [ ! -x "$cli" ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default --target trimora-cli
  fi
  cli=$(readlink -f "$cli")
  work=${TRIMORA_BENCH_DIR:-${TMPDIR:-/tmp}/trimora-bench}
  mkdir -p "$work"
}

# tone_wav FILE SECONDS LOW_HZ: 16-bit stereo 44.1 kHz, a tone rising from LOW_HZ to 2400 Hz
# and one falling from 440 to 300 Hz under pink noise: rather than silence, so that the
# encoders have real work to do.
tone_wav() {
  echo "generating $1 ..." >&2
  sox -V1 -R -n -r 44100 -b 16 -c 2 "$1" synth "$2" sine "$3"-2400 sine 440-300 \
      synth "$2" pinknoise mix gain -4
}

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
