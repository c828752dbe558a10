#!/usr/bin/env bash
# CPU time and resident memory of the player against mpv and Goodvibes, all
# playing the same local 128 kbps MP3 station (the real Icecast server's
# /test.mp3) at the same time, over the same window of playback, to one
# private PulseAudio server whose only sink is a null sink.
#
# Table 1, the sound server: the player three times at once, in the three
# states a person leaves it in (playing with its window shown; playing with
# its window minimised; no station chosen, window shown), beside mpv
# (--ao=pulse) and Goodvibes (GTK + GStreamer, its default output). The
# player plays through SDL's pulseaudio driver. A player's figure counts
# only when its own stream on the sink was heard: a second of it, taken
# from the sink's monitor (parec --monitor-stream), is not silence.
#
# Table 2, SDL's dummy output (real-time pacing, no sound), as before: the
# player, mpv (--ao=sdl and --ao=null) and ffplay, on /test.mp3 and on the
# demo station.
#
# Everything runs under a private Xvfb with a window manager (openbox), so
# that a window can be minimised as a person does it. CPU time is the run
# time of every thread (/proc/<pid>/task/*/schedstat, nanoseconds) in table
# 1, user + system clock ticks (/proc/<pid>/stat) in table 2. Memory is
# VmRSS, its private part (RssAnon), and the proportional set size (Pss of
# /proc/<pid>/smaps_rollup: each shared page divided among its mappers).
#
# Usage: bench/cpu_vs_players.sh [seconds]     (default 60; the player is
# built in build-bench/ unless TUNELARK_BUILD names a build folder)
set -euo pipefail
source "$(dirname "$0")/common.sh"
trap bench_cleanup EXIT

seconds=${1:-60}
warmup=5  # connected, buffers filled: only steady playback is measured
xvfb_screen=1600x1000x24  # room for every window side by side, none covered

require_tools mpv ffplay goodvibes pulseaudio pactl parec dbus-daemon openbox Xvfb xdotool curl

# A private PulseAudio server with one null sink; sets PULSE_SERVER for
# everything started after it.
start_pulse() {
  local dir=$work/pulse i
  mkdir -p "$dir/run"
  chmod 700 "$dir/run"
  env HOME="$dir" XDG_RUNTIME_DIR="$dir/run" pulseaudio --daemonize=no -n --exit-idle-time=-1 \
    --load="module-native-protocol-unix auth-anonymous=1" \
    --load="module-null-sink sink_name=speakers sink_properties=device.description=Speakers" \
    >"$work/pulse.log" 2>&1 </dev/null &
  started_pids+=($!)
  export PULSE_SERVER="unix:$dir/run/pulse/native"
  for i in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  say "PulseAudio did not start"; return 1
}

# A session bus for Goodvibes (it is a D-Bus service), and a window manager.
start_desktop() {
  local i
  dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 </dev/null &
  started_pids+=($!)
  for i in $(seq 1 100); do [ -s "$work/bus" ] && break; sleep 0.1; done
  bus_address=$(head -n 1 "$work/bus")
  HOME="$work" openbox --sm-disable >"$work/openbox.log" 2>&1 </dev/null &
  started_pids+=($!)
  sleep 1
}

alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }

# Run time per class of the player's threads, one "tid class ns" a line
# (classes as thread_ticks in common.sh).
thread_ns() {
  local task comm class
  for task in "/proc/$1/task/"*; do
    comm=$(cat "$task/comm" 2>/dev/null) || continue
    case "${task##*/}:$comm" in
      "$1:"* | *:Q* | *":Thread (pooled)") class=window ;;
      *) class=engine ;;
    esac
    echo "${task##*/} $class $(cut -d' ' -f1 "$task/schedstat" 2>/dev/null || echo 0)"
  done
}

