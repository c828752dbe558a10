#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tunelark need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config ccache
  # window layer, engine libraries
  qt6-base-dev libxcb1-dev libsdl2-dev libcurl4-openssl-dev ca-certificates
  libmpg123-dev libogg-dev libvorbis-dev libsoxr-dev libfaad-dev libopusfile-dev
  # HLS plug-in: containers (MPEG-TS, packed audio, fMP4), codecs, AES
  libavformat-dev libavcodec-dev libavutil-dev
  fonts-dejavu-core
  # tests: framework, sanitizer runtimes, fixture makers, a real streaming server
  libgtest-dev googletest clang libclang-rt-14-dev clang-format
  lame vorbis-tools sox python3 icecast2 ezstream curl
  # running without a display, screenshots
  xvfb xauth x11-apps imagemagick dbus xdotool
  # end-to-end tests: the window read through AT-SPI, a real MPRIS client
  python3-pyatspi at-spi2-core playerctl
  # a real sound server that tests can kill and start again
  pulseaudio pulseaudio-utils
  # a real screen reader listening to the window (speech only to its log)
  orca
  # plug-in fixtures (Ogg Opus), install checks and the Debian package
  opus-tools desktop-file-utils appstream lintian file
  # benchmarks
  libbenchmark-dev mpv ffmpeg linux-perf goodvibes openbox valgrind
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
