#!/bin/bash
# The Windows converter against the Linux one: every row of the table below
# runs the same command on the same inputs through build/bin/quorix and
# through quorix-cli.exe under Wine, each in a folder of its own, and the
# two must end with the same exit status, print the same report and leave
# the same files. Then the release zip, unpacked alone, must prepare a
# voice, and a picture drawn under Wine must carry its text.
#
#   tests/wincli/compare.sh LINUX-QUORIX QUORIX-CLI.EXE RELEASE.ZIP
#
# Each row says what may differ. "exact": nothing. "step": images may
# differ in codes one step apart on at most 0.1% of their bytes (libvorbis
# decodes a hair differently in the two builds). "digits": the report's
# numbers agree to 12 significant digits, not always to the 17th: the two C
# libraries' logarithms are both within a unit of the last place, not
# always the same one, and --json prints every digit.
set -euo pipefail
export LC_ALL=C.UTF-8 # Wine passes non-ASCII arguments unmangled only in a UTF-8 locale
linux=$(realpath "$1")
exe=$(realpath "$2")
zip=$(realpath "$3")

fail() {
  echo "wincli: FAILED: $*"
  exit 1
}

# One program that runs on a bare 64-bit Windows: it may import nothing
# but the system's own libraries.
x86_64-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-x86-64' || fail "$exe is not a 64-bit Windows program"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
  tr '[:lower:]' '[:upper:]' | sort -u | tr '\n' ' ')
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSIMG32.DLL | WINMM.DLL | ADVAPI32.DLL | MSVCRT.DLL) ;;
    *) fail "${exe##*/} needs $dll, which a bare Windows does not have" ;;
  esac
done
echo "wincli: ${exe##*/} imports only system libraries: $imports"

wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine64" ] || fail "no 64-bit Wine loader (wine64); scripts/setup.sh windows installs it"