# Run time between two listings, thread by thread: a thread that ended
# meanwhile (Qt's pooled threads end when idle) takes its time with it, and
# would otherwise make the difference of two sums negative. For a player
# other than ours only the sum of the two classes means anything.
split_ns() {  # split_ns BEFORE AFTER -> "window engine"
  awk 'NR == FNR { before[$1] = $3; next }
       { used[$2] += $3 - before[$1] }
       END { printf "%d %d\n", used["window"], used["engine"] }' "$1" "$2"
}

# The peak of a second of the process's own stream on the sink, 0..32767;
# empty when it has no stream there.
heard_peak() {  # heard_peak PID
  local input
  input=$(pactl list sink-inputs | awk -v pid="$1" '
    /^Sink Input #/ { index_ = substr($3, 2) }
    /application.process.id = / { gsub(/"/, "", $3); if ($3 == pid) print index_ }' | head -n 1)
  [ -n "$input" ] || return 0
  timeout 2 parec --monitor-stream="$input" --raw --format=s16le --channels=1 --rate=8000 \
    >"$work/heard-$1.raw" 2>/dev/null || true
  python3 -c 'import array, sys
a = array.array("h", open(sys.argv[1], "rb").read()[2000:])  # past the first 1/8 s
print(max(map(abs, a)) if a else 0)' "$work/heard-$1.raw"
}

percent() { awk -v ns="$1" -v w="$seconds" 'BEGIN { printf "%.3f", 100 * ns / 1e9 / w }'; }

pulse_round() {  # pulse_round URL
  local url=$1 names=() states=() pids=() ran=() window=() engine=() rss=() own=() pss=() i x=0 geometry
  export PULSE_SERVER
  open_player shown "$url" SDL_AUDIODRIVER=pulseaudio PULSE_SERVER="$PULSE_SERVER"
  geometry=$(xdotool getwindowgeometry --shell "$player_window")
  xdotool windowmove --sync "$player_window" 0 0 >/dev/null
  select_station "$player_window"
  names+=(tunelark) states+=("playing, window shown") pids+=("$player_pid")
  open_player minimised "$url" SDL_AUDIODRIVER=pulseaudio PULSE_SERVER="$PULSE_SERVER"
  select_station "$player_window"
  sleep 1
  xdotool windowminimize --sync "$player_window"
  names+=(tunelark) states+=("playing, window minimised") pids+=("$player_pid")
  open_player idle "$url" SDL_AUDIODRIVER=pulseaudio PULSE_SERVER="$PULSE_SERVER"
  xdotool windowmove --sync "$player_window" "$(( $(sed -n 's/^WIDTH=//p' <<<"$geometry") + 40 ))" 0 >/dev/null
  names+=(tunelark) states+=("no station, window shown") pids+=("$player_pid")
  env -u DISPLAY mpv --no-config --no-terminal --no-video --ao=pulse "$url" >"$work/mpv-pulse.log" 2>&1 </dev/null &
  started_pids+=($!)
  names+=("mpv (--ao=pulse)") states+=(playing) pids+=($!)
  env HOME="$work/goodvibes" GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS="$bus_address" \
    goodvibes "$url" >"$work/goodvibes.log" 2>&1 </dev/null &
  started_pids+=($!)
  names+=("Goodvibes (GStreamer)") states+=("playing, window shown") pids+=($!)
  # Goodvibes's window below the player's two shown ones.
  if x=$(timeout 20 xdotool search --sync --onlyvisible --pid "${pids[4]}"); then
    xdotool windowmove "${x%%$'\n'*}" 0 "$(( $(sed -n 's/^HEIGHT=//p' <<<"$geometry") + 80 ))" >/dev/null 2>&1 || true
  fi
  sleep "$warmup"
  for i in "${!pids[@]}"; do thread_ns "${pids[i]}" >"$work/run-$i.before"; done
  sleep "$seconds"
  for i in "${!pids[@]}"; do
    alive "${pids[i]}" || { say "${names[i]} (${states[i]}) stopped early"; exit 1; }
    thread_ns "${pids[i]}" >"$work/run-$i.after"
    read -r "window[i]" "engine[i]" < <(split_ns "$work/run-$i.before" "$work/run-$i.after")
    ran[i]=$((window[i] + engine[i]))
    rss[i]=$(rss_kib "${pids[i]}")
    own[i]=$(awk '/^RssAnon:/ { print $2 }' "/proc/${pids[i]}/status")
    pss[i]=$(awk '/^Pss:/ { print $2 }' "/proc/${pids[i]}/smaps_rollup")
  done
  echo "Load average after the window: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "| player | state | CPU time | of one core | × Goodvibes | resident memory (of it private) | proportional | heard at the sink (peak) |"
  echo "|---|---|---|---|---|---|---|---|"
  local goodvibes_ns=${ran[4]} peak used heard
  local -A share
  for i in "${!pids[@]}"; do
    used=${ran[i]}
    peak=$(heard_peak "${pids[i]}")
    if [ "${states[i]}" = "no station, window shown" ]; then
      heard="nothing to hear (${peak:-no stream})"
    elif [ -n "$peak" ] && [ "$peak" -gt 100 ]; then
      heard="yes ($peak)"
    else
      heard="**NO: the figure does not count** (${peak:-no stream})"
    fi
    share[$i]=$(percent "$used")
    awk -v n="${names[i]}" -v s="${states[i]}" -v u="$used" -v g="$goodvibes_ns" -v p="${share[$i]}" \
      -v r="${rss[i]}" -v o="${own[i]}" -v q="${pss[i]}" -v h="$heard" \
      'BEGIN { printf "| %s | %s | %.3f s | %s %% | %.2f | %.1f MiB (%.1f) | %.1f MiB | %s |\n", n, s, u / 1e9, p, u / g, r / 1024, o / 1024, q / 1024, h }'
    if [ "$i" -le 2 ]; then  # the player's own three
      echo "| ... its window (Qt's threads) | | $(awk -v u="${window[i]}" 'BEGIN { printf "%.3f s", u / 1e9 }') | $(percent "${window[i]}") % | | | | |"
      echo "| ... its engine (output, network, decoding) | | $(awk -v u="${engine[i]}" 'BEGIN { printf "%.3f s", u / 1e9 }') | $(percent "${engine[i]}") % | | | | |"
    fi
    [[ "$heard" == \*\*NO* ]] && unheard=1
  done
  echo
  awk -v a="${ran[0]}" -v b="${ran[1]}" -v c="${share[2]}" -v g="$goodvibes_ns" \
    -v r="${rss[0]}" -v m="${ran[3]}" '
    function verdict(ok) { return ok ? "met" : "**not met**" }
    BEGIN {
      printf "- playing, window shown: %.2f × Goodvibes (target at most 1): %s\n", a / g, verdict(a <= g)
      printf "- playing, window minimised: %.2f × Goodvibes (target at most 0.5): %s\n", b / g, verdict(b <= g / 2)
      printf "- no station, window shown: %s %% of a core (target at most 0.05 %%): %s\n", c, verdict(c <= 0.05)
      printf "- resident memory while playing: %.1f MiB (target at most 40 MiB): %s\n", r / 1024, verdict(r <= 40 * 1024)
      printf "- mpv: %.2f × Goodvibes\n", m / g
    }'
  for i in "${!pids[@]}"; do kill -TERM "${pids[i]}" 2>/dev/null || true; done
  for i in "${!pids[@]}"; do wait "${pids[i]}" 2>/dev/null || true; done
}

# Table 2: SDL's dummy output, as the earlier runs measured.
dummy_names=() dummy_pids=() dummy_outputs=()
rounds=0

launch() {  # launch NAME OUTPUT COMMAND...
  local name=$1 output=$2
  shift 2
  "$@" >"$work/$name.log" 2>&1 </dev/null &
  started_pids+=($!)
  dummy_names+=("$name") dummy_outputs+=("$output") dummy_pids+=($!)
}

stop_all() {
  local pid i left
  for pid in "${dummy_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for i in $(seq 1 30); do
    left=0
    for pid in "${dummy_pids[@]}"; do alive "$pid" && left=1; done
    [ "$left" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${dummy_pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done  # measured already
  for pid in "${dummy_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  dummy_names=() dummy_pids=() dummy_outputs=()
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

dummy_round() {  # dummy_round STREAM URL
  local stream=$1 url=$2 i start=() end=() split
  rounds=$((rounds + 1))
  start_player "player-$rounds" "$url" SDL_AUDIODRIVER=dummy
  dummy_names+=(tunelark) dummy_outputs+=("SDL dummy") dummy_pids+=("$player_pid")
  # mpv and ffplay show no window: they run without the X server, as
  # headless players do.
  launch "mpv-sdl" "SDL dummy" env -u DISPLAY SDL_AUDIODRIVER=dummy \
    mpv --no-config --no-terminal --no-video --ao=sdl "$url"
  launch "mpv-null" "mpv null (--ao=null)" env -u DISPLAY \
    mpv --no-config --no-terminal --no-video --ao=null "$url"
  launch "ffplay" "SDL dummy" env -u DISPLAY SDL_AUDIODRIVER=dummy \
    ffplay -nodisp -autoexit -loglevel error "$url"
  dummy_names+=("Xvfb (draws the player's window)") dummy_outputs+=("-") dummy_pids+=("$xvfb_pid")
  sleep "$warmup"
  thread_ticks "$player_pid" >"$work/threads.before"
  for i in "${!dummy_pids[@]}"; do start[i]=$(cpu_ticks "${dummy_pids[i]}"); done
  sleep "$seconds"
  thread_ticks "$player_pid" >"$work/threads.after"
  for i in "${!dummy_pids[@]}"; do
    alive "${dummy_pids[i]}" || { say "${dummy_names[i]} stopped early"; exit 1; }
    end[i]=$(cpu_ticks "${dummy_pids[i]}")
  done
  for i in "${!dummy_pids[@]}"; do
    [ "${dummy_pids[i]}" = "$xvfb_pid" ] || listening "${dummy_pids[i]}" "$url" ||
      { say "${dummy_names[i]} is not connected to $url"; exit 1; }
  done
  for i in "${!dummy_pids[@]}"; do
    row "$stream" "${dummy_names[i]}" "${dummy_outputs[i]}" $((end[i] - start[i]))
    if [ "$i" -eq 0 ]; then
      read -r -a split < <(split_ticks "$work/threads.before" "$work/threads.after")
      row "$stream" "... of which its window (Qt threads)" "" "${split[0]}"
      row "$stream" "... of which its engine (output, network, decoding)" "" "${split[1]}"
    fi
  done
  # Xvfb is shared by the rounds; it is not the round's to stop.
  unset 'dummy_pids[${#dummy_pids[@]}-1]'
  stop_all
}

build_targets tunelark
start_icecast
start_demo
start_xvfb
start_pulse
start_desktop

unheard=0
echo "Machine: $(machine_line)"
echo
echo "Table 1: every player to one private PulseAudio null sink, /test.mp3 (Icecast, 128 kbps MP3),"
echo "all at once, run time of every thread over ${seconds} s after ${warmup} s of warm-up:"
echo
pulse_round "$mp3_url"
echo
echo "Table 2: SDL's dummy output, each player's CPU time (user + system) over ${seconds} s:"
echo
echo "| stream | player | output | CPU time | of one core |"
echo "|---|---|---|---|---|"
dummy_round "Icecast /test.mp3" "$mp3_url"
dummy_round "demo station" "$demo_url"
echo
echo "Machine at the end: $(machine_line)"
[ "$unheard" -eq 0 ] || { say "a player was not heard at the sink: its figure does not count"; exit 1; }
