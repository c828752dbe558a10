#!/usr/bin/env bash
# The time from a station change to the first audio sample out, on loopback,
# against the demo station and the real Icecast server's MP3 mount, measured
# two ways:
#   1. the engine alone (first_sample_bench): from BASS_StreamCreateURL to the
#      output's level meter showing sound, polled every 1 ms, SDL dummy output;
#   2. the whole player (first_sample_player.py) under a private Xvfb: from the
#      Down key that selects the station to the first non-silent buffer the
#      player writes through SDL's disk driver into a pipe;
# and, for comparison, the servers alone (server_answer.py): the time a bare
# socket waits for a new listener's answer and first audio byte.
#
# Usage: bench/first_sample.sh [runs]   (default 20 for the engine, half as
# many for the whole player, which starts a player per run; built in
# build-bench/ unless TUNELARK_BUILD names a build folder)
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

runs=${1:-20}

require_tools Xvfb xdotool curl

build_targets tunelark first_sample_bench
start_demo
start_icecast

echo "Machine: $(machine_line)"
echo
echo "Engine: from BASS_StreamCreateURL to the first sample out (level meter non-zero)"
SDL_AUDIODRIVER=dummy "$build/bench/first_sample_bench" --runs "$runs" "$demo_url" "$mp3_url"
echo
start_xvfb
echo "Whole player: from the Down key to the first non-silent output buffer (SDL disk driver)"
python3 "$repo/bench/first_sample_player.py" --runs $(((runs + 1) / 2)) "$program" "$demo_url" "$mp3_url"
echo
echo "The servers alone: a bare socket's wait, median / max"
python3 "$repo/bench/server_answer.py" --runs "$runs" "$demo_url" "$mp3_url"
