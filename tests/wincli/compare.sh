#!/bin/bash
# The Windows converter against the Linux one: each row of the table runs
# one command on the same inputs through build/bin/quorix and through
# quorix-cli.exe under Wine, each in a folder of its own; both must end with
# the row's exit status, print the same report and leave the same files.
# Then a picture drawn under Wine must carry its text, and the release zip,
# unpacked alone, must prepare a voice. Where Wine or the programs are
# missing it ends with 77, SKIPPED, which fails in CI.
#   tests/wincli/compare.sh LINUX-QUORIX QUORIX-CLI.EXE RELEASE.ZIP
set -euo pipefail
export LC_ALL=C.UTF-8 # Wine passes non-ASCII arguments unmangled only in a UTF-8 locale
fail() { echo "wincli: FAILED: $*"; exit 1; }
skip() { echo "wincli: SKIPPED: $*"; [ "${CI:-}" = true ] && fail "the comparison must run in CI"; exit 77; }
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine64" ] || skip "no 64-bit Wine loader (wine64); make deps installs it"
for f in "$2" "$3"; do [ -f "$f" ] || skip "$f is not built: make winlibs, then scripts/e2e.sh build"; done
linux=$(realpath "$1") exe=$(realpath "$2") zip=$(realpath "$3")
# No dot in the scratch path: a row puts dots into names on purpose.
work=$(mktemp -d /tmp/quorixwincliXXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY QUORIX_PATH # a console program needs no display
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
timeout 180 "$wine64" wineboot -i >"$work/wineboot.log" 2>&1 ||
  { cat "$work/wineboot.log"; fail "Wine could not prepare its prefix"; }

# Inputs from sox and ffmpeg: a stereo drum sound in several formats, a mono
# 16-bit WAV for the engine's own conversion, an image made of it.
in=$work/in
mkdir -p "$in/sets.v2"
(cd "$in"
  # -R: the noise and the dither from a fixed seed, the same files every run.
  sox -R -q -n -r 44100 -c 2 -b 16 drum.wav synth 0.25 sine 190-45 pinknoise synth 0.25 sine mix \
    fade q 0.002 0.25 0.2 gain -4 remix 1 1v0.8 dither -s
  sox -R -q drum.wav -b 24 -e signed-integer drum24.wav # WAVE_FORMAT_EXTENSIBLE
  sox -R -q drum.wav -r 48000 -c 1 -b 32 -e floating-point float.wav
  sox -R -q drum.wav drum.flac
  sox -R -q drum.wav -r 8000 -c 1 -e u-law ulaw.wav
  ffmpeg -loglevel error -i drum.wav -c:a libvorbis -q:a 4 drum.ogg
  sox -R -q drum.wav -r 24000 -c 1 -b 16 Ärger-ドラム.wav
  "$linux" prepare --quiet drum.wav kick.bin && cp kick.bin Bäss-ü.bin
  echo "not a sound, though the name says so" >notsound.wav
)
grep -q WAVEX <("$linux" info "$in/drum24.wav") || fail "sox wrote drum24.wav without WAVE_FORMAT_EXTENSIBLE"

# What may differ: "exact" nothing; "step" images in codes one step apart on
# at most 0.1% of their bytes (libvorbis decodes a hair differently in the
# two builds); "digits" the report's numbers after their 12th significant
# digit (the C libraries' logarithms may differ in the last place, and
# --json prints every digit). A final <FILE is piped into standard input.
# name           differ  status  command
table='
wavex24          exact   0       prepare drum24.wav out.bin
float-sds        exact   0       prepare --machine sds --rate 31250.5 float.wav out.bin
flac-preview     exact   0       prepare --preview out.wav drum.flac out.bin
ulaw-cymbal      exact   0       prepare --machine dmx-cymbal ulaw.wav sets.v2/cym
vorbis           step    0       prepare drum.ogg out.bin
stdin            exact   0       prepare --gain -3 - out.bin <drum24.wav
dmx2wav          exact   0       dmx2wav --rate 31250.5 kick.bin out.wav
listen-stdout    exact   0       listen --out-rate 44100 kick.bin -
info             exact   0       info kick.bin drum24.wav drum.flac float.wav ulaw.wav
info-json        digits  0       info --json --machine linndrum kick.bin drum.flac
overwrite        exact   0       prepare --machine linndrum drum.flac kick.bin
same-file        exact   1       listen kick.bin ./kick.bin
bad-input        exact   2       prepare notsound.wav out.bin
folder           exact   1       prepare sets.v2 out.bin
info-folder      exact   1       info sets.v2 kick.bin
usage            exact   64      prepare --bogus drum.flac out.bin
unicode-prepare  exact   0       prepare Ärger-ドラム.wav Bäss-ü-neu.bin
unicode-wav2dmx  exact   0       wav2dmx Ärger-ドラム.wav Bäss-ü-neu.bin
unicode-listen   exact   0       listen Bäss-ü.bin Hören-ü.wav
'

# Whether two images differ only in codes one step apart, on at most 0.1% of
# their bytes; prints how many when some do.
steps() {
  [ "$(stat -c %s "$1")" = "$(stat -c %s "$2")" ] && { cmp -l "$1" "$2" || true; } | awk -v size="$(stat -c %s "$1")" '
    function oct(s,  n, i) { n = 0; for (i = 1; i <= length(s); i++) n = n * 8 + substr(s, i, 1); return n }
    { d = oct($2) - oct($3); if (d != 1 && d != -1) far++; n++ }
    END { if (far || n * 1000 > size) exit 1; if (n) printf "%d of %d bytes one step apart", n, size }'
}

# Windows gets its own spelling of a path, with backslashes; its report is
# read with slashes again.
run_windows() {
  local a args=()
  for a in "$@"; do args+=("${a//\//\\}"); done
  "$wine64" "$exe" "${args[@]}"
}
run_linux() { "$linux" "$@"; }
# A report with its numbers rounded to 12 significant digits.
round() {
  python3 -c 'import re, sys; sys.stdout.write(re.sub(r"-?[0-9]+\.[0-9]+(e[-+]?[0-9]+)?",
    lambda m: "%.12g" % float(m.group()), sys.stdin.read()))'
}

