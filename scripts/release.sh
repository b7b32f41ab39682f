#!/bin/sh
# The Windows release: the desktop program (build/win32/QUORIX.exe), the
# converter (build/wincli/quorix-cli.exe), the browser page
# (build/web/quorix.html) and README-windows.txt in one zip,
# the files at its top, so that unpacking it gives a folder that runs as it
# is. The text file gets Windows line ends for the Notepad of older Windows.
#
#   scripts/release.sh build/release/NAME.zip
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
zip=$1
case "$zip" in /*) ;; *) zip=$PWD/$zip ;; esac
for f in build/win32/QUORIX.exe build/wincli/quorix-cli.exe build/web/quorix.html; do
  [ -f "$root/$f" ] || { echo "release: $f is not built" >&2; exit 1; }
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$root/build/win32/QUORIX.exe" "$root/build/wincli/quorix-cli.exe" "$root/build/web/quorix.html" "$stage/"
sed 's/$/\r/' "$root/docs/README-windows.txt" >"$stage/README-windows.txt"
mkdir -p "$(dirname "$zip")"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip QUORIX.exe quorix-cli.exe quorix.html README-windows.txt)
echo "release: $zip ($(wc -c <"$zip") bytes)"
