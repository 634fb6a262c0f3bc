#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds for fuzz_flac_stream: a few tiny FLAC files of short frames (16-bit stereo, 24-bit
# mono, 8-bit mono from the flac tool), one behind an ID3v2 tag with bytes after its frames,
# and one with a seek table and a comment block.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
tone="sine=f=440:r=8000:d=0.12"
# Without FFmpeg's 8 KiB of padding, so that the seeds are mostly frames.
ff() {
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "$tone" "$@"
  metaflac --remove --block-type=PADDING --dont-use-padding "${@: -1}"
}
ff -ac 2 -c:a flac -sample_fmt s16 -frame_size 256 s16_stereo.flac
ff -ac 1 -c:a flac -sample_fmt s32 -bits_per_raw_sample 24 -frame_size 192 s24_mono.flac
ffmpeg -nostdin -loglevel error -f lavfi -i "$tone" -ac 1 -f u8 -c:a pcm_u8 - | flac -s -f --force-raw-format --endian=little --sign=unsigned \
    --channels=1 --bps=8 --sample-rate=8000 --blocksize=256 --no-padding -o u8_mono.flac -
{ printf 'ID3\x03\x00\x00\x00\x00\x00\x05abcde'; cat s16_stereo.flac; printf 'TAG trailing'; } \
    > id3_and_trailing.flac
ff -ac 2 -c:a flac -sample_fmt s16 -frame_size 576 -metadata title=seed seektable.flac
metaflac --add-seekpoint=576 --add-seekpoint=1152 seektable.flac
ls -l
