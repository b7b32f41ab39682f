#!/bin/sh
# The command-line converter on a synthesised drum voice: the two
# conversions of the desktop program, then the whole job for a DMX card
# from a modern editor's file (24-bit, 48 kHz, stereo): prepare the image,
# look at it, and hear what the card will play.
set -eu
quorix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=build/demo
mkdir -p "$dir"
cd "$dir"
# A kick drum: a falling sine with a fast decay, 16-bit mono at 24 kHz.
sox -q -n -r 24000 -b 16 -c 1 kick.wav synth 0.35 sine 150-45 fade q 0.002 0.35 0.3 gain -3
echo "== WAV file to EPROM image (u255-law) =="
"$quorix" wav2dmx --mu-law --autoscale kick.wav kick.bin
echo
echo "== EPROM image to WAV file =="
"$quorix" dmx2wav --rate 24000 kick.bin kick-back.wav
echo
# The same kick as an editor saves it: 24-bit, 48 kHz, stereo.
sox -q -n -r 48000 -b 24 -c 2 kick48.wav synth 0.35 sine 150-45 fade q 0.002 0.35 0.3 gain -3
echo "== A voice for the DMX: quorix prepare =="
"$quorix" prepare kick48.wav dmx-kick.bin
echo
echo "== What is in it: quorix info =="
"$quorix" info --plot dmx-kick.png dmx-kick.bin
echo
echo "== What the card plays, for any player: quorix listen =="
"$quorix" listen --out-rate 48000 dmx-kick.bin dmx-kick.wav
echo
echo "Files in $dir: kick.wav, kick.bin ($(wc -c < kick.bin) bytes), kick-back.wav,"
echo "  kick48.wav, dmx-kick.bin ($(wc -c < dmx-kick.bin) bytes), dmx-kick.png, dmx-kick.wav"
