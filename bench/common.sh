# Shared by the whole-player benchmark scripts (sourced, not run): the build,
# the local stations, a private X server, the player in a folder of its own,
# and CPU and memory readings from /proc. Everything started here is stopped
# by bench_cleanup, which the scripts run on exit.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TUNELARK_BUILD:-$repo/build-bench}
work=$(mktemp -d "${TMPDIR:-/tmp}/tunelark-bench.XXXXXX")
chmod 755 "$work"  # Icecast, run as root, becomes nobody and writes its logs inside
started_pids=()
icecast_dir=""

say() { echo "bench: $*" >&2; }

# Ends the script (exit 2) unless every named program is installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { say "$tool is not installed"; exit 2; }
  done
}

bench_cleanup() {
  local status=$? pid
  set +e  # stop everything, whatever fails
  for pid in "${started_pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${started_pids[@]}"; do wait "$pid" 2>/dev/null; done
  [ -z "$icecast_dir" ] || bash "$repo/tests/support/icecast/stop.sh" "$icecast_dir"
  rm -rf "$work"
  exit "$status"
}

# Builds the given targets (Release, benchmarks on) in build-bench/. A build
# folder named by TUNELARK_BUILD is used as it is, so scripts run side by side
# do not build in the same folder at once. Sets program to the player.
build_targets() {
  local target
  program=$build/tunelark
  if [ -n "${TUNELARK_BUILD:-}" ]; then
    for target in "$@"; do
      [ -x "$build/$target" ] || [ -x "$build/bench/$target" ] ||
        { say "$build holds no $target (configure with -DTUNELARK_BENCH=ON)"; return 1; }
    done
    return 0
  fi
  say "building $* in $build"
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTUNELARK_BENCH=ON >/dev/null || return 1
  for target in "$@"; do
    cmake --build "$build" -j2 --target "$target" >/dev/null || { say "$target did not build"; return 1; }
  done
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Sets mp3_url to the real Icecast server's 128 kbps MP3 mount. Icecast
# sometimes dies as it starts; the harness then cleans up and we try again.
start_icecast() {
  local out attempt
  for attempt in 1 2 3; do
    if out=$(bash "$repo/tests/support/icecast/start.sh" --owner $$ "$work/icecast-$attempt"); then
      icecast_dir=$work/icecast-$attempt
      mp3_url="http://127.0.0.1:$(sed -n 's/^ICECAST_PORT=//p' <<<"$out")/test.mp3"
      return 0
    fi
  done
  return 1
}

# Sets demo_url to the demo station, on a free port.
start_demo() {
  local port i
  port=$(free_port)
  python3 "$repo/tools/demo_station.py" --port "$port" >"$work/demo.log" 2>&1 </dev/null &
  started_pids+=($!)
  demo_url="http://127.0.0.1:$port/demo.mp3"
  for i in $(seq 1 100); do
    # A stream never ends: a second of it, cut short, proves it is up.
    [ "$(curl -s -o /dev/null --max-time 1 -w '%{size_download}' "$demo_url")" -gt 0 ] && return 0
    sleep 0.1
  done
  say "the demo station did not start"; return 1
}

# Sets DISPLAY to a private Xvfb.
start_xvfb() {
  local i
  Xvfb -displayfd 9 -screen 0 "${xvfb_screen:-1024x768x24}" -nolisten tcp 9>"$work/display" >/dev/null 2>&1 </dev/null &
  started_pids+=($!)
  xvfb_pid=$!
  for i in $(seq 1 100); do
    if [ -s "$work/display" ]; then export DISPLAY=":$(head -n 1 "$work/display")"; return 0; fi
    sleep 0.1
  done
  say "Xvfb did not start"; return 1
}

# start_player NAME URL [VAR=VALUE...]: starts the player in a folder of its
# own whose station list holds URL only, waits for its window and selects the
# station with the Down key. Sets player_pid and player_window.
start_player() {
  open_player "$@" || return 1
  select_station "$player_window"
}

# open_player NAME URL [VAR=VALUE...]: start_player without the key press.
open_player() {
  local name=$1 url=$2 dir=$work/$1
  shift 2
  mkdir -p "$dir/run"
  chmod 700 "$dir/run"
  printf 'Bench station, %s\n' "$url" >"$dir/stations1.txt"
  # A private runtime folder: its own single-instance lock, whatever else runs.
  (cd "$dir" && exec env XDG_RUNTIME_DIR="$dir/run" "$@" "$program" >"$dir/out.log" 2>&1 </dev/null) &
  player_pid=$!
  started_pids+=("$player_pid")
  if ! player_window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$player_pid"); then
    say "the player's window did not appear"; return 1
  fi
  player_window=${player_window%%$'\n'*}
  sleep 1  # the list takes the focus once the window is shown
}

# Brings the window to the front (through the window manager when one runs)
# and clicks the first row of its station list, as a person would. (Down
# moves the list's focus to the first row but, here, does not select it.)
select_station() {  # select_station WINDOW
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
  xdotool mousemove --window "$1" 40 17 click 1
}

# Whether the process holds an open connection to the stream's port.
listening() {  # listening PID URL
  local port=${2##*:}
  port=${port%%/*}
  ss -Htnp state established "( dport = :$port )" | grep -q "pid=$1,"
}

# CPU time (user + system, all threads) of a process, in clock ticks.
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }  # after the command name, which may hold spaces
  awk '{ print $12 + $13 }' <<<"$stat"
}

# The player's threads with their CPU ticks, one "tid class ticks" a line:
# class "window" for Qt's threads (the main thread draws the window), "engine"
# for the others (SDL's output thread, the stream's network and decoding).
thread_ticks() {
  local task stat comm class
  for task in "/proc/$1/task/"*; do
    stat=$(cat "$task/stat" 2>/dev/null) || continue
    comm=${stat#*\(}
    comm=${comm%\)*}
    case "${task##*/}:$comm" in
      "$1:"* | *:Q* | *":Thread (pooled)") class=window ;;
      *) class=engine ;;
    esac
    stat=${stat##*) }
    echo "${task##*/} $class $(awk '{ print $12 + $13 }' <<<"$stat")"
  done
}

ticks_per_second() { getconf CLK_TCK; }

# Resident memory of a process, in KiB.
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }

machine_line() {
  echo "$(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), load average $(cut -d' ' -f1-3 /proc/loadavg)"
}
