#!/usr/bin/env bash
# Starts a real Icecast server on 127.0.0.1 (a free port) with two ezstream
# sources that loop the songs of songs.txt as sine tones:
#   /test.mp3  MP3 128 kbps 44.1 kHz stereo, titles "artist - title" as ICY metadata
#   /test.ogg  Ogg Vorbis 44.1 kHz stereo, each song a new chained stream with
#              ARTIST and TITLE comments
# and returns once both mounts are live. Prints on stdout:
#   ICECAST_PORT=<port>
#   ICECAST_DIR=<folder>   (configs, logs, pids, the fixture files in media/)
# Everything else goes to stderr. Stop it with stop.sh [folder]; without a
# folder, stop.sh stops the last server started without one.
#
# Usage: start.sh [--owner PID] [folder]
#   --owner PID  also stop the server by itself once process PID has ended
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
password=tunelark-source
owner=""
if [ "${1:-}" = "--owner" ]; then owner=$2; shift 2; fi

say() { echo "icecast harness: $*" >&2; }

for tool in icecast2 ezstream sox lame oggenc curl python3; do
  command -v "$tool" >/dev/null || { say "$tool is not installed"; exit 2; }
done

if [ -n "${1:-}" ]; then
  dir=$1
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
else
  dir=$(mktemp -d "${TMPDIR:-/tmp}/tunelark-icecast.XXXXXX")
  echo "$dir" >"${TMPDIR:-/tmp}/tunelark-icecast-$(id -u).last"
fi
: >"$dir/pids"

# ---- fixtures: one steady sine tone per song, tagged ----

make_fixtures() {
  local media=$dir/media n=0 freq secs artist title name
  mkdir -p "$media"
  : >"$dir/mp3.m3u"
  : >"$dir/ogg.m3u"
  while IFS=$'\t' read -r freq secs artist title; do
    case $freq in '#'* | '') continue ;; esac
    n=$((n + 1))
    name=$(printf '%02d-%s' "$n" "$freq")
    sox -q -n -r 44100 -c 2 -b 16 "$media/$name.wav" synth "$secs" sine "$freq" vol 0.5 fade q 0.01 "$secs" 0.01
    # -t: no Xing/Info frame, which would be a stray frame in the middle of the stream.
    LC_ALL=C.UTF-8 lame --quiet -t -b 128 --cbr -m j --id3v2-only --id3v2-utf16 \
      --ta "$artist" --tt "$title" "$media/$name.wav" "$media/$name.mp3"
    oggenc -Q --utf8 -q 4 -s $((1000 + n)) -a "$artist" -t "$title" -o "$media/$name.ogg" "$media/$name.wav"
    rm -f "$media/$name.wav"
    echo "$media/$name.mp3" >>"$dir/mp3.m3u"
    echo "$media/$name.ogg" >>"$dir/ogg.m3u"
  done <"$here/songs.txt"
}

# ---- configuration ----

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

security_block() {
  if [ "$(id -u)" -eq 0 ]; then
    echo '<security><chroot>0</chroot><changeowner><user>nobody</user><group>nogroup</group></changeowner></security>'
  else
    echo '<security><chroot>0</chroot></security>'
  fi
}

fill() {  # fill TEMPLATE OUTPUT
  sed -e "s|@PORT@|$port|g" -e "s|@DIR@|$dir|g" -e "s|@PASSWORD@|$password|g" \
    -e "s|@SECURITY@|$(security_block)|" "$here/$1" >"$dir/$2"
  chmod 600 "$dir/$2"
}

prepare_folders() {
  mkdir -p "$dir/log"
  ln -sfn /usr/share/icecast2/web "$dir/web"
  ln -sfn /usr/share/icecast2/admin "$dir/admin"
  if [ "$(id -u)" -eq 0 ]; then
    # Icecast writes its logs after it has become nobody.
    chmod 755 "$dir"
    chown nobody:nogroup "$dir/log"
  fi
}

# ---- processes ----

remember() { echo "$1 $2" >>"$dir/pids"; }

alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }

http_ok() { curl -s -o /dev/null --max-time 2 -w '%{http_code}' "http://127.0.0.1:$port$1" | grep -q '^200$'; }

# Starts Icecast on a fresh port; a port taken meanwhile by someone else
# makes it exit, and the next attempt takes another port.
start_icecast() {
  local attempt i pid
  for attempt in 1 2 3 4 5; do
    port=$(free_port)
    fill icecast.xml.in icecast.xml
    icecast2 -c "$dir/icecast.xml" >"$dir/icecast.out" 2>&1 </dev/null &
    pid=$!
    for i in $(seq 1 100); do
      alive "$pid" || break
      if http_ok /status-json.xsl; then
        remember icecast "$pid"
        return 0
      fi
      sleep 0.1
    done
    alive "$pid" && kill "$pid" 2>/dev/null
    say "icecast2 did not start on port $port (attempt $attempt)"
  done
  return 1
}

start_source() {  # start_source mp3|ogg
  fill "ezstream-$1.xml.in" "ezstream-$1.xml"
  ezstream -c "$dir/ezstream-$1.xml" >"$dir/ezstream-$1.out" 2>&1 </dev/null &
  remember "ezstream-$1" $!
}

mounts_live() {
  local status
  status=$(curl -s --max-time 2 "http://127.0.0.1:$port/status-json.xsl") || return 1
  grep -q "\"listenurl\":\"http://127.0.0.1:$port/test.mp3\"" <<<"$status" &&
    grep -q "\"listenurl\":\"http://127.0.0.1:$port/test.ogg\"" <<<"$status"
}

wait_for_mounts() {
  local i
  for i in $(seq 1 300); do
    mounts_live && return 0
    while read -r name pid; do
      alive "$pid" || { say "$name ended early"; return 1; }
    done <"$dir/pids"
    sleep 0.1
  done
  say "the mounts did not come up within 30 s"
  return 1
}

fail() {
  say "failed; logs follow"
  tail -n 20 "$dir"/*.out "$dir"/log/error.log >&2 2>/dev/null || true
  TUNELARK_KEEP_ICECAST_DIR=1 bash "$here/stop.sh" "$dir" >&2 || true
  say "kept $dir for inspection"
  exit 1
}

watch_owner() {
  nohup bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done; exec bash "$2" "$3"' \
    watcher "$owner" "$here/stop.sh" "$dir" >/dev/null 2>&1 </dev/null &
}

make_fixtures || fail
prepare_folders
start_icecast || fail
start_source mp3
start_source ogg
wait_for_mounts || fail
[ -z "$owner" ] || watch_owner
printf 'ICECAST_PORT=%s\nICECAST_DIR=%s\n' "$port" "$dir" | tee "$dir/env"
