#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts Trimora: with no arguments or a sound file the
# main window (`./run.sh song.mp3`), with a command word first the command line
# (`./run.sh cut song.wav --start 00:00:05.0 -o part.wav`).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
source scripts/ensure-packages.sh
trimora_ensure_packages build
# Only the two programs, without the tests (./test.sh builds and runs those).
cmake --preset app >/dev/null
cmake --build --preset app --target trimora trimora-cli
case "${1:-}" in
  info | cut | join | mix | remove | stream | formats | help | --help | -h | version)
    exec build/app/cli/trimora-cli "$@" ;;
esac
exec build/app/app/trimora "$@"
