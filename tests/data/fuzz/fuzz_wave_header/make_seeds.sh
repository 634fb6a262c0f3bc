#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds for fuzz_wave_header: one small reader fixture of each kind of WAV data, and a few
# headers for the layouts those lack (lower-case ids, bytes before "RIFF", a LIST chunk of odd
# size with its pad byte, an extensible header).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
w=../../wave
cp $w/pcm_u8_mono.wav $w/pcm_s24_stereo.wav $w/float64_mono.wav $w/ext_s24_6ch.wav \
   $w/ima_mono_ffmpeg.wav $w/ima_stereo_sox.wav $w/ms_mono_ffmpeg.wav $w/ms_stereo_sox.wav \
   $w/mp3_mono.wav .

fmt16='fmt \x10\x00\x00\x00\x01\x00\x02\x00\x40\x1f\x00\x00\x00\x7d\x00\x00\x04\x00\x10\x00'
data='data\x08\x00\x00\x00\x01\x00\xff\xff\x02\x00\xfe\xff'
printf "riff\x00\x00\x00\x00wave${fmt16}${data}" > lower_case.wav
printf "ID3\x03junkRIFF\x00\x00\x00\x00WAVE${fmt16}LIST\x03\x00\x00\x00abc\x00${data}" > odd_list.wav
printf 'RIFF\x00\x00\x00\x00WAVEfmt \x28\x00\x00\x00\xfe\xff\x06\x00\x40\x1f\x00\x00\x00\x00\x00\x00\x12\x00\x18\x00\x16\x00\x18\x00\x3f\x00\x00\x00\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71data\x12\x00\x00\x00' > extensible.wav
head -c 18 /dev/zero >> extensible.wav
ls -l
