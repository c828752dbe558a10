#!/usr/bin/env bash
# Sets up, builds and runs every test. Extra cmake options may be given in
# TUNELARK_CMAKE_OPTIONS and another build folder in TUNELARK_BUILD_DIR;
# ctest arguments may follow on the command line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/setup.sh
build="${TUNELARK_BUILD_DIR:-build-tests}"
# shellcheck disable=SC2086
# ccache makes a rebuild of unchanged files, in this or another checkout, free.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" ${TUNELARK_CMAKE_OPTIONS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

# One real Icecast server (with its source clients) for every test that needs it.
if [ -z "${ICECAST_PORT:-}" ] && [ -x tests/support/icecast/start.sh ]; then
  eval "$(bash tests/support/icecast/start.sh | grep -E '^ICECAST_(PORT|DIR)=')"
  export ICECAST_PORT ICECAST_DIR
  # Stop this server by its folder: another run's server may be "the last one started".
  trap 'bash tests/support/icecast/stop.sh "$ICECAST_DIR" >/dev/null 2>&1 || true' EXIT
fi

status=0
ctest --test-dir "$build" --output-on-failure -j2 "$@" || status=$?
# A test that lost its stream may have lost it to the server: show why.
if [ "$status" -ne 0 ] && [ -n "${ICECAST_DIR:-}" ]; then
  echo "--- the Icecast harness's logs ---"
  tail -n 40 "$ICECAST_DIR"/*.out "$ICECAST_DIR"/log/error.log 2>/dev/null || true
fi
exit "$status"
