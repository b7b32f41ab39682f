#!/bin/sh
# End-to-end tests of the desktop program, as CTest runs them:
#   scripts/e2e.sh build [RELEASE.zip]
#     builds QUORIX.exe and its test driver for 32 bits (build/win32, what
#     users download) and for 64 (build/win64), and, once make winlibs has
#     built their libraries, quorix-cli.exe and RELEASE.zip; each program
#     must import nothing a bare Windows lacks.
#   scripts/e2e.sh 32|64 [SCENARIO...]
#     works build/winNN/QUORIX.exe through build/winNN/quorix_e2e.exe under
#     Wine on a virtual X display of its own, on inputs made by sox and by the
#     converter $QUORIX (build/bin/quorix). The screenshot and the pictures of
#     a failed report check land in build/e2e/winNN/.
# Where MinGW-w64, Wine or Xvfb are missing (make deps installs them), it ends
# with 77, SKIPPED, which fails in CI.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

skip() {
  echo "e2e: SKIPPED: $1"
  [ "${CI:-}" != true ] || { echo "e2e: the end-to-end tests must run in CI"; exit 1; }
  exit 77
}

case "${1:-}" in build | 32 | 64) ;; *) echo "usage: scripts/e2e.sh build [RELEASE.zip] | 32|64 [SCENARIO...]" >&2; exit 64 ;; esac
if [ "$1" = build ]; then
  command -v i686-w64-mingw32-g++ >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null ||
    skip "MinGW-w64 is not installed"
  presets="win32 win64"
  [ ! -f build/winlibs/x86_64-w64-mingw32/lib/pkgconfig/sndfile.pc ] || presets="$presets wincli"
  for preset in $presets; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset -j 2
  done
  [ $# -lt 2 ] || [ ! -f build/wincli/quorix-cli.exe ] || scripts/release.sh "$2"
  for build in win32/QUORIX.exe:PEI-I386 win64/QUORIX.exe:PEI-X86-64 wincli/quorix-cli.exe:PEI-X86-64; do
    exe=build/${build%:*}
    [ ! -f "$exe" ] || ! x86_64-w64-mingw32-objdump -fp "$exe" | sed -n 's/.*file format //p; s/^\s*DLL Name: //p' |
      tr a-z A-Z | grep -vxE "${build#*:}|(KERNEL32|USER32|GDI32|MSIMG32|COMDLG32|COMCTL32|WINMM|ADVAPI32|MSVCRT)\.DLL" ||
      { echo "e2e: $exe is not a ${build#*:} program or needs the above, which a bare Windows lacks"; exit 1; }
  done
  exit 0
fi

bits=$1 other=64 wine=/usr/lib/wine/wine
shift
[ "$bits" = 32 ] || other=32 wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] && [ -x "$wineserver" ] || skip "no $bits-bit Wine ($wine)"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
[ -f "build/win$bits/quorix_e2e.exe" ] || skip "build/win$bits is not built (scripts/e2e.sh build)"

artifacts=$root/build/e2e/win$bits
rm -rf "$artifacts"
mkdir -p "$artifacts"
# No dot in the scratch path: the tests put dots into names on purpose.
work=$(mktemp -d /tmp/quorixe2eXXXXXX)
xvfb_pid=""
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset QUORIX_PATH
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# A display of our own, on a free number that Xvfb picks itself.
mkfifo "$work/displayfd"
Xvfb -displayfd 7 -screen 0 1600x1200x24 -nolisten tcp 7>"$work/displayfd" 2>"$work/xvfb.log" &
xvfb_pid=$!
display=$(timeout 20 head -n 1 "$work/displayfd" || true)
[ -n "$display" ] || { cat "$work/xvfb.log"; echo "e2e: Xvfb did not start"; exit 1; }
export DISPLAY=":$display"

# The Wine prefix, once per run: without a window manager Wine would stall whenever a
# window hides unless its windows are unmanaged, and with no sound driver
# PlaySoundA fails at once and quietly. The caption buttons need the Marlett
# font inside the prefix. The tests' folders appear as drive D:.
timeout 180 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1
[ ! -f /usr/share/wine/fonts/marlett.ttf ] || cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
ln -s "$work" "$WINEPREFIX/dosdevices/d:"
"$wineserver" -w

# D:\data: a drum voice, and what the command-line converter makes of it
# with no quorix.ini to steer it. The report names the files as the
# scenario shows them, ~ standing for the scenario's folder.
quorix=${QUORIX:-$root/build/bin/quorix}
mkdir -p "$work/data/noconfig" "$work/cases"
(
  cd "$work/data"
  export QUORIX_PATH="$work/data/noconfig"
  sox -q -n -r 24000 -b 16 -c 1 kick.wav synth 0.12 sine 150-45 fade q 0.002 0.12 0.09 gain -3
  "$quorix" wav2dmx kick.wav kick.bin | sed 's/^\(Input\|Output\) file: kick/\1 file: ~\\kick/' >wav2dmx.txt
  "$quorix" dmx2wav --rate 8000 kick.bin kick-8000.wav >/dev/null
)

set +e
timeout 900 "$wine" "build/win$bits/quorix_e2e.exe" "$(winpath "$root/build/win$bits/QUORIX.exe")" \
  "$(winpath "$root/build/win$other/QUORIX.exe")" "$(winpath "$artifacts")" "$@" 2>"$artifacts/wine.log"
status=$?
set -e
[ $status -ne 124 ] || echo "e2e: the suite did not finish within 15 minutes"
[ ! -f "$artifacts/main-window.bmp" ] || convert "$artifacts/main-window.bmp" "$artifacts/main-window.png" ||
  echo "e2e: ImageMagick could not turn the screenshot into a PNG file"
rm -f "$artifacts/main-window.bmp"
exit $status
