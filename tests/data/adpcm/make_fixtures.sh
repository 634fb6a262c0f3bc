#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the small ADPCM WAV files that the codec tests decode: IMA and Microsoft ADPCM from two
# independent encoders (sox and ffmpeg), mono and stereo. The signal is a sweep followed by a
# full-scale square wave, so that decoders reach their clamping bounds.
#
# The tests compare Microsoft ADPCM with FFmpeg's decoder, linked into the test. For IMA they
# compare with sox's decoder, whose output is stored here as *.sox.s16le (raw 16-bit
# little-endian, interleaved): FFmpeg reconstructs IMA steps with a multiplication instead of
# the standard shifts and adds, so its samples drift from any standard decoder.
#
# Run from anywhere; writes next to this script.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

rate=8000
# No dither and a fixed random seed, so the files come out the same on every run.
sx() { sox -D -R -V1 "$@"; }
# Left: a rising sweep, then a loud square; right: a falling sweep, then a square of another pitch.
sx -n -r $rate -b 16 -e signed -c 2 "$tmp/sweep.wav" synth 0.15 sine 100-3500 sine 3000-200 vol 0.7
# The square is overdriven so that it clips at both ends of the 16-bit range.
sx -n -r $rate -b 16 -e signed -c 2 "$tmp/square.wav" synth 0.1 square 150 square 310 vol 2
sx "$tmp/sweep.wav" "$tmp/square.wav" "$tmp/stereo.wav"
sx "$tmp/stereo.wav" "$tmp/mono.wav" remix 1

for ch in mono stereo; do
  sx "$tmp/$ch.wav" -e ima-adpcm "sox_ima_$ch.wav"
  sx "$tmp/$ch.wav" -e ms-adpcm "sox_ms_$ch.wav"
done

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y -i "$1" -fflags +bitexact -flags:a +bitexact "${@:2}"; }
ff "$tmp/mono.wav" -c:a adpcm_ima_wav -block_size 256 ffmpeg_ima_mono.wav
ff "$tmp/stereo.wav" -c:a adpcm_ima_wav -block_size 512 ffmpeg_ima_stereo.wav
ff "$tmp/mono.wav" -c:a adpcm_ms -block_size 256 ffmpeg_ms_mono.wav
ff "$tmp/stereo.wav" -c:a adpcm_ms -block_size 512 ffmpeg_ms_stereo.wav

for f in sox_ima_mono sox_ima_stereo ffmpeg_ima_mono ffmpeg_ima_stereo; do
  sx "$f.wav" -t raw -e signed -b 16 -L "$f.sox.s16le"
done
