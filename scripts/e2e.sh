#!/bin/sh
# End-to-end tests of the desktop program: QUORIX.exe (the 64-bit build, the
# one Wine runs on a 64-bit Linux) under Wine on a virtual X display, driven
# by build/win64/quorix_e2e.exe. Installs what it needs (as root, on Debian),
# builds both Windows programs, prepares the inputs and the command-line
# converter's outputs, and cleans up every process it started.
#
#   scripts/e2e.sh [SCENARIO...]
#
# Where Wine or Xvfb cannot be had, the tests are SKIPPED, which fails in CI.
# The screenshot and the pictures of a failed report check land in build/e2e/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

skip() {
  echo "e2e: SKIPPED: $1"
  [ "${CI:-}" != true ] || { echo "e2e: the end-to-end tests must run in CI"; exit 1; }
  exit 0
}

mkdir -p build
scripts/setup.sh windows >/dev/null 2>build/e2e-setup.log ||
  skip "MinGW-w64, Wine and Xvfb are missing and cannot be installed here ($(tail -1 build/e2e-setup.log))"
rm -f build/e2e-setup.log
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine64" ] && [ -x "$wineserver" ] || skip "no 64-bit Wine found"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"

for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j 2 >/dev/null
done
[ -x build/bin/quorix ] || { cmake --preset default >/dev/null && cmake --build --preset default -j 2 --target quorix >/dev/null; }
# Each build is one file that runs on a bare Windows: it may import nothing
# but the system's own libraries.
for build in win32:i686:pei-i386 win64:x86_64:pei-x86-64; do
  exe=build/${build%%:*}/QUORIX.exe triplet=$(echo "$build" | cut -d: -f2)
  $triplet-w64-mingw32-objdump -f "$exe" | grep -q "file format ${build##*:}\$" ||
    { echo "e2e: $exe is not a ${build##*:} program"; exit 1; }
  imports=$($triplet-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr a-z A-Z | sort -u)
  for dll in $imports; do
    case "$dll" in
      KERNEL32.DLL | USER32.DLL | GDI32.DLL | COMDLG32.DLL | COMCTL32.DLL | WINMM.DLL | ADVAPI32.DLL | MSVCRT.DLL) ;;
      *) echo "e2e: $exe needs $dll, which a bare Windows does not have"; exit 1 ;;
    esac
  done
done

artifacts=$root/build/e2e
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

# The Wine prefix, once per run: without a window manager Wine would stall
# whenever a window hides unless its windows are unmanaged, and with no sound
# driver PlaySoundA fails at once and quietly. The caption buttons need the
# Marlett font inside the prefix. The tests' folders appear as drive D:.
echo "e2e: preparing Wine on display $DISPLAY"
timeout 180 "$wine64" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
timeout 60 "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 60 "$wine64" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1
[ ! -f /usr/share/wine/fonts/marlett.ttf ] || cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
ln -s "$work" "$WINEPREFIX/dosdevices/d:"
"$wineserver" -w

# D:\data: a drum voice, and what the command-line converter makes of it
# with no quorix.ini to steer it. The report names the files as the
# scenario shows them, ~ standing for the scenario's folder.
mkdir -p "$work/data/noconfig" "$work/cases"
(
  cd "$work/data"
  export QUORIX_PATH="$work/data/noconfig"
  sox -q -n -r 24000 -b 16 -c 1 kick.wav synth 0.12 sine 150-45 fade q 0.002 0.12 0.09 gain -3
  "$root/build/bin/quorix" wav2dmx kick.wav kick.bin | sed 's/^\(Input\|Output\) file: kick/\1 file: ~\\kick/' >wav2dmx.txt
  "$root/build/bin/quorix" dmx2wav --rate 8000 kick.bin kick-8000.wav >/dev/null
)

set +e
timeout 900 "$wine64" build/win64/quorix_e2e.exe "$(winpath "$root/build/win64/QUORIX.exe")" \
  "$(winpath "$root/build/win32/QUORIX.exe")" "$(winpath "$artifacts")" "$@" 2>"$artifacts/wine.log"
status=$?
set -e
[ $status -ne 124 ] || echo "e2e: the suite did not finish within 15 minutes"
[ ! -f "$artifacts/main-window.bmp" ] || convert "$artifacts/main-window.bmp" "$artifacts/main-window.png" ||
  echo "e2e: ImageMagick could not turn the screenshot into a PNG file"
rm -f "$artifacts/main-window.bmp"
exit $status
