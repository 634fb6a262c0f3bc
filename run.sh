#!/usr/bin/env bash
# Installs what is missing, builds, and starts Trimora: with no arguments or a sound file the
# main window (`./run.sh song.mp3`), with a command word first the command line
# (`./run.sh cut song.wav --start 00:00:05.0 -o part.wav`).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
source scripts/ensure-packages.sh
trimora_ensure_packages
cmake --preset default >/dev/null
cmake --build --preset default
case "${1:-}" in
  info | cut | join | mix | formats | help | --help | -h)
    exec build/default/cli/trimora-cli "$@" ;;
esac
exec build/default/app/trimora "$@"
