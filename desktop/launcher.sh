#!/bin/sh
# Starts Tunelark as installed: the program reads stations1.txt from its
# working folder, so it runs in the user's own data folder, which gets a copy
# of the shipped list of public stations on first start.
set -e
here=$(dirname "$(readlink -f "$0")")
case "${XDG_DATA_HOME:-}" in
  /*) data="$XDG_DATA_HOME/tunelark" ;;
  *) data="$HOME/.local/share/tunelark" ;;  # unset or not absolute
esac
mkdir -p "$data"
# Only where the user has no list (not even a link of their own) yet: their
# edits are never overwritten.
if [ ! -e "$data/stations1.txt" ] && [ ! -L "$data/stations1.txt" ]; then
  cp "$here/../share/tunelark/stations1.txt" "$data/stations1.txt"
fi
cd "$data"
exec "$here/../lib/tunelark/tunelark" "$@"
