#!/usr/bin/env bash
# CPU time (user + system, all threads, from /proc/<pid>/stat) of the whole
# player against mpv and ffplay, all listening at the same time to the same
# local 128 kbps MP3 stream, over the same window of playback: first the real
# Icecast server's MP3 mount (steady tones), then the demo station (music).
#
# Every player outputs to SDL's dummy driver (SDL_AUDIODRIVER=dummy: real-time
# pacing, no sound); mpv also runs a second time with its own null output
# (--ao=null). The player runs under a private Xvfb, its station chosen with
# the Down key as a person would; the X server's own CPU time for drawing the
# player's window is shown on a line of its own.
#
# Usage: bench/cpu_vs_players.sh [seconds]     (default 60; the player is
# built in build-bench/ unless TUNELARK_BUILD names a build folder)
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

seconds=${1:-60}
warmup=5  # connected, buffers filled: only steady playback is measured

require_tools mpv ffplay Xvfb xdotool curl

names=() pids=() outputs=()
rounds=0

launch() {  # launch NAME OUTPUT COMMAND...
  local name=$1 output=$2
  shift 2
  "$@" >"$work/$name.log" 2>&1 </dev/null &
  started_pids+=($!)
  names+=("$name") outputs+=("$output") pids+=($!)
}

alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }

stop_all() {
  local pid i left
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for i in $(seq 1 30); do
    left=0
    for pid in "${pids[@]}"; do alive "$pid" && left=1; done
    [ "$left" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done  # measured already
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  names=() pids=() outputs=()
}

row() {  # row STREAM PLAYER OUTPUT TICKS
  awk -v s="$1" -v p="$2" -v o="$3" -v d="$4" -v t="$(ticks_per_second)" -v w="$seconds" \
    'BEGIN { printf "| %s | %s | %s | %.2f s | %.2f %% |\n", s, p, o, d / t, 100 * d / t / w }'
}

# The player's CPU ticks between two thread listings, split by class.
split_ticks() {  # split_ticks BEFORE AFTER -> "window engine"
  awk 'NR == FNR { before[$1] = $3; next }
       { used[$2] += $3 - before[$1] }
       END { print used["window"] + 0, used["engine"] + 0 }' "$1" "$2"
}

round() {  # round STREAM URL
  local stream=$1 url=$2 i start=() end=() split
  rounds=$((rounds + 1))
  start_player "player-$rounds" "$url" SDL_AUDIODRIVER=dummy
  names+=(tunelark) outputs+=("SDL dummy") pids+=("$player_pid")
  # mpv and ffplay show no window: they run without the X server, as
  # headless players do.
  launch "mpv-sdl" "SDL dummy" env -u DISPLAY SDL_AUDIODRIVER=dummy \
    mpv --no-config --no-terminal --no-video --ao=sdl "$url"
  launch "mpv-null" "mpv null (--ao=null)" env -u DISPLAY \
    mpv --no-config --no-terminal --no-video --ao=null "$url"
  launch "ffplay" "SDL dummy" env -u DISPLAY SDL_AUDIODRIVER=dummy \
    ffplay -nodisp -autoexit -loglevel error "$url"
  names+=("Xvfb (draws the player's window)") outputs+=("-") pids+=("$xvfb_pid")
  sleep "$warmup"
  thread_ticks "$player_pid" >"$work/threads.before"
  for i in "${!pids[@]}"; do start[i]=$(cpu_ticks "${pids[i]}"); done
  sleep "$seconds"
  thread_ticks "$player_pid" >"$work/threads.after"
  for i in "${!pids[@]}"; do
    alive "${pids[i]}" || { say "${names[i]} stopped early"; exit 1; }
    end[i]=$(cpu_ticks "${pids[i]}")
  done
  for i in "${!pids[@]}"; do
    [ "${pids[i]}" = "$xvfb_pid" ] || listening "${pids[i]}" "$url" ||
      { say "${names[i]} is not connected to $url"; exit 1; }
  done
  for i in "${!pids[@]}"; do
    row "$stream" "${names[i]}" "${outputs[i]}" $((end[i] - start[i]))
    if [ "$i" -eq 0 ]; then
      read -r -a split < <(split_ticks "$work/threads.before" "$work/threads.after")
      row "$stream" "... of which its window (Qt threads)" "" "${split[0]}"
      row "$stream" "... of which its engine (output, network, decoding)" "" "${split[1]}"
    fi
  done
  # Xvfb is shared by the rounds; it is not the round's to stop.
  unset 'pids[${#pids[@]}-1]'
  stop_all
}

build_targets tunelark
start_icecast
start_demo
start_xvfb

echo "Machine: $(machine_line)"
echo "Each player's CPU time (user + system) over ${seconds} s of playback, after ${warmup} s of warm-up:"
echo
echo "| stream | player | output | CPU time | of one core |"
echo "|---|---|---|---|---|"
round "Icecast /test.mp3" "$mp3_url"
round "demo station" "$demo_url"
