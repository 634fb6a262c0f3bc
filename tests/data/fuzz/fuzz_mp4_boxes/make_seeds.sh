#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the seed files of fuzz_mp4_boxes: tiny M4A files as FFmpeg writes them (AAC with the
# moov first and last, ALAC, a fragmented one), and one with an iTunSMPB item from mutagen.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
make() { ffmpeg -nostdin -v error -y -f lavfi -i "sine=f=440:d=0.1" "$@"; }
make -c:a aac -b:a 32k -movflags +faststart aac_moov_first.m4a
make -c:a aac -b:a 32k aac_moov_last.m4a
make -c:a alac alac.m4a
make -c:a aac -b:a 32k -movflags frag_keyframe+empty_moov fragmented.m4a
cp aac_moov_first.m4a gapless.m4a
/usr/bin/python3 -c "import mutagen.mp4 as m; f = m.MP4('gapless.m4a'); \
f['----:com.apple.iTunes:iTunSMPB'] = [m.MP4FreeForm(b' 00000000 00000840 000001CA 0000000000001130')]; \
f['covr'] = [m.MP4Cover(b'not a picture')]; f.save()"
