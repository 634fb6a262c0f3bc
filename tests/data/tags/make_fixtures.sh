#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the ID3 fixtures of the tag tests: a short untagged MP3, and copies of it tagged by
# FFmpeg (ID3v2.3 and 2.4) and by mutagen (python3-mutagen: UTF-16 with byte-order mark,
# UTF-8 with frames of 128 bytes and more, padding). Run from anywhere; writes next to
# itself. The tests expect the texts set here.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

# 0.2 s of silence, no tags: the body every other fixture and the write tests start from.
ff -f lavfi -i anullsrc=r=8000:cl=mono -t 0.2 -c:a libmp3lame -b:a 8k \
   -id3v2_version 0 -write_xing 0 -fflags +bitexact -map_metadata -1 plain.mp3

long_title=$(printf 'L%.0s' $(seq 1 299))   # 300 bytes of frame data with the encoding byte

# FFmpeg writes Latin-1 texts with encoding 0, others as UTF-16 with a mark (2.3) or UTF-8 (2.4).
ff -i plain.mp3 -c copy -fflags +bitexact -id3v2_version 3 \
   -metadata title='Grüße ☺' -metadata artist='Plain Artist' -metadata album='Album Three' \
   -metadata genre='Rock' -metadata date='2004' -metadata track='3/12' \
   -metadata composer='Composer Three' -metadata copyright='(C) Three' \
   -metadata encoded_by='Encoder Three' -metadata language='eng' ffmpeg_v23.mp3
ff -i plain.mp3 -c copy -fflags +bitexact -id3v2_version 4 \
   -metadata title="$long_title" -metadata artist='Ärtist ☺' -metadata album='Album Four' \
   -metadata genre='Jazz' -metadata track='4' ffmpeg_v24.mp3

/usr/bin/python3 - <<'PY'
import shutil
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TCON, TRCK, TYER, COMM, WXXX, TCOM

def tag(path, version, frames, padding):
    shutil.copy("plain.mp3", path)
    tags = ID3()
    for frame in frames:
        tags.add(frame)
    tags.save(path, v2_version=version, padding=lambda info: padding)

# Version 2.3, UTF-16 with the byte-order mark; a comment and a link that are not read.
tag("mutagen_v23_utf16.mp3", 3, [
    TIT2(encoding=1, text="Ωmega title"), TPE1(encoding=1, text="Ärtist"),
    TALB(encoding=0, text="Latin album"), TYER(encoding=0, text="1999"),
    TRCK(encoding=0, text="7"), COMM(encoding=1, lang="eng", desc="", text="not read"),
    WXXX(encoding=0, desc="link text", url="http://example.invalid/")], 40)

# Version 2.4, UTF-8; the title frame holds 202 bytes, so its synchsafe size is 00 00 01 4A.
tag("mutagen_v24_utf8.mp3", 4, [
    TIT2(encoding=3, text="T" * 198 + "é"), TPE1(encoding=3, text="Artist Four ☺"),
    TCOM(encoding=3, text="Composer Four"), TCON(encoding=2, text="UTF-16BE is skipped")], 100)
PY
ls -l ./*.mp3
