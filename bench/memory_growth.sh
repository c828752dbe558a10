#!/usr/bin/env bash
# The whole player's resident memory (VmRSS) while it plays the real Icecast
# server's 128 kbps MP3 mount (a new ICY title every 6 s) for 10 minutes:
# read every minute, then after 1 minute against after 10 minutes.
#
# The player runs under a private Xvfb with SDL's dummy output, its station
# chosen with the Down key. Usage: bench/memory_growth.sh [minutes] (default
# 10; the player is built in build-bench/ unless TUNELARK_BUILD names a build)
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

minutes=${1:-10}

for tool in Xvfb xdotool curl; do
  command -v "$tool" >/dev/null || { say "$tool is not installed"; exit 2; }
done

build_targets tunelark
start_icecast
start_xvfb
start_player player "$mp3_url" SDL_AUDIODRIVER=dummy
started=$SECONDS

echo "Machine: $(machine_line)"
echo "The player's resident memory while playing $mp3_url:"
echo
echo "| minutes | VmRSS |"
echo "|---|---|"
rss=()
for minute in $(seq 1 "$minutes"); do
  sleep $((started + 60 * minute - SECONDS))
  rss[minute]=$(rss_kib "$player_pid")
  [ -n "${rss[minute]}" ] || { say "the player stopped; see $work/player/out.log"; exit 1; }
  echo "| $minute | ${rss[minute]} KiB |"
done
echo
echo "After 1 min: ${rss[1]} KiB; after $minutes min: ${rss[minutes]} KiB;" \
  "difference: $((rss[minutes] - rss[1])) KiB"
