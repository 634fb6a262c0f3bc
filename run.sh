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
cli=build/app/cli/trimora-cli
# The command words are the ones the command line lists in its help.
case "${1:-}" in
  help | --help | -h | version | --version | -v) exec "$cli" "$@" ;;
esac
if [ -n "${1:-}" ] && "$cli" --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' | grep -qxF -- "$1"; then
  exec "$cli" "$@"
fi
exec build/app/app/trimora "$@"
