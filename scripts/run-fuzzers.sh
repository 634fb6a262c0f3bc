#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, ASan) and runs each for a short fixed time.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
seconds=${TRIMORA_FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
shopt -s nullglob
status=0
for fuzzer in build/fuzz/fuzzers/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus=$(mktemp -d)
  seeds=tests/data/fuzz/$name
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "--- $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        "$corpus" >"$corpus.log" 2>&1; then
    tail -n 60 "$corpus.log" >&2
    echo "FAILED: $name" >&2
    status=1
  else
    grep -E '^(Done|#[0-9]+ *DONE)' "$corpus.log" | tail -n 1 || true
  fi
  rm -rf "$corpus" "$corpus.log"
done
exit $status
