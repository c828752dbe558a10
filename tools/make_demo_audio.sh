#!/usr/bin/env bash
# Makes the demo station's songs: short melodies synthesised with sox and
# encoded by lame as 128 kbps 44.1 kHz stereo MP3 without tags, plus
# songs.txt ("file<TAB>Artist - Song" per line, UTF-8) in play order.
# All artists and songs are invented.
#
# Usage: tools/make_demo_audio.sh [output folder]   (default: tools/demo_audio)
set -euo pipefail

out=${1:-"$(cd "$(dirname "$0")" && pwd)/demo_audio"}
for tool in sox lame; do
  command -v "$tool" >/dev/null || { echo "make_demo_audio: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rate=44100

# note WAVE NAME SECONDS FILE: one soft note (or a rest when NAME is "-").
# Plucks decay by themselves; sines get a quick rise and a long fall so they
# ring like bells instead of beeping.
note() {
  local wave=$1 name=$2 secs=$3 file=$4
  if [ "$name" = "-" ]; then
    sox -q -n -r $rate -c 1 "$file" trim 0 "$secs"
  elif [ "$wave" = pluck ]; then
    sox -q -n -r $rate -c 1 "$file" synth "$secs" pluck "$name" fade q 0.005 "$secs" 0.05
  else
    sox -q -n -r $rate -c 1 "$file" synth "$secs" "$wave" "$name" \
      fade q 0.02 "$secs" "$(awk -v s="$secs" 'BEGIN { print s * 0.8 }')"
  fi
}

# melody WAVE BEAT_SECONDS FILE NOTES...: notes written NAME:BEATS.
melody() {
  local wave=$1 beat=$2 file=$3
  shift 3
  local parts=() i=0 n secs
  for n in "$@"; do
    secs=$(awk -v b="$beat" -v k="${n#*:}" 'BEGIN { print b * k }')
    note "$wave" "${n%%:*}" "$secs" "$work/n$i.wav"
    parts+=("$work/n$i.wav")
    i=$((i + 1))
  done
  sox -q "${parts[@]}" "$file"
  rm -f "${parts[@]}"
}

# song FILE "TITLE" WAVE BEAT PAD_NOTES NOTES...: the melody over a quiet
# sustained chord (PAD_NOTES, space-separated), top harmonics softened, with
# a little room reverb, spread to stereo, normalised below full scale and
# faded in and out.
song() {
  local file=$1 title=$2 wave=$3 beat=$4 pad=$5
  shift 5
  melody "$wave" "$beat" "$work/melody.wav" "$@"
  local length
  length=$(soxi -D "$work/melody.wav")
  local synth=() p combine=create
  for p in $pad; do synth+=(synth "$length" sine $combine "$p"); combine=mix; done
  sox -q -n -r $rate -c 1 "$work/pad.wav" "${synth[@]}" gain -n -20 fade h 1 "$length" 1.5
  sox -q -m -v 1 "$work/melody.wav" -v 1 "$work/pad.wav" -c 2 "$work/song.wav" \
    lowpass 6000 gain -6 reverb 35 50 60 gain -n -3 fade q 0.05 "$length" 0.6
  lame --quiet -t -b 128 --cbr -m j -q 2 "$work/song.wav" "$out/$file"
  printf '%s\t%s\n' "$file" "$title" >>"$work/songs.txt"
}

: >"$work/songs.txt"

song 01-severny-veter.mp3 "Северный Ветер - Песня о море" pluck 0.3 "A2 E3" \
  A4:2 C5:1 E5:2 D5:1 C5:2 B4:1 A4:3 \
  E4:2 A4:1 C5:2 B4:1 G4:3 -:1 E4:2 \
  F4:2 A4:1 C5:2 D5:1 E5:3 D5:1 C5:2 \
  B4:1 A4:2 G#4:1 A4:5 -:1

song 02-velvet-ferry.mp3 "Velvet Ferry - Harbor Lights" pluck 0.22 "C3 G3" \
  C5:1 E5:1 G5:1 C6:1 G5:1 E5:1 C5:2 \
  A4:1 C5:1 E5:1 A5:1 E5:1 C5:1 A4:2 \
  F4:1 A4:1 C5:1 F5:1 C5:1 A4:1 F4:2 \
  G4:1 B4:1 D5:1 G5:1 F5:1 D5:1 B4:2 \
  C5:1 E5:1 G5:1 C6:3 -:2

song 03-okra-pines.mp3 "Okra Pines - Morning Steps" sine 0.28 "G2 D3" \
  G4:1 A4:1 B4:2 D5:1 B4:1 A4:2 \
  G4:1 E4:1 D4:2 E4:1 G4:1 A4:2 \
  B4:1 D5:1 E5:2 D5:1 B4:1 A4:2 \
  G4:1 A4:1 B4:1 A4:1 G4:4 -:2

song 04-mirel-sato.mp3 "Mirel Sato - Tide's Turn" triangle 0.45 "D3 A3" \
  D4:2 F4:1 A4:2 G4:1 F4:2 E4:1 D4:3 \
  C4:2 E4:1 G4:2 F4:1 E4:3 \
  D4:1 E4:1 F4:1 G4:1 A4:2 B4:1 A4:3 -:1

song 05-lark-and-tune.mp3 "Lark & Tune - Five Bells" sine 0.32 "F2 C3" \
  A5:1 G5:1 F5:1 C5:1 F5:2 -:1 \
  A5:1 G5:1 F5:1 C5:1 F5:2 -:1 \
  C6:1 A5:1 G5:1 F5:1 G5:2 A5:1 F5:3 -:2

mv "$work/songs.txt" "$out/songs.txt"
