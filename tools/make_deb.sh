#!/usr/bin/env bash
# Builds the Debian package tunelark_<version>_<arch>.deb in the repository's
# root from a Release build of its own (build-deb/), with Debian's hardening
# flags, and checks it with lintian (errors fail; warnings are printed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/setup.sh
build=build-deb
# Every hardening option Debian has, immediate binding included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" >/dev/null
# Only what is installed; the tests are not built for the package.
cmake --build "$build" -j"$(nproc)" --target installed_files
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tunelark_*.deb)
cp "$deb" .
echo "Built $(basename "$deb")"
lintian --fail-on error "$(basename "$deb")"
