#!/usr/bin/env bash
# Stops the Icecast server and sources that start.sh started in the given
# folder (default: the last one started without a folder), then removes the
# folder unless TUNELARK_KEEP_ICECAST_DIR is set. Safe to run twice.
set -uo pipefail

last="${TMPDIR:-/tmp}/tunelark-icecast-$(id -u).last"
dir=${1:-$(cat "$last" 2>/dev/null || true)}
[ -n "$dir" ] && [ -f "$dir/pids" ] || exit 0

alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }

# A pid is ours only while its command line names this folder (pids get reused).
ours() { alive "$1" && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -qF "$dir/"; }

pids=() left=()
while read -r _ pid; do
  ours "$pid" && pids+=("$pid")
done < <(tac "$dir/pids")  # the sources first, so Icecast sees them leave

for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
for _ in $(seq 1 50); do
  left=()
  for pid in "${pids[@]}"; do alive "$pid" && left+=("$pid"); done
  [ "${#left[@]}" -eq 0 ] && break
  sleep 0.1
done
for pid in "${left[@]}"; do kill -KILL "$pid" 2>/dev/null; done

if [ "$(cat "$last" 2>/dev/null)" = "$dir" ]; then rm -f "$last"; fi
[ -n "${TUNELARK_KEEP_ICECAST_DIR:-}" ] || rm -rf "$dir"
exit 0
