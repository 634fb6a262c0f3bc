#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the main window's close view zooming over a 20-minute MP3 (128 kbps CBR, made by
# lame): at the start, the middle and the end of the file, from the whole file down to a
# millisecond a pixel, each step drawn from the overview at once and again with the finer
# columns of the shown stretch. Prints the slowest draw of each kind (target: under 50 ms)
# and the slowest wait for the finer columns.
#
# Usage: bench/zoom.sh
# BUILD_DIR is where the optimised build of the bench program goes (default build/bench-zoom);
# TRIMORA_BENCH_DIR is where the input is generated once and kept (default:
# ${TMPDIR:-/tmp}/trimora-bench).
source "$(dirname "$(readlink -f "$0")")/timing.sh"
build=${BUILD_DIR:-build/bench-zoom}
# The default preset's optimisation: GCC 12 at -O3 trips a false -Wrestrict in time_text.cpp.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIMORA_BENCH=ON \
  -DBUILD_TESTING=OFF >/dev/null
if ! log=$(cmake --build "$build" --target zoom 2>&1); then
  echo "$log" >&2
  exit 1
fi
TRIMORA_CLI=$build/bench/zoom bench_setup lame ffmpeg

mp3=$(input_mp3)
echo "== zoom over $(basename "$mp3")"
"$cli" "$mp3"
