#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times a WAV cut by trimora-cli against sox and FFmpeg (stream copy) on the same input:
# a 20-minute 16-bit stereo 44.1 kHz WAV, cut from 00:02:00.0 to 00:18:00.0, and against dd
# copying the same bytes in 1 MiB blocks (what the disk allows), and trimora-cli --version
# alone (its start: loading its libraries, which dd does not have). Prints the
# median wall time of each tool over several runs, the ratios, and the peak memory (the
# largest resident set size of any run, from /usr/bin/time -v).
#
# Usage: bench/cut_wav.sh [RUNS]   (default 5)
# TRIMORA_CLI overrides the program to time (default: build/default/cli/trimora-cli, built
# with the default preset when missing). TRIMORA_BENCH_DIR is where the input is generated
# once and kept (default: ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-5}
bench_setup sox ffmpeg

input=$work/in_20min_noise.wav
if [ ! -s "$input" ]; then
  echo "generating $input ..." >&2
  # Noise rather than silence, so that nothing in the path can take a shortcut.
  sox -V1 -R -n -r 44100 -b 16 -c 2 "$input" synth 1200 whitenoise vol 0.5
fi
out=$work/out.wav

# The cut's samples, past the 44-byte header: 16 minutes from 2 minutes in, 176,400 bytes a
# second.
ddargs=(bs=1M iflag=skip_bytes,count_bytes skip=$((44 + 120 * 176400)) count=$((960 * 176400)))

tools=(trimora sox ffmpeg dd start)
for name in "${tools[@]}"; do rm -f "$work/$name.times"; done
for ((i = 0; i < runs; i++)); do
  # Interleaved, so that a slow patch of the machine falls on every tool alike.
  run trimora "$cli" cut "$input" --start 00:02:00.0 --end 00:18:00.0 -o "$out" --quiet
  run sox sox -V1 "$input" "$out" trim 120 =1080
  run ffmpeg ffmpeg -nostdin -v error -y -ss 120 -to 1080 -i "$input" -c copy "$out"
  run dd dd if="$input" of="$out" status=none "${ddargs[@]}"
  run start "$cli" --version
done
rm -f "$out"

declare -A median peak
echo "WAV cut 00:02:00.0-00:18:00.0 of a 20-minute 16-bit stereo 44.1 kHz file, median of $runs runs"
summarise "${tools[@]}"
echo "trimora / sox:    $(ratio "${median[trimora]}" "${median[sox]}")  (target <= 1.00)"
echo "trimora / ffmpeg: $(ratio "${median[trimora]}" "${median[ffmpeg]}")  (target <= 1.50)"
echo "trimora / dd:     $(ratio "${median[trimora]}" "${median[dd]}")  (target <= 1.20)"
echo "trimora without its start / dd: $(ratio "$((median[trimora] - median[start]))" \
     "${median[dd]}")"
echo "trimora peak memory: $(ratio "${peak[trimora]}" 1024) MiB  (target < 32)"
