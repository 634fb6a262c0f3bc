#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds for fuzz_ogg_headers: the header packets of the fuzz_ogg_pages seeds, and for the
# Vorbis parser the identification header, the setup header, two audio packets and the byte
# that says how many bytes of packets follow the setup header.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
python3 - <<'PY'
def packets(path):
    d = open(path, 'rb').read(); p = 0; out = []; cur = b''
    while p < len(d):
        n = d[p + 26]; seg = d[p + 27:p + 27 + n]; q = p + 27 + n
        for s in seg:
            cur += d[q:q + s]; q += s
            if s < 255: out.append(cur); cur = b''
        p = q
    return out
opus = packets('../fuzz_ogg_pages/opus_mono.opus')
open('opus_head.bin', 'wb').write(opus[0])
open('opus_tags.bin', 'wb').write(opus[1])
open('opus_audio.bin', 'wb').write(opus[2])
v = packets('../fuzz_ogg_pages/vorbis_mono.ogg')
open('vorbis_id.bin', 'wb').write(v[0])
open('vorbis_comment.bin', 'wb').write(v[1])
audio = (v[3] + b'\0' * 8)[:8] + (v[4] + b'\0' * 8)[:8]
open('vorbis_parse.bin', 'wb').write(v[0] + v[2] + audio + bytes([len(audio)]))
PY
ls -l
