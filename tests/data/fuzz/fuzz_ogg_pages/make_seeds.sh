#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds for fuzz_ogg_pages: a tenth of a second of Opus and of Vorbis, as ffmpeg writes them.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
ffmpeg -v error -y -f lavfi -i sine=r=48000:d=0.1 -c:a libopus -b:a 16k opus_mono.opus
ffmpeg -v error -y -f lavfi -i sine=r=8000:d=0.1 -c:a libvorbis -q:a 0 vorbis_mono.ogg
ls -l
