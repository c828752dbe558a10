#!/usr/bin/env bash
# The whole player's resident memory (VmRSS) over 10 minutes of playing, read
# every minute: after 1 minute against after 10 minutes. Two players run side
# by side, one on the real Icecast server's 128 kbps MP3 mount (a new ICY
# title every 6 s), one on the demo station (music, moving meters, a new
# title every few seconds).
#
# Each player runs under a private Xvfb of its own with SDL's dummy output, its station
# chosen with the Down key. Usage: bench/memory_growth.sh [minutes] (default
# 10; the player is built in build-bench/ unless TUNELARK_BUILD names a build)
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

minutes=${1:-10}

require_tools Xvfb xdotool curl

build_targets tunelark
start_icecast
start_demo
# An X server each, so each window has the keyboard focus.
start_xvfb
start_player icecast "$mp3_url" SDL_AUDIODRIVER=dummy
icecast_player=$player_pid
start_xvfb
start_player demo "$demo_url" SDL_AUDIODRIVER=dummy
demo_player=$player_pid
started=$SECONDS

echo "Machine: $(machine_line)"
echo "The player's resident memory (VmRSS) while it plays:"
echo
echo "| minutes | Icecast /test.mp3 | demo station |"
echo "|---|---|---|"
icecast_rss=() demo_rss=()
for minute in $(seq 1 "$minutes"); do
  sleep $((started + 60 * minute - SECONDS))
  icecast_rss[minute]=$(rss_kib "$icecast_player")
  demo_rss[minute]=$(rss_kib "$demo_player")
  listening "$icecast_player" "$mp3_url" && listening "$demo_player" "$demo_url" ||
    { say "a player stopped playing"; cat "$work"/*/out.log >&2; exit 1; }
  echo "| $minute | ${icecast_rss[minute]} KiB | ${demo_rss[minute]} KiB |"
done
echo
echo "| stream | after 1 min | after $minutes min | difference |"
echo "|---|---|---|---|"
echo "| Icecast /test.mp3 | ${icecast_rss[1]} KiB | ${icecast_rss[minutes]} KiB |" \
  "$((icecast_rss[minutes] - icecast_rss[1])) KiB |"
echo "| demo station | ${demo_rss[1]} KiB | ${demo_rss[minutes]} KiB |" \
  "$((demo_rss[minutes] - demo_rss[1])) KiB |"
