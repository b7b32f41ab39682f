#!/bin/sh
# Converts a short synthesised drum voice into an EPROM image and back with
# the command-line converter, printing both reports.
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
echo "Files in $dir: kick.wav, kick.bin ($(wc -c < kick.bin) bytes), kick-back.wav"
