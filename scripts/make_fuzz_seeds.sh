#!/bin/sh
# Writes the seeds of the prepare and info fuzz targets: a few milliseconds
# of tone in every container and encoding libsndfile reads, written by sox
# and ffmpeg, each behind the target's option bytes (five for prepare, one
# for info: see their entries in tests/support/fuzz_one.cpp). A seed's name
# is the outcome it must reach, a dot, and what it is; the unit tests replay
# every seed and hold it to that outcome. Findings are kept beside them.
set -eu
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p fuzz/seeds/prepare fuzz/seeds/info

# seed NAME PREPARE-OUTCOME INFO-KIND FILE: the file behind prepare's usual
# options (the machine's code and rate, a 20 ms fade) and info's (no picture).
seed() {
  { printf '\000\000\000\024\000'; cat "$4"; } >"fuzz/seeds/prepare/$2.$1"
  { printf '\000'; cat "$4"; } >"fuzz/seeds/info/$3.$1"
}
# sox NAME PREPARE-OUTCOME INFO-KIND EXTENSION SOX-OPTIONS...
sx() {
  name=$1 prep=$2 kind=$3 ext=$4
  shift 4
  sox -n -r 8000 -c 1 "$@" "$tmp/$name.$ext" synth 0.005 sine 440
  seed "$name" "$prep" "$kind" "$tmp/$name.$ext"
}
# ff NAME PREPARE-OUTCOME INFO-KIND EXTENSION FFMPEG-OUTPUT-OPTIONS...
ff() {
  name=$1 prep=$2 kind=$3 ext=$4
  shift 4
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=0.005:sample_rate=8000" "$@" -y "$tmp/$name.$ext"
  seed "$name" "$prep" "$kind" "$tmp/$name.$ext"
}

sx wav-u8 finished sound wav -b 8
sx wav-s16 finished sound wav -b 16
sx wav-s24 finished sound wav -b 24
sx wav-s32 finished sound wav -b 32
sx wav-float finished sound wav -e floating-point -b 32
sx wav-double finished sound wav -e floating-point -b 64
sx wav-ulaw finished sound wav -e u-law
sx wav-alaw finished sound wav -e a-law
sx wav-ima-adpcm finished sound wav -e ima-adpcm
sx wav-ms-adpcm finished sound wav -e ms-adpcm
sx wav-gsm finished sound wav -e gsm-full-rate
sx rifx-s16 finished sound wav -b 16 -B
ff wavex-s24-stereo finished sound wav -ac 2 -c:a pcm_s24le
ff rf64-s16 finished sound wav -c:a pcm_s16le -rf64 always
sx w64-s16 finished sound w64 -b 16
sx aiff-s16 finished sound aiff -b 16
sx aifc-float finished sound aifc -e floating-point -b 32
ff aifc-ulaw finished sound aifc -c:a pcm_mulaw
ff caf-s16 finished sound caf -c:a pcm_s16be
# libsndfile does not take the ALAC description ffmpeg writes.
ff caf-alac not-sound unusable caf -c:a alac
sx au-s16 finished sound au -b 16
sx au-ulaw finished sound au -e u-law
sx flac-s16 finished sound flac -b 16
sx ircam-s16 finished sound sf -b 16
sx nist-s16 finished sound nist -b 16
sx paf-s16 finished sound paf -b 16
sx voc-s16 finished sound voc -b 16
sx 8svx-s8 finished sound 8svx -b 8
sx avr-s16 finished sound avr -b 16
sx htk-s16 finished sound htk -b 16
sx xi-s16 finished sound xi -b 16
sx mat4-s16 finished sound mat4 -b 16
sx mat5-s16 finished sound mat5 -b 16
sx pvf-s16 finished sound pvf -b 16
# SDS packs samples by the 120-byte packet: five milliseconds fill none.
sox -n -r 8000 -c 1 -b 16 "$tmp/sds.sds" synth 0.02 sine 440
seed sds-s16 finished sound "$tmp/sds.sds"
sx wve-alaw finished sound wve -e a-law
sx ogg-vorbis finished sound ogg
ff mp3 finished sound mp3 -c:a libmp3lame -b:a 8k
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=0.02:sample_rate=48000" \
  -c:a libopus -b:a 6k -y "$tmp/opus.opus"
seed ogg-opus finished sound "$tmp/opus.opus"

# prepare's options over the formats a musician brings: five option bytes
# (see FuzzPrepareOne) before each file.
# opts NAME OUTCOME OPTION-BYTES(octal escapes) FILE
opts() {
  # shellcheck disable=SC2059 # the option bytes are printf's own escapes
  { printf "$3"; cat "$4"; } >"fuzz/seeds/prepare/$2.$1"
}
sox -n -r 48000 -b 24 -c 2 "$tmp/a.wav" synth 0.02 sine 200 fade q 0 0.02 0.01
opts wavex-24bit-stereo finished '\000\000\000\024\000' "$tmp/a.wav"
sox -n -r 44100 -b 16 -c 1 "$tmp/b.wav" synth 0.02 pinknoise
opts pcm16-trim-linear finished '\120\001\003\005\000' "$tmp/b.wav"
sox -n -r 96000 -e floating-point -b 32 -c 1 "$tmp/c.wav" synth 0.01 sine 1000 vol 2
opts float-gain-cymbal finished '\004\002\030\024\006' "$tmp/c.wav"
sox -n -r 22050 -b 16 -c 1 "$tmp/d.flac" synth 0.05 square 300
opts flac-curve-nocut bad-input '\241\000\003\000\000' "$tmp/d.flac"
head -c 300 "$tmp/d.flac" >"$tmp/e.flac"
opts flac-truncated bad-input '\000\000\000\024\000' "$tmp/e.flac"
sox -n -r 32000 -b 16 -c 1 "$tmp/f.aiff" synth 0.01 sine 500
opts aiff-sds finished '\006\140\000\024\000' "$tmp/f.aiff"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=300:duration=0.01:sample_rate=8000" \
  -ac 6 -c:a pcm_mulaw -y "$tmp/g.wav"
opts ulaw-6ch-channel3 finished '\000\014\000\024\000' "$tmp/g.wav"
sox -n -r 8000 -b 16 -c 1 "$tmp/h.wav" trim 0 0
opts no-frames bad-input '\000\000\000\024\000' "$tmp/h.wav"
sox -n -r 48000 -b 16 -c 1 "$tmp/i.wav" synth 1s sine 100 trim 0 1s
opts one-frame-nopad finished '\000\001\000\024\000' "$tmp/i.wav"
