#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times an MP3 cut by trimora-cli against FFmpeg and sox re-encoding the same stretch at the
# same bit rate: a 20-minute CBR 128 kbps stereo 44.1 kHz MP3, cut from 00:02:00.0 to
# 00:18:00.0. trimora-cli runs with 1, 2 and (where the machine has the cores) 4 encoder
# lanes. Then the lossless cut of the same stretch, `cut --copy`, against FFmpeg's stream
# copy (`-c copy`), with where each one's sound starts against the sample asked for. Prints
# the median wall time of each tool over several runs, the ratios, and the peak memory (the
# largest resident set size of any run, from /usr/bin/time -v).
#
# Usage: bench/cut_mp3.sh [RUNS]   (default 3)
# TRIMORA_CLI overrides the program to time (default: build/default/cli/trimora-cli, built
# with the default preset when missing). TRIMORA_BENCH_DIR is where the input is generated
# once and kept (default: ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-3}
bench_setup sox lame ffmpeg python3

input=$(input_mp3)
out=$work/out.mp3

lanes=(1 2)
[ "$(nproc)" -ge 4 ] && lanes+=(4)
tools=()
for n in "${lanes[@]}"; do tools+=("trimora-$n"); done
tools+=(ffmpeg sox trimora-copy ffmpeg-copy)
for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
declare -A frames
for ((i = 0; i < runs; i++)); do
  # Interleaved, so that a slow patch of the machine falls on every tool alike.
  for n in "${lanes[@]}"; do
    run "trimora-$n" "$cli" cut "$input" --start 00:02:00.0 --end 00:18:00.0 -o "$out" \
        --lanes "$n" --quiet
    frames[$n]=$(ffmpeg -nostdin -v error -i "$out" -f s16le - | wc -c)
  done
  run ffmpeg ffmpeg -nostdin -v error -y -ss 120 -to 1080 -i "$input" -c:a libmp3lame \
      -b:a 128k "$out"
  run sox sox -V1 "$input" -C 128 "$out" trim 120 =1080
  run trimora-copy "$cli" cut "$input" --start 00:02:00.0 --end 00:18:00.0 -o "$out" --copy \
      --quiet
  cp "$out" "$work/trimora-copy.mp3"
  run ffmpeg-copy ffmpeg -nostdin -v error -y -ss 120 -to 1080 -i "$input" -c copy "$out"
  cp "$out" "$work/ffmpeg-copy.mp3"
done
rm -f "$out"

declare -A median peak
echo "MP3 cut 00:02:00.0-00:18:00.0 of a 20-minute CBR 128 kbps stereo 44.1 kHz file," \
     "re-encoded at 128 kbps, median of $runs runs"
summarise "${tools[@]}"
for n in "${lanes[@]}"; do
  target="<= 1.00"
  [ "$n" -gt 1 ] && target="<= 0.55"
  echo "trimora, $n lane(s): decodes to $((frames[$n] / 4)) frames" \
       "(the range holds $((960 * 44100 + 1))); / ffmpeg $(ratio "${median[trimora-$n]}" \
       "${median[ffmpeg]}") (target $target); / sox $(ratio "${median[trimora-$n]}" \
       "${median[sox]}"); peak memory $(ratio "${peak[trimora-$n]}" 1024) MiB (target < 64)"
done

# Where a copy's sound starts in the source's: its samples from the third frame on (the first
# may be damaged where the bit reservoir reached back past the cut) are matched against the
# source's decode around the asked start.
start_offset() {
  python3 - "$input" "$1" <<'PY'
import subprocess, sys
def decode(path, seconds=None):
    args = ["ffmpeg", "-nostdin", "-v", "error", "-i", path]
    if seconds: args += ["-ss", str(seconds[0]), "-t", str(seconds[1])]
    raw = subprocess.run(args + ["-f", "s16le", "-ac", "1", "-"], capture_output=True).stdout
    return [int.from_bytes(raw[i:i + 2], "little", signed=True) for i in range(0, len(raw), 2)]
asked, rate, skip, span = 120 * 44100, 44100, 2304, 2048
source = decode(sys.argv[1], (119, 2))
copy = decode(sys.argv[2], (0, 0.2))[skip:skip + span]
best = min(range(len(source) - span), key=lambda at: sum(abs(a - b) for a, b in zip(source[at:at + span], copy)))
print(best + 119 * rate - skip - asked)
PY
}
echo "trimora --copy / ffmpeg -c copy $(ratio "${median[trimora-copy]}" "${median[ffmpeg-copy]}")" \
     "(target <= 2.00); peak memory $(ratio "${peak[trimora-copy]}" 1024) MiB (target < 32);" \
     "decodes to $(ffmpeg -nostdin -v error -i "$work/trimora-copy.mp3" -f s16le - | wc -c |
     awk '{print $1 / 4}') frames (the range holds $((960 * 44100 + 1)))"
for name in trimora-copy ffmpeg-copy; do
  echo "$name: its sound starts $(start_offset "$work/$name.mp3") samples from the one asked for"
done
