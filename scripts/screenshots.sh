#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/screenshots.sh OUTDIR: pictures of Trimora's windows (main-window*.png,
# about-box.png, segment-cut*.png, joiner*.png, split*.png) taken under a virtual X display,
# with a generated 10.3-second file open.
# The README shows OUTDIR=docs.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
out=$(mkdir -p "$1" && cd "$1" && pwd)
source scripts/ensure-packages.sh
trimora_ensure_packages
cmake --preset default >/dev/null
cmake --build build/default --target trimora-screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
  -i "aevalsrc=0.9*sin(2*PI*220*t)*abs(sin(PI*t*0.45))*(0.4+0.6*abs(sin(PI*t*3.1))):d=10.3:s=44100" \
  -ac 2 "$work/Song.wav"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
  build/default/app/trimora-screenshots "$work/Song.wav" "$out"
