#!/bin/sh
# End-to-end tests of the desktop program: QUORIX.exe (the 64-bit build, the
# one Wine runs on a 64-bit Linux) under Wine on a virtual X display, driven
# by build/win64/quorix_e2e.exe. Installs what it needs (as root, on Debian),
# builds both Windows programs, prepares the inputs and the expected outputs
# with the command-line converter, and cleans up every process it started.
#
#   scripts/e2e.sh [TEST-NAME...]
#
# Where Wine or Xvfb cannot be had, the tests are SKIPPED, which fails in CI.
# Artifacts (the screenshot, pictures of a failed report check) land in
# build/e2e/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

skip() {
  echo "e2e: SKIPPED: $1"
  if [ "${CI:-}" = true ]; then
    echo "e2e: the end-to-end tests must run in CI"
    exit 1
  fi
  exit 0
}

mkdir -p build
if ! scripts/setup.sh windows >/dev/null 2>build/e2e-setup.log; then
  skip "MinGW-w64, Wine and Xvfb are missing and cannot be installed here ($(tail -1 build/e2e-setup.log | sed 's/^ *//'))"
fi
rm -f build/e2e-setup.log

wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || [ ! -x /usr/lib/wine/wine64 ] || wine64=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || [ ! -x /usr/lib/wine/wineserver ] || wineserver=/usr/lib/wine/wineserver
[ -n "$wine64" ] || skip "no 64-bit Wine loader (wine64) found"
[ -n "$wineserver" ] || skip "no wineserver found"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
command -v import >/dev/null || skip "ImageMagick's import is not installed"

jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2
for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$jobs" >/dev/null
done
# Each build is one file that runs on a bare Windows: it may import nothing
# but the system's own libraries.
for build in win32:i686 win64:x86_64; do
  dir=${build%%:*}
  imports=$(${build#*:}-w64-mingw32-objdump -p "build/$dir/QUORIX.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    tr '[:lower:]' '[:upper:]' | sort -u | tr '\n' ' ')
  for dll in $imports; do
    case "$dll" in
      KERNEL32.DLL | USER32.DLL | GDI32.DLL | COMDLG32.DLL | COMCTL32.DLL | WINMM.DLL | ADVAPI32.DLL | MSVCRT.DLL) ;;
      *) echo "e2e: build/$dir/QUORIX.exe needs $dll, which a bare Windows does not have"; exit 1 ;;
    esac
  done
  echo "e2e: build/$dir/QUORIX.exe imports only system libraries: $imports"
done
i686-w64-mingw32-objdump -f build/win32/QUORIX.exe | grep -q 'file format pei-i386' ||
  { echo "e2e: build/win32/QUORIX.exe is not a 32-bit Windows program"; exit 1; }
cli=build/bin/quorix
[ -x "$cli" ] || { cmake --preset default >/dev/null && cmake --build --preset default -j "$jobs" --target quorix >/dev/null; }

artifacts=$root/build/e2e
rm -rf "$artifacts"
mkdir -p "$artifacts"
# No dot in the scratch path: the tests put dots into names on purpose.
work=$(mktemp -d /tmp/quorixe2eXXXXXX)
xvfb_pid=""
watcher_pid=""
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset QUORIX_PATH

cleanup() {
  [ -z "$watcher_pid" ] || kill "$watcher_pid" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null || true
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
# Marlett font inside the prefix.
echo "e2e: preparing Wine on display $DISPLAY"
timeout 180 "$wine64" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
timeout 60 "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 60 "$wine64" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1
for font in /usr/share/wine/fonts/marlett.ttf; do
  [ ! -f "$font" ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
# The tests' folders appear as drive D:, so reports and screenshots show
# short paths like D:\cases\drums\KICK.WAV.
ln -s "$work" "$WINEPREFIX/dosdevices/d:"
"$wineserver" -w

# Inputs and what the program must make of them, by the command-line
# converter, which runs the same engine; no quorix.ini may steer it.
data="$work/data"
mkdir -p "$data/noconfig"
(
  cd "$data"
  export QUORIX_PATH="$data/noconfig"
  sox -q -n -r 24000 -b 16 -c 1 kick.wav synth 0.12 sine 150-45 fade q 0.002 0.12 0.09 gain -3
  "$root/$cli" wav2dmx kick.wav kick.bin >/dev/null
  "$root/$cli" wav2dmx kick.wav cli.bin >wav2dmx-report.txt
  for rate in 24000 8000 11025 22050; do
    "$root/$cli" dmx2wav --rate $rate kick.bin expected-$rate.wav >/dev/null
  done
)

# Screenshots on request of the driver: `import` of the whole screen, cut
# to the window (xwd would show dialogs black).
(
  while :; do
    if [ -f "$artifacts/screenshot.req" ]; then
      read -r name geometry <"$artifacts/screenshot.req"
      rm -f "$artifacts/screenshot.req"
      import -window root -crop "$geometry" +repage "$artifacts/$name" 2>>"$work/import.log" || true
      touch "$artifacts/screenshot.done"
    fi
    sleep 0.2
  done
) &
watcher_pid=$!

mkdir -p "$work/cases"
set +e
timeout 900 "$wine64" build/win64/quorix_e2e.exe \
  "$(winpath "$root/build/win64/QUORIX.exe")" "$(winpath "$root/build/win32/QUORIX.exe")" \
  "$(winpath "$data")" 'D:\cases' "$(winpath "$artifacts")" "$@" \
  2>"$artifacts/wine.log"
status=$?
set -e
[ $status -ne 124 ] || echo "e2e: the suite did not finish within 15 minutes"
exit $status