rows=0
set -f # the commands are split into words, never globbed
while read -r name differ status command; do
  [ -n "$name" ] || continue
  rows=$((rows + 1)) stdin=/dev/null out=$work/$name notes=""
  case "$command" in *"<"*) stdin=$in/${command##*<} command=${command%<*} ;; esac
  # shellcheck disable=SC2086
  set -- $command
  for side in linux windows; do
    mkdir -p "$out/$side"
    cp -a "$in/." "$out/$side/"
    # Standard input through a pipe, as a chain of tools gives it: read as a
    # stream, through the C library's own reads.
    got=$(cd "$out/$side" && cat "$stdin" | "run_$side" "$@" >"$out/$side.out" 2>"$out/$side.err"
      echo "${PIPESTATUS[1]}")
    [ "$got" = "$status" ] || { cat "$out/$side.err"; fail "$name: the $side converter ended with $got, not $status"; }
    [ "$side" = linux ] || case "$command" in */*) sed -i 's|\\|/|g' "$out/$side.out" ;; esac
    [ "$differ" != digits ] || { round <"$out/$side.out" >"$out/$side.r" && mv "$out/$side.r" "$out/$side.out"; }
    # What the command wrote, new files and inputs it changed, after its report.
    (cd "$out/$side" && find . -type f | sort | while read -r f; do cmp -s "$in/$f" "$f" || echo "$f"; done) |
      tee "$out/$side.files" >>"$out/$side.out"
  done
  cmp -s "$out/linux.out" "$out/windows.out" ||
    { diff "$out/linux.out" "$out/windows.out" | head -20 || true; fail "$name: the reports or the files written differ"; }
  while read -r f; do
    a=$out/linux/$f b=$out/windows/$f
    cmp -s "$a" "$b" && continue
    [ "$differ" = step ] && [ "${f##*.}" = bin ] && note=$(steps "$a" "$b") ||
      fail "$name: ${f#./} differs ($(cmp "$a" "$b" | head -1))"
    notes="$notes, ${f#./}: $note"
  done <"$out/linux.files"
  echo "wincli: $name: status $status, the same report and files$notes"
done <<<"$table"
set +f
[ "$rows" -gt 0 ] || fail "the table has no rows"

# The text of a picture comes from the Windows font system: the same image
# under two names must give two pictures (their titles name the file), where
# without fonts both would be bare axes, byte for byte the same.
(cd "$in" && run_windows info --plot a.png kick.bin && run_windows info --plot b.png Bäss-ü.bin) >/dev/null ||
  fail "info --plot failed under Wine"
for p in a b; do
  [ "$(head -c 8 "$in/$p.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$p.png is not a PNG file"
done
! cmp -s "$in/a.png" "$in/b.png" || fail "the pictures carry no text: no font was found under Wine"
echo "wincli: pictures drawn under Wine carry their titles"

# The zip as a Windows user gets it: unpacked into an empty folder with a
# sample beside it and nothing else, its converter prepares a voice.
mkdir -p "$work/zip"
python3 -m zipfile -e "$zip" "$work/zip"
contents=$(cd "$work/zip" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$contents" = "QUORIX.exe README-windows.txt quorix-cli.exe quorix.html " ] || fail "the zip holds $contents"
i686-w64-mingw32-objdump -f "$work/zip/QUORIX.exe" | grep -q 'file format pei-i386' ||
  fail "the zip's QUORIX.exe is not the 32-bit desktop program"
cp "$in/drum.wav" "$work/zip/kick.wav"
(cd "$work/zip" && "$wine64" quorix-cli.exe prepare kick.wav kick.bin >/dev/null) ||
  fail "the unpacked quorix-cli.exe cannot prepare kick.wav"
cmp -s "$work/zip/kick.bin" "$in/kick.bin" || fail "the unpacked converter prepared another image than Linux"
echo "wincli: the unpacked release zip (${contents% }) prepares kick.bin as Linux does"
echo "wincli: $rows rows passed"
