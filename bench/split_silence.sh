#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the pause finding of trimora-cli split --silence (the pass over the file and the plan,
# nothing written) against FFmpeg's silencedetect filter with the same threshold and shortest
# pause, on a 20-minute CBR 128 kbps MP3 (lame) of five 4-minute stretches of tone and noise
# apart by 3-second pauses. Prints the median wall time of each over the runs, the ratio, the
# peak memory (largest resident set of any run) and the pauses each found.
#
# Usage: bench/split_silence.sh [RUNS]   (default 1)
# TRIMORA_CLI and TRIMORA_BENCH_DIR as in bench/timing.sh.
source "$(dirname "$(readlink -f "$0")")/timing.sh"
runs=${1:-1}
bench_setup sox lame ffmpeg

mp3=$work/split_20min_paused.mp3
if [ ! -s "$mp3" ]; then
  part=$work/split_part.wav pause=$work/split_pause.wav wav=$work/split_20min_paused.wav
  tone_wav "$part" 237 200
  sox -V1 -n -r 44100 -b 16 -c 2 "$pause" trim 0 3
  sox -V1 "$part" "$pause" "$part" "$pause" "$part" "$pause" "$part" "$pause" "$part" "$wav"
  lame --quiet -b 128 "$wav" "$mp3"
  rm -f "$part" "$pause" "$wav"
fi
out=$work/split_silence.out
cat "$mp3" >/dev/null  # both tools read from the page cache

declare -A median peak
for name in trimora ffmpeg; do rm -f "$work/$name.times"; done
for ((i = 0; i < runs; i++)); do
  run trimora "$cli" split "$mp3" --silence --threshold -50 --min-silence 2 --plan --quiet
  run ffmpeg ffmpeg -nostdin -hide_banner -i "$mp3" -af silencedetect=noise=-50dB:d=2 -f null -
done
echo "Pauses found in a 20-minute 128 kbps MP3, median of $runs runs"
summarise trimora ffmpeg
echo "trimora / ffmpeg $(ratio "${median[trimora]}" "${median[ffmpeg]}");" \
     "trimora splits it into $("$cli" split "$mp3" --silence --min-silence 2 --plan | grep -c '^piece') pieces," \
     "ffmpeg finds $(grep -c 'silence_end' "$work/ffmpeg.err") pauses"
