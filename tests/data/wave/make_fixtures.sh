#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the small WAV files the reader tests open, one per kind of WAV data, each with a raw
# reference decoding (*.ref) made by an independent decoder:
#   - FFmpeg for PCM, float, Microsoft ADPCM and MP3 inside WAV (written by FFmpeg with LAME);
#   - sox for IMA ADPCM: FFmpeg's IMA decoder reconstructs steps with a multiplication
#     instead of the standard shifts and adds, so its samples drift from a standard decoder.
# References are headerless little-endian samples in the fixture's own layout: u8, s16, s24,
# s32, f32 or f64 (float data is compared after the test applies the float-to-integer rule).
#
# The signal is a sweep with some noise at a level that never clips, so that decoders which
# differ only in how they clamp agree; the 6-channel float file goes past full scale on purpose.
#
# Run from anywhere; writes next to this script.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# No dither and a fixed random seed, so the files come out the same on every run.
sx() { sox -D -R -V1 "$@"; }
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
bitexact=(-fflags +bitexact -flags:a +bitexact)

sx -n -r 8000 -b 16 -e signed -c 2 "$tmp/stereo.wav" \
  synth 0.05 sine 200-3000 sine 2500-300 synth 0.05 whitenoise mix vol 0.6
sx "$tmp/stereo.wav" "$tmp/mono.wav" remix 1

# ffref <fixture> <raw format>: FFmpeg's decoding of the fixture as raw samples.
ffref() { ff -i "$1" "${bitexact[@]}" -f "$2" -c:a "pcm_$2" "${1%.wav}.ref"; }

# Integer PCM with the plain header ("wavpcm" keeps sox from writing the extensible form).
sx "$tmp/mono.wav" -t wavpcm -b 8 -e unsigned pcm_u8_mono.wav
sx "$tmp/stereo.wav" -t wavpcm -b 16 pcm_s16_stereo.wav
sx "$tmp/stereo.wav" -t wavpcm -b 24 pcm_s24_stereo.wav
sx "$tmp/mono.wav" -t wavpcm -b 32 pcm_s32_mono.wav
ffref pcm_u8_mono.wav u8
ffref pcm_s16_stereo.wav s16le
ffref pcm_s24_stereo.wav s24le
ffref pcm_s32_mono.wav s32le

# IEEE float with the plain header (format tag 3, and a `fact` chunk), from sox.
sx "$tmp/stereo.wav" -b 32 -e floating-point float32_stereo.wav
sx "$tmp/mono.wav" -b 64 -e floating-point float64_mono.wav
ffref float32_stereo.wav f32le
ffref float64_mono.wav f64le

# The extensible form: 6 channels, 24-bit integer and 32-bit float (past full scale), 200
# frames.
six="pan=5.1|c0=c0|c1=c1|c2=0.5*c0|c3=0.5*c1|c4=-0.7*c0|c5=-0.7*c1,atrim=end_sample=200"
ff -i "$tmp/stereo.wav" "${bitexact[@]}" -af "$six" -c:a pcm_s24le ext_s24_6ch.wav
ff -i "$tmp/stereo.wav" "${bitexact[@]}" -af "$six,volume=2.5" -c:a pcm_f32le ext_f32_6ch.wav
ffref ext_s24_6ch.wav s24le
ffref ext_f32_6ch.wav f32le

# IMA ADPCM from sox (block align 256 mono, 512 stereo) and from FFmpeg (small blocks, so
# that a range can start in a later block).
sx "$tmp/mono.wav" -e ima-adpcm ima_mono_sox.wav
sx "$tmp/stereo.wav" -e ima-adpcm ima_stereo_sox.wav
ff -i "$tmp/mono.wav" "${bitexact[@]}" -c:a adpcm_ima_wav -block_size 64 ima_mono_ffmpeg.wav
ff -i "$tmp/stereo.wav" "${bitexact[@]}" -c:a adpcm_ima_wav -block_size 128 ima_stereo_ffmpeg.wav
for f in ima_mono_sox ima_stereo_sox ima_mono_ffmpeg ima_stereo_ffmpeg; do
  sx "$f.wav" -t raw -e signed -b 16 -L "$f.ref"
done

# Microsoft ADPCM from sox and from FFmpeg, decoded by FFmpeg.
sx "$tmp/mono.wav" -e ms-adpcm ms_mono_sox.wav
sx "$tmp/stereo.wav" -e ms-adpcm ms_stereo_sox.wav
ff -i "$tmp/mono.wav" "${bitexact[@]}" -c:a adpcm_ms -block_size 64 ms_mono_ffmpeg.wav
ff -i "$tmp/stereo.wav" "${bitexact[@]}" -c:a adpcm_ms -block_size 128 ms_stereo_ffmpeg.wav
for f in ms_mono_sox ms_stereo_sox ms_mono_ffmpeg ms_stereo_ffmpeg; do ffref "$f.wav" s16le; done

# MPEG Layer-3 inside WAV (format tag 0x55), decoded by FFmpeg to 16-bit.
ff -i "$tmp/mono.wav" "${bitexact[@]}" -c:a libmp3lame -b:a 16k -f wav mp3_mono.wav
ff -i "$tmp/stereo.wav" "${bitexact[@]}" -c:a libmp3lame -b:a 24k -f wav mp3_stereo.wav
ffref mp3_mono.wav s16le
ffref mp3_stereo.wav s16le
