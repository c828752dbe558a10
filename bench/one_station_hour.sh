#!/usr/bin/env bash
# One local station (128 kbps MP3, a new ICY title every 2 s) for an hour,
# through the player's window; its resident memory, descriptors and threads
# read every 5 minutes. Memory must stay within 10 % of the level after the
# first minute. bench/soak_player.py --hour does the work.
#
# Usage: bench/one_station_hour.sh [minutes] [minutes between readings]
#   (default 60 and 5). The player is built in build-bench/ unless
#   TUNELARK_BUILD names a build.
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

minutes=${1:-60}
every=${2:-5}

require_tools Xvfb xdotool dbus-run-session sox lame oggenc /usr/bin/python3
build_targets tunelark

echo "Machine: $(machine_line)"
echo "Started $(date -u '+%Y-%m-%d %H:%M UTC')"
status=0
dbus-run-session -- /usr/bin/python3 "$repo/bench/soak_player.py" "$program" --hour --minutes "$minutes" --every "$every" || status=$?
echo "Ended $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
