#!/usr/bin/env bash
# Sets up, builds and starts Tunelark with its local demo station.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target tunelark

# SDL does not fall back to a silent output by itself: without a sound server
# or a sound card, the player plays to SDL's dummy output instead.
has_sound() {
  local run="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
  [ -S "$run/pulse/native" ] || [ -S "$run/pipewire-0" ] && return 0
  [ -n "${PULSE_SERVER:-}" ] && return 0
  grep -q '^ *[0-9]' /proc/asound/cards 2>/dev/null
}
if [ -z "${SDL_AUDIODRIVER:-}" ] && ! has_sound; then
  echo "No sound output found (no PulseAudio or PipeWire server, no ALSA card): playing to SDL's dummy output."
  export SDL_AUDIODRIVER=dummy
fi

python3 tools/demo_station.py &
demo=$!
trap 'kill $demo 2>/dev/null || true' EXIT

# The station list is read from the working folder.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ./build/tunelark
else
  echo "No display: running under Xvfb."
  xvfb-run -a -s "-screen 0 1024x768x24" ./build/tunelark
fi
