#!/usr/bin/env bash
# Installs what is missing, builds, and starts Trimora. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
source scripts/ensure-packages.sh
trimora_ensure_packages
cmake --preset default >/dev/null
cmake --build --preset default
if [ -x build/default/app/trimora ] && [ $# -eq 0 ]; then
  exec build/default/app/trimora
fi
exec build/default/cli/trimora-cli "$@"
