#!/bin/sh
# make run: builds QUORIX.exe and starts it under Wine on this machine's
# display. Wine on a 64-bit Linux runs the 64-bit build; Windows users take
# build/win32/QUORIX.exe.
set -eu
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  echo "No display to show QUORIX.exe on: run 'make run' on a desktop (or set DISPLAY), or use the command-line converter instead: make build, then build/bin/quorix --help."
  exit 0
fi

scripts/setup.sh windows
jobs=$(nproc 2>/dev/null || echo 2)
for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$jobs" >/dev/null
done

wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || [ ! -x /usr/lib/wine/wine64 ] || wine64=/usr/lib/wine/wine64
if [ -z "$wine64" ]; then
  echo "No 64-bit Wine (wine64) found; install it with: sudo scripts/setup.sh windows" >&2
  exit 1
fi
echo "Starting build/win64/QUORIX.exe under Wine (settings in $(pwd)/quorix.ini unless QUORIX_PATH says otherwise)"
WINEDEBUG=${WINEDEBUG:--all} exec "$wine64" build/win64/QUORIX.exe
