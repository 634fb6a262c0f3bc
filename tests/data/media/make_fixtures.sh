#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the MP3 and WMA fixtures of the media tests and records what FFmpeg's own command-line
# decoding makes of each (frame count and MD5 of its 16-bit PCM) in expected.txt, together
# with what ffprobe reports (duration, bit rate), for the tests to compare against.
#
# Encoders: the LAME command-line encoder, FFmpeg's libmp3lame, libshine, wmav1 and wmav2.
# Needs: sox, lame, ffmpeg, ffprobe, python3. Run from anywhere; writes next to itself.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Deterministic test signals: sweeps, a tone and some noise, different on each channel.
signal() {  # rate channels seconds out
  if [ "$2" = 2 ]; then
    sox -R -n -r "$1" -c 2 -b 16 "$4" synth "$3" sine 180-2400 sine 440-300 \
        synth "$3" pinknoise mix gain -4
  else
    sox -R -n -r "$1" -c 1 -b 16 "$4" synth "$3" sine 150-3000 synth "$3" pinknoise mix gain -4
  fi
}
signal 44100 2 1.0 "$tmp/s44.wav"
signal 44100 2 1.5 "$tmp/s44long.wav"
signal 48000 2 1.0 "$tmp/s48.wav"
signal 32000 2 1.2 "$tmp/s32.wav"
signal 22050 1 1.5 "$tmp/m22.wav"
signal 16000 1 1.5 "$tmp/m16.wav"
signal 11025 1 1.5 "$tmp/m11.wav"
signal 8000 1 1.5 "$tmp/m8.wav"
signal 8000 1 10.0 "$tmp/m8ten.wav"

q=(--quiet --noreplaygain)
lame "${q[@]}" -b 128 --add-id3v2 --tt "Lame Title" --ta "Lame Artist" --tl "Lame Album" \
    --ty 2004 --tn 7 --tg Rock "$tmp/s44.wav" mp3_lame_cbr128_44k_stereo.mp3
lame "${q[@]}" -V 5 "$tmp/s44long.wav" mp3_lame_vbr_44k_stereo.mp3
lame "${q[@]}" -V 5 -t "$tmp/s32.wav" mp3_lame_vbr_notag_32k_stereo.mp3
lame "${q[@]}" -b 32 --resample 32 "$tmp/s32.wav" mp3_lame_cbr32_32k_stereo.mp3
lame "${q[@]}" -m m -b 32 "$tmp/m22.wav" mp3_lame_cbr32_22k_mono.mp3
lame "${q[@]}" -m m -b 16 "$tmp/m11.wav" mp3_lame_cbr16_11k_mono.mp3
lame "${q[@]}" -m m -b 8 -t "$tmp/m8.wav" mp3_lame_cbr8_8k_mono_notag.mp3
# Exactly 10.00 seconds of audio once the encoder's delay and padding are dropped.
lame "${q[@]}" -m m -b 24 "$tmp/m8ten.wav" mp3_lame_10s_8k_mono.mp3

f=(-v error -y)
o=(-map_metadata -1 -fflags +bitexact -flags:a +bitexact)
tags=(-metadata title="FF Title" -metadata artist="FF Artist" -metadata album="FF Album"
      -metadata genre="Jazz" -metadata track=3 -metadata date=1999
      -metadata copyright="(c) FF" -metadata comment="FF comment")
ffmpeg "${f[@]}" -i "$tmp/s48.wav" "${o[@]}" -c:a libmp3lame -b:a 96k "${tags[@]}" \
    mp3_ffmpeg_cbr96_48k_stereo.mp3
ffmpeg "${f[@]}" -i "$tmp/s32.wav" "${o[@]}" -c:a libshine -b:a 64k -write_xing 0 \
    mp3_shine_cbr64_32k_stereo_notag.mp3

ffmpeg "${f[@]}" -i "$tmp/s44.wav" "${o[@]}" -c:a wmav2 -b:a 64k "${tags[@]}" wma_v2_64k_44k_stereo.wma
ffmpeg "${f[@]}" -i "$tmp/s48.wav" "${o[@]}" -c:a wmav2 -b:a 64k wma_v2_64k_48k_stereo.wma
ffmpeg "${f[@]}" -i "$tmp/s32.wav" "${o[@]}" -c:a wmav1 -b:a 48k wma_v1_48k_32k_stereo.wma
ffmpeg "${f[@]}" -i "$tmp/m22.wav" "${o[@]}" -c:a wmav1 -b:a 32k wma_v1_32k_22k_mono.wma
ffmpeg "${f[@]}" -i "$tmp/m16.wav" "${o[@]}" -c:a wmav2 -b:a 24k wma_v2_24k_16k_mono.wma
ffmpeg "${f[@]}" -i "$tmp/m8.wav" "${o[@]}" -c:a wmav2 -b:a 24k \
    -metadata WM/Track=4 -metadata WM/Year=1987 -metadata IsVBR=1 wma_v2_24k_8k_mono_wmnames.wma

# A protected file: the 44.1 kHz one with a Content Encryption Object added to its header.
python3 - wma_v2_64k_44k_stereo.wma wma_protected.wma <<'PY'
import struct, sys, uuid
data = bytearray(open(sys.argv[1], 'rb').read())
size, count = struct.unpack_from('<QI', data, 16)
body = struct.pack('<I', 0) + struct.pack('<I', 4) + b'DRM\0' + struct.pack('<I', 0) + struct.pack('<I', 0)
obj = uuid.UUID('2211B3FB-BD23-11D2-B4B7-00A0C955FC6E').bytes_le + struct.pack('<Q', 24 + len(body)) + body
struct.pack_into('<QI', data, 16, size + len(obj), count + 1)
data[30:30] = obj
open(sys.argv[2], 'wb').write(bytes(data))
PY

{
  echo "# file rate channels ffmpeg_frames ffmpeg_s16le_md5 ffprobe_duration ffprobe_bit_rate"
  for x in *.mp3 *.wma; do
    [ "$x" = wma_protected.wma ] && continue
    ffmpeg -v error -i "$x" -f s16le - > "$tmp/pcm"
    read -r rate channels bitrate < <(ffprobe -v error -select_streams a:0 \
        -show_entries stream=sample_rate,channels,bit_rate -of csv=p=0 "$x" | tr ',' ' ')
    duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$x")
    bytes=$(stat -c %s "$tmp/pcm")
    echo "$x $rate $channels $((bytes / 2 / channels)) $(md5sum < "$tmp/pcm" | cut -d' ' -f1)" \
         "$duration $bitrate"
  done
} > expected.txt
