#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds for fuzz_id3_tags: the tagged MP3 fixtures of the tag tests, and a few small tags
# for the layouts those lack (version 2.2, footer, extended header, ID3v1 records).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
cp ../../tags/ffmpeg_v23.mp3 ../../tags/ffmpeg_v24.mp3 \
   ../../tags/mutagen_v23_utf16.mp3 ../../tags/mutagen_v24_utf8.mp3 .

# Version 2.2: TT2 in single-byte text, TP1 in UTF-16 with a mark.
printf 'ID3\x02\x00\x00\x00\x00\x00\x18TT2\x00\x00\x04\x00Two''TP1\x00\x00\x05\x01\xff\xfeW\x00\x00\x00\x00' > v22.bin
# Version 2.4 with a footer.
printf 'ID3\x04\x00\x10\x00\x00\x00\x0cTIT2\x00\x00\x00\x02\x00\x00\x00F3DI\x04\x00\x10\x00\x00\x00\x0c' > v24_footer.bin
# Version 2.3 with an extended header before the first frame.
printf 'ID3\x03\x00\x40\x00\x00\x00\x15\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00TIT2\x00\x00\x00\x02\x00\x00\x00X' > v23_extended.bin
# ID3v1.1 record after a little audio.
{ printf 'audio'; printf 'TAG'; printf 'Title%.0s' 1 2 3 4 5 6; printf '%-30s' Artist | tr ' ' '\0'
  printf '%-30s' Album | tr ' ' '\0'; printf '2004'; printf '%-28s' Comment | tr ' ' '\0'
  printf '\x00\x07\x11'; } > v11_record.bin
ls -l
