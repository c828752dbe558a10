#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (FUZZ_SECONDS, default 60). A crash fails the script and leaves its input
# in build-fuzz/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds="${FUZZ_SECONDS:-60}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTUNELARK_FUZZ=ON >/dev/null
targets=$(sed -n 's/^tunelark_fuzz_target(\([a-z0-9_]*\).*/\1/p' tests/fuzz/CMakeLists.txt)
# shellcheck disable=SC2086
cmake --build build-fuzz -j"$(nproc)" --target $targets
cd build-fuzz
for t in $targets; do
  path=$(find . -name "$t" -type f -perm -u+x | head -n 1)
  echo "fuzzing $t for ${seconds}s"
  "$path" -max_total_time="$seconds" -print_final_stats=0 >"$t.log" 2>&1 || { tail -n 40 "$t.log"; exit 1; }
done
echo "fuzz: every target ran ${seconds}s without a fault"
