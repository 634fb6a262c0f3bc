#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test: all tests of the default and the
# asan builds, the threaded tests under the tsan build, and each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
source scripts/ensure-packages.sh
trimora_ensure_packages

status=0
run_preset() {
  local preset=$1
  echo "=== $preset build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" || status=1
}
run_preset default
run_preset asan
run_preset tsan

if [ -x scripts/run-fuzzers.sh ]; then
  echo "=== fuzz targets ==="
  scripts/run-fuzzers.sh || status=1
fi

if [ $status -ne 0 ]; then
  echo "Some tests FAILED." >&2
fi
exit $status
