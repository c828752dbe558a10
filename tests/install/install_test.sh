#!/usr/bin/env bash
# Installs the build into a temporary prefix (DESTDIR), checks what is there,
# validates the desktop entry and the AppStream data, and starts the installed
# launcher as a new user would: a fresh home, the prefix not writable.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
stage=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  chmod -R u+w "$stage"; rm -rf "$stage"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$stage/log/xvfb.log" 2>/dev/null >&2; exit 1; }
chmod 755 "$stage"
prefix=$stage/root/usr/local
DESTDIR=$stage/root cmake --install "$build" --prefix /usr/local >/dev/null

for f in bin/tunelark lib/tunelark/tunelark share/applications/tunelark.desktop \
    share/metainfo/tunelark.metainfo.xml share/man/man1/tunelark.1.gz share/tunelark/stations1.txt \
    share/doc/tunelark/copyright share/icons/hicolor/{48x48,128x128,256x256}/apps/tunelark.png; do
  [ -s "$prefix/$f" ] || fail "missing $f"
done
for size in 48 128 256; do
  file "$prefix/share/icons/hicolor/${size}x$size/apps/tunelark.png" | grep -q "$size x $size, 8-bit/color RGBA" \
    || fail "icon $size is not a ${size}x$size RGBA PNG"
done
[ -x "$prefix/bin/tunelark" ] || fail "launcher not executable"
! grep -q "127\.0\.0\.1\|localhost" "$prefix/share/tunelark/stations1.txt" || fail "a local station is shipped"
[ "$(grep -cv '127\.0\.0\.1' "$src/stations1.txt")" = "$(wc -l < "$prefix/share/tunelark/stations1.txt")" ] \
  || fail "public stations missing from the shipped list"
desktop-file-validate "$prefix/share/applications/tunelark.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/tunelark.metainfo.xml"

# Each start gets a display number of its own from a random base, so that
# test runs beside each other rarely race for one (xvfb-run -a does not lock);
# no reset when the AT-SPI bus, its first client, lets go of the display.
# The user: as root, nobody (root may write anywhere, a person may not).
home=$stage/home music=$stage/home/Music/Tunelark
mkdir -p "$home" "$stage/run" "$stage/log"
chmod 700 "$stage/run"
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown -R nobody:nogroup "$home" "$stage/run" "$stage/log"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod -R a-w "$stage/root"
snapshot() { (cd "$stage/root" && find . -printf '%p %s %m %T@\n' | sort); }
before=$(snapshot)
run_player() {
  "${as_user[@]}" env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY HOME="$home" \
    XDG_RUNTIME_DIR="$stage/run" TMPDIR="$stage/log" SDL_AUDIODRIVER=dummy \
    xvfb-run -a -n $((100 + RANDOM % 800)) -e "$stage/log/xvfb.log" -s "-noreset -screen 0 1024x768x24" \
    dbus-run-session -- python3 "$src/tests/install/window.py" "$prefix/bin/tunelark" "$@" \
    | sed -n 's/^entry://p'
}

# First start: the shipped list is copied and shown.
shown=$(run_player stations) || fail "first start"
list=$home/.local/share/tunelark/stations1.txt
cmp -s "$list" "$prefix/share/tunelark/stations1.txt" || fail "the user's list is not the shipped one"
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
[ -n "$port" ] || fail "the test station did not start"
edited=$(printf 'My station, http://127.0.0.1:%s/s.mp3\n' "$port"; cat "$list")
printf '%s\n' "$edited" > "$list"
shown=$(run_player record "$music") || fail "recording: $shown"
[ "$(head -n1 <<< "$shown")" = "  My station" ] || fail "the user's own list was not used: $shown"
[ "$(cat "$list")" = "$edited" ] || fail "the user's list was overwritten"
ls "$music" | grep -q "^[0-9][0-9]-Installed Band.mp3$" || fail "no named recording in $music: $(ls "$music")"

[ "$(snapshot)" = "$before" ] || fail "the install prefix changed: $(diff <(echo "$before") <(snapshot))"
echo "install test passed"