# No dot in the scratch path: a row puts dots into names on purpose.
work=$(mktemp -d /tmp/quorixwincliXXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A console program needs no display.
unset DISPLAY WAYLAND_DISPLAY QUORIX_PATH
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
timeout 180 "$wine64" wineboot -i >"$work/wineboot.log" 2>&1 || {
  cat "$work/wineboot.log"
  fail "Wine could not prepare its prefix"
}

# Inputs, written by sox and ffmpeg: a stereo drum sound in several formats,
# a mono 16-bit WAV for the engine's own conversion, an image made of it.
in=$work/in
mkdir -p "$in/sets.v2"
(
  cd "$in"
  # -R: the noise and the dither from a fixed seed, the same files every run.
  sox -R -q -n -r 44100 -c 2 -b 16 drum.wav synth 0.25 sine 190-45 pinknoise synth 0.25 sine mix \
    fade q 0.002 0.25 0.2 gain -4 remix 1 1v0.8 dither -s
  sox -R -q drum.wav -b 24 -e signed-integer drum24.wav                       # WAVE_FORMAT_EXTENSIBLE
  sox -R -q drum.wav -r 48000 -c 1 -b 32 -e floating-point float.wav
  sox -R -q drum.wav drum.flac
  sox -R -q drum.wav -r 8000 -c 1 -e u-law ulaw.wav
  ffmpeg -loglevel error -i drum.wav -c:a libvorbis -q:a 4 drum.ogg
  sox -R -q drum.wav -r 24000 -c 1 -b 16 pcm16.wav
  "$linux" prepare --quiet drum.wav kick.bin
  cp pcm16.wav Ärger-ドラム.wav
  cp kick.bin Bäss-ü.bin
  echo "not a sound, though the name says so" >notsound.wav
)
grep -q WAVEX <("$linux" info "$in/drum24.wav") || fail "sox wrote drum24.wav without WAVE_FORMAT_EXTENSIBLE"

# name           differ  status  command (a final <FILE is piped into standard input)
table='
wavex24          exact   0       prepare drum24.wav out.bin
float-sds        exact   0       prepare --machine sds --rate 31250.5 float.wav out.bin
flac-preview     exact   0       prepare --preview out.wav drum.flac out.bin
ulaw-cymbal      exact   0       prepare --machine dmx-cymbal ulaw.wav sets.v2/cym
vorbis           step    0       prepare drum.ogg out.bin
stdin            exact   0       prepare --gain -3 - out.bin <drum24.wav
wav2dmx          exact   0       wav2dmx --linear pcm16.wav out.bin
dmx2wav          exact   0       dmx2wav --rate 31250.5 kick.bin out.wav
listen           exact   0       listen --out-rate 48000 kick.bin out.wav
listen-stdout    exact   0       listen --out-rate 44100 kick.bin -
info             exact   0       info kick.bin drum24.wav drum.flac float.wav ulaw.wav
info-json        digits  0       info --json --machine linndrum kick.bin drum.flac
overwrite        exact   0       prepare --machine linndrum drum.flac kick.bin
same-file        exact   1       listen kick.bin ./kick.bin
bad-input        exact   2       prepare notsound.wav out.bin
folder           exact   2       prepare sets.v2 out.bin
info-folder      exact   2       info sets.v2 kick.bin
bad-image        exact   2       listen drum.flac out.wav
usage            exact   64      prepare --bogus drum.flac out.bin
usage-wav2dmx    exact   64      wav2dmx pcm16.wav
unicode-prepare  exact   0       prepare Ärger-ドラム.wav Bäss-ü-neu.bin
unicode-wav2dmx  exact   0       wav2dmx Ärger-ドラム.wav Bäss-ü-neu.bin
unicode-listen   exact   0       listen Bäss-ü.bin Hören-ü.wav
unicode-info     exact   0       info Bäss-ü.bin Ärger-ドラム.wav
'

# Differences between two images of a "step" row: "" when none, else a
# summary; fails unless every differing code is one step from the other
# and at most 0.1% of the bytes differ.
steps() {
  local size
  size=$(stat -c %s "$1")
  [ "$size" = "$(stat -c %s "$2")" ] || return 1
  cmp -l "$1" "$2" | awk -v size="$size" '
    function oct(s,  n, i) { n = 0; for (i = 1; i <= length(s); i++) n = n * 8 + substr(s, i, 1); return n }
    { d = oct($2) - oct($3); if (d != 1 && d != -1) far++; n++ }
    END { if (far || n * 1000 > size) exit 1; if (n) printf "%d of %d bytes one step apart", n, size }'
}

# Windows gets its own spelling of a path, with backslashes, and the
# report names it so; the comparison reads them as slashes again.
run_windows() {
  local a args=()
  for a in "$@"; do args+=("${a//\//\\}"); done
  "$wine64" "$exe" "${args[@]}"
}
run_linux() { "$linux" "$@"; }

rows=0
set -f # the commands are split into words, never globbed
while read -r name differ status command; do
  [ -n "$name" ] || continue
  rows=$((rows + 1))
  stdin=/dev/null
  # shellcheck disable=SC2086
  set -- $command
  if [ "${!#:0:1}" = "<" ]; then
    stdin=$in/${!#:1}
    set -- "${@:1:$#-1}"
  fi
  notes=""
  for side in linux windows; do
    dir=$work/$name/$side
    mkdir -p "$dir"
    cp -a "$in/." "$dir/"
    set +e
    # Standard input through a pipe, as a chain of tools gives it: read as
    # a stream, through the C library's own reads.
    (set +o pipefail && cd "$dir" && cat "$stdin" | "run_$side" "$@" >"$work/$name/$side.out" 2>"$work/$name/$side.err")
    echo $? >"$work/$name/$side.status"
    set -e
    # What the command wrote: new files, and inputs it changed.
    (cd "$dir" && find . -type f | sort | while read -r f; do cmp -s "$in/$f" "$f" || echo "$f"; done) \
      >"$work/$name/$side.files"
  done
  for side in linux windows; do
    got=$(cat "$work/$name/$side.status")
    [ "$got" = "$status" ] || {
      cat "$work/$name/$side.err"
      fail "$name: the $side converter ended with $got, not $status"
    }
  done
  case "$command" in */*) sed -i 's|\\|/|g' "$work/$name/windows.out" ;; esac
  [ "$differ" != digits ] || cmp -s "$work/$name/linux.out" "$work/$name/windows.out" ||
    notes="; numbers in the report after their 12th digit"
  [ "$differ" != digits ] || for side in linux windows; do
    python3 -c 'import re, sys; sys.stdout.write(re.sub(r"-?[0-9]+\.[0-9]+(e[-+]?[0-9]+)?",
      lambda m: "%.12g" % float(m.group()), sys.stdin.read()))' <"$work/$name/$side.out" >"$work/$name/$side.rounded"
    mv "$work/$name/$side.rounded" "$work/$name/$side.out"
  done
  cmp -s "$work/$name/linux.out" "$work/$name/windows.out" || {
    diff "$work/$name/linux.out" "$work/$name/windows.out" | head -20
    fail "$name: the reports differ"
  }
  cmp -s "$work/$name/linux.files" "$work/$name/windows.files" || {
    diff "$work/$name/linux.files" "$work/$name/windows.files"
    fail "$name: the two left different files"
  }
  while read -r f; do
    a=$work/$name/linux/$f b=$work/$name/windows/$f
    cmp -s "$a" "$b" && continue
    [ "$differ" = step ] && [ "${f##*.}" = bin ] && note=$(steps "$a" "$b") ||
      fail "$name: ${f#./} differs ($(cmp "$a" "$b" | head -1))"
    notes="$notes; ${f#./}: $note"
  done <"$work/$name/linux.files"
  files=$(sed 's|^\./||' "$work/$name/linux.files" | tr '\n' ' ')
  echo "wincli: $name: status $status, report${files:+ and ${files% }}: ${notes:+the same but}${notes#; }${notes:-byte for byte the same}"
done <<<"$table"
set +f
[ "$rows" -gt 0 ] || fail "the table has no rows"

# Pictures: the text comes from the Windows font system. The same image
# under two names must give two pictures (their titles name the file);
# drawn without fonts, both would be bare axes, byte for byte the same.
(
  cd "$work/in"
  run_windows info --plot a.png kick.bin >/dev/null && run_windows info --plot b.png Bäss-ü.bin >/dev/null
) || fail "info --plot failed under Wine"
for p in a b; do
  [ "$(head -c 8 "$work/in/$p.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "$p.png is not a PNG file"
done
! cmp -s "$work/in/a.png" "$work/in/b.png" || fail "the pictures carry no text: no font was found under Wine"
echo "wincli: pictures drawn under Wine carry their titles"

# The zip as a Windows user gets it: unpacked into an empty folder, with a
# sample beside it and nothing else, the converter prepares a voice.
unpacked=$work/unpacked
mkdir -p "$unpacked"
python3 -m zipfile -e "$zip" "$unpacked"
contents=$(cd "$unpacked" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$contents" = "QUORIX.exe README-windows.txt quorix-cli.exe " ] || fail "the zip holds $contents"
i686-w64-mingw32-objdump -f "$unpacked/QUORIX.exe" | grep -q 'file format pei-i386' ||
  fail "the zip's QUORIX.exe is not the 32-bit desktop program"
cp "$in/drum.wav" "$unpacked/kick.wav"
(cd "$unpacked" && "$wine64" quorix-cli.exe prepare kick.wav kick.bin >/dev/null) ||
  fail "quorix-cli.exe prepare kick.wav kick.bin failed in the unpacked zip"
cmp -s "$unpacked/kick.bin" "$in/kick.bin" || fail "the unpacked converter prepared another image than Linux"
echo "wincli: the unpacked release zip (${contents% }) prepares kick.bin as Linux does"
echo "wincli: $rows rows passed"
