#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Trimora builds, tests and benchmarks with, only those missing,
# so that a second run costs nothing. Sourced by run.sh (what building and running the two
# programs need: `trimora_ensure_packages build`) and test.sh (everything).
TRIMORA_BUILD_PACKAGES=(
  cmake g++ ninja-build pkg-config ccache   # the build (ccache: a rebuild of unchanged files is cached)
  qt6-base-dev qt6-multimedia-dev           # the windows, the track bar, preview playback
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev  # decoding, WMA/FLAC/Vorbis/Opus/M4A encoding, MP3-in-WAV
  libmp3lame-dev                            # MP3 encoding
  libtag1-dev                               # MP3 tag writing, tag checks in tests
  zlib1g-dev                                # compressed ID3v2 frames
)
TRIMORA_PACKAGES=(
  "${TRIMORA_BUILD_PACKAGES[@]}"
  libgtest-dev libbenchmark-dev             # tests and micro-benchmarks
  clang libclang-rt-14-dev                  # libFuzzer targets
  ffmpeg sox libsox-fmt-mp3 time            # fixture scripts, reference decoding, benchmarks
  python3-mutagen lame                      # fixture scripts: ID3v2 and MP3 written by other software
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good flac  # second decoders of FLAC, Vorbis and Opus cuts
  gstreamer1.0-libav                        # GStreamer's AAC decoder, a second decoder of M4A cuts
  mpg123                                    # a third decoder of the MP3 joins that keep the frames
  xvfb xauth                                # scripts/screenshots.sh: the windows on a virtual display
  help2man appstream desktop-file-utils     # man pages; the install's desktop file and metainfo checked
  pulseaudio pulseaudio-utils               # player tests: a private sound server with a null sink
)

trimora_ensure_packages() {
  local missing=() wanted=("${TRIMORA_PACKAGES[@]}")
  [ "${1:-}" = build ] && wanted=("${TRIMORA_BUILD_PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
