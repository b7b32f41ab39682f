#!/bin/sh
# Writes the seeds of the voice preparation's fuzz target into
# fuzz/seeds/prepare: short sound files of the formats a musician brings,
# written by sox and ffmpeg, each behind five option bytes (see
# fuzz/fuzz_prepare.cpp). The findings of the fuzz target are kept beside
# them; make test replays every file of the folder.
set -eu
cd "$(dirname "$0")/.."
out=fuzz/seeds/prepare
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# seed NAME OPTION-BYTES(octal escapes) FILE
seed() {
  { printf "$2"; cat "$3"; } >"$out/$1"
}

sox -n -r 48000 -b 24 -c 2 "$tmp/a.wav" synth 0.02 sine 200 fade q 0 0.02 0.01
seed wavex-24bit-stereo '\000\000\000\024\000' "$tmp/a.wav"
sox -n -r 44100 -b 16 -c 1 "$tmp/b.wav" synth 0.02 pinknoise
seed pcm16-trim-linear '\120\001\003\005\000' "$tmp/b.wav"
sox -n -r 96000 -e floating-point -b 32 -c 1 "$tmp/c.wav" synth 0.01 sine 1000 vol 2
seed float-gain-cymbal '\004\002\030\024\006' "$tmp/c.wav"
sox -n -r 22050 -b 16 -c 1 "$tmp/d.flac" synth 0.05 square 300
seed flac-curve-nocut '\241\000\003\000\000' "$tmp/d.flac"
head -c 300 "$tmp/d.flac" >"$tmp/e.flac"
seed flac-truncated '\000\000\000\024\000' "$tmp/e.flac"
sox -n -r 32000 -b 16 -c 1 "$tmp/f.aiff" synth 0.01 sine 500
seed aiff-sds '\006\140\000\024\000' "$tmp/f.aiff"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=300:duration=0.01:sample_rate=8000" \
  -ac 6 -c:a pcm_mulaw -y "$tmp/g.wav"
seed ulaw-6ch-channel3 '\000\014\000\024\000' "$tmp/g.wav"
sox -n -r 8000 -b 16 -c 1 "$tmp/h.wav" trim 0 0
seed no-frames '\000\000\000\024\000' "$tmp/h.wav"
sox -n -r 48000 -b 16 -c 1 "$tmp/i.wav" synth 1s sine 100 trim 0 1s
seed one-frame-nopad '\000\001\000\024\000' "$tmp/i.wav"
