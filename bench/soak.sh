#!/usr/bin/env bash
# Many station changes through the player's window among four local stations
# (an MP3 with a new ICY title every second, a chained Ogg Vorbis stream, one
# that drops the connection mid-stream, one that answers 404), "Rec" clicked
# at random, then checks: the player alive, memory, descriptors and threads
# back at their warm-up levels, every record file a piece of one station's
# bytes, nothing written outside the record folder. bench/soak_player.py
# does the work; see there.
#
# Usage: bench/soak.sh [changes] [seed] [driver options, e.g. --details]
#   (default 1000 changes, seed 1)
# The player is built in build-bench/ unless TUNELARK_BUILD names a build.
# Exit status: 0 all checks passed, 1 a check failed, 2 the run could not be set up.
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

changes=${1:-1000}
seed=${2:-1}
shift $(($# < 2 ? $# : 2))

require_tools Xvfb xdotool dbus-run-session sox lame oggenc /usr/bin/python3
build_targets tunelark

echo "Machine: $(machine_line)"
echo "Started $(date -u '+%Y-%m-%d %H:%M UTC'), $changes station changes, seed $seed"
status=0
dbus-run-session -- /usr/bin/python3 "$repo/bench/soak_player.py" "$program" \
  --changes "$changes" --seed "$seed" "$@" || status=$?
echo "Ended $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
