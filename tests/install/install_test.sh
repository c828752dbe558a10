#!/usr/bin/env bash
# Installs the build into a temporary prefix (DESTDIR), checks and validates
# what is there, and starts the installed launcher as a new user would: a
# fresh home, a prefix they cannot write. Usage: install_test.sh BUILD SOURCE
set -euo pipefail
build=$1 src=$2
stage=$(mktemp -d) server=
trap '[ -z "$server" ] || kill "$server"; chmod -R u+w "$stage"; rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$stage/log/xvfb.log" >&2 2>/dev/null; exit 1; }
chmod 755 "$stage"
prefix=$stage/root/usr/local share=$stage/root/usr/local/share
DESTDIR=$stage/root cmake --install "$build" --prefix /usr/local >/dev/null

[ -x "$prefix/bin/tunelark" ] && [ -x "$prefix/lib/tunelark/tunelark" ] || fail "program or launcher missing"
# The plug-ins beside the program, and the HLS plug-in's media module it loads.
for module in bassaac.so bassopus.so basshls.so tunelark-hls-media.so; do
  [ -s "$prefix/lib/tunelark/$module" ] || fail "missing $module"
done
for f in applications/tunelark.desktop metainfo/tunelark.metainfo.xml man/man1/tunelark.1.gz doc/tunelark/copyright; do
  [ -s "$share/$f" ] || fail "missing $f"
done
for size in 48 128 256; do
  file "$share/icons/hicolor/${size}x$size/apps/tunelark.png" | grep -q "$size x $size, 8-bit/color RGBA" \
    || fail "no ${size}x$size icon"
done
[ "$(grep -v '127\.0\.0\.1' "$src/stations1.txt")" = "$(cat "$share/tunelark/stations1.txt")" ] \
  || fail "the shipped list is not the public stations"
desktop-file-validate "$share/applications/tunelark.desktop"
appstreamcli validate --no-net "$share/metainfo/tunelark.metainfo.xml"

# As root, the user is nobody: root may write anywhere, a person may not.
home=$stage/home music=$stage/home/Music/Tunelark list=$stage/home/.local/share/tunelark/stations1.txt
mkdir -p "$home" "$stage/run" "$stage/log"
chmod 700 "$stage/run"
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown -R nobody:nogroup "$home" "$stage/run" "$stage/log"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# The user may not read the source folder (CI clones under /root): the helper
# comes along, and LSan's suppressions are not needed (the player ends by
# SIGTERM, so no leak check runs).
cp "$src/tests/install/window.py" "$stage/log/"
chmod -R a-w "$stage/root"
snapshot() { (cd "$stage/root" && find . -printf '%p %s %m %T@\n' | sort); }
before=$(snapshot)
# A display number from a random base, so runs side by side rarely race for
# one; no reset when the AT-SPI bus, the display's first client, lets go.
run_player() {
  "${as_user[@]}" env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY -u LSAN_OPTIONS HOME="$home" \
    XDG_RUNTIME_DIR="$stage/run" TMPDIR="$stage/log" SDL_AUDIODRIVER=dummy \
    xvfb-run -a -n $((100 + RANDOM % 800)) -e "$stage/log/xvfb.log" -s "-noreset -screen 0 1024x768x24" \
    dbus-run-session -- python3 "$stage/log/window.py" "$prefix/bin/tunelark" "$@" | sed -n 's/^entry://p'
}

# First start: the shipped list is copied and shown.
shown=$(run_player stations) || fail "first start"
cmp -s "$list" "$share/tunelark/stations1.txt" || fail "the user's list is not the shipped one"
[ "$shown" = "$(sed 's/,.*//; s/^/  /' "$list")" ] || fail "the window lists: $shown"

# The user's own station is kept, plays, and records into the music folder.
cat > "$stage/routes.json" <<JSON
[{"path": "/s.mp3", "headers": ["Content-Type: audio/mpeg", "icy-metaint: 8000"], "rate": 16000, "loop": true,
  "metaint": 8000, "titles": {"every": 1, "list": ["Installed Band - First Song"]},
  "body": [{"file": "$src/tools/demo_audio/01-severny-veter.mp3"}]}]
JSON
python3 "$src/tests/support/stream_server.py" "$stage/routes.json" > "$stage/server.out" &
server=$!
for _ in $(seq 600); do port=$(head -n1 "$stage/server.out"); [ -n "$port" ] && break; sleep 0.1; done
edited=$(printf 'My station, http://127.0.0.1:%s/s.mp3\n' "$port"; cat "$list")
printf '%s\n' "$edited" > "$list"
shown=$(run_player record "$music") || fail "recording"
[ "$(head -n1 <<< "$shown")" = "  My station" ] && [ "$(cat "$list")" = "$edited" ] || fail "the user's list was replaced"
ls "$music" | grep -q "^[0-9][0-9]-Installed Band.mp3$" || fail "no named recording in $music: $(ls "$music")"
[ "$(snapshot)" = "$before" ] || fail "the install prefix changed: $(diff <(echo "$before") <(snapshot))"
