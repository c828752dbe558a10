#!/usr/bin/env bash
# One HLS station for an hour: ffmpeg's live window of MPEG-TS segments (2 s
# each, two variants, tests/support/hls/hls_server.py), played by the whole
# player through its window, so the playlist is reloaded about 1800 times.
# The player's resident memory, threads and CPU time are read every few
# minutes; memory must stay within 10 % of the reading after the first
# minute, and the CPU time must keep growing (the station is still playing).
#
# Usage: bench/hls_hour.sh [minutes] [minutes between readings]
#   (default 60 and 5). The player is built in build-bench/ unless
#   TUNELARK_BUILD names a build.
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

minutes=${1:-60}
every=${2:-5}

require_tools Xvfb xdotool ffmpeg python3
build_targets tunelark  # the plug-ins come with it

mkdir -p "$work/hls"
coproc HLS { exec python3 "$repo/tests/support/hls/hls_server.py" "$work/hls" --ts; }
started_pids+=("$HLS_PID")
read -r port <&"${HLS[0]}"
url="http://127.0.0.1:$port/files/ts/master.m3u8"
for _ in $(seq 60); do [ -s "$work/hls/ts/v1.m3u8" ] && break; sleep 1; done

start_xvfb
start_player hls "$url" SDL_AUDIODRIVER=dummy
echo "Machine: $(machine_line)"
echo "Started $(date -u '+%Y-%m-%d %H:%M UTC'), $url"
echo
echo "| minute | VmRSS KiB | threads | CPU ticks |"
echo "|---|---|---|---|"
started=$SECONDS
first_rss="" last_ticks=0 status=0
for minute in $( (echo 1; seq "$every" "$every" "$minutes") | sort -nu); do
  sleep $((started + 60 * minute - SECONDS))
  kill -0 "$player_pid" 2>/dev/null || { say "the player has gone"; exit 1; }
  rss=$(rss_kib "$player_pid")
  ticks=$(cpu_ticks "$player_pid")
  echo "| $minute | $rss | $(ls "/proc/$player_pid/task" | wc -l) | $ticks |"
  [ -n "$first_rss" ] || first_rss=$rss
  if [ "$ticks" -le "$last_ticks" ]; then say "no decoding between readings: the station stopped"; status=1; fi
  last_ticks=$ticks
done
limit=$((first_rss + first_rss / 10))
echo
echo "Memory after minute 1: $first_rss KiB; after $minutes: $rss KiB (limit $limit KiB)"
[ "$rss" -le "$limit" ] || { say "memory grew beyond 10 %"; status=1; }
echo "Ended $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
