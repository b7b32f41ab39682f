#!/bin/sh
# Installs the Debian packages a part of the build needs, when they are
# missing. As root it runs apt-get itself; otherwise it prints the exact
# command to run and stops.
#   scripts/setup.sh core      compiler, CMake, GoogleTest, sox, ffmpeg, libsndfile, libsoxr,
#                              zlib, nettle, cairo, nlohmann-json
#   scripts/setup.sh windows   MinGW-w64, Wine, Xvfb and ImageMagick
#   scripts/setup.sh winlibs   what scripts/winlibs.sh needs to fetch Debian's
#                              source packages and cross-build them
#   scripts/setup.sh fuzz      clang and its fuzzing runtime
#   scripts/setup.sh bench     sox, python3 and GNU time for make bench
#   scripts/setup.sh web       Emscripten and npm for the page, and headless Chromium with its
#                              driver and Selenium for the page's browser test
set -eu

packages=""
for group in "$@"; do
  case "$group" in
    core) packages="$packages g++ cmake make pkg-config libgtest-dev sox ffmpeg python3 libsndfile1-dev libsoxr-dev zlib1g-dev nettle-dev libcairo2-dev nlohmann-json3-dev" ;;
    windows) packages="$packages mingw-w64 wine wine64 fonts-wine xvfb imagemagick x11-utils" ;;
    winlibs) packages="$packages apt dpkg-dev debian-archive-keyring xz-utils bzip2 mingw-w64 gcc cmake make pkgconf m4 nlohmann-json3-dev" ;;
    fuzz) packages="$packages clang libclang-rt-dev" ;;
    bench) packages="$packages sox python3 time chromium chromium-driver python3-selenium" ;;
    web) packages="$packages emscripten nodejs chromium chromium-driver python3-selenium" ;;
    *) echo "setup.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=""
for p in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) case " $missing " in *" $p "*) ;; *) missing="$missing $p" ;; esac ;;
  esac
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
else
  echo "Missing Debian packages:$missing" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get install -y$missing" >&2
  exit 1
fi
