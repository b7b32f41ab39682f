#!/bin/sh
# Installs the Debian packages a part of the build needs, when they are
# missing. As root it runs apt-get itself; otherwise it prints the exact
# command to run and stops. With --check first it only says what is missing.
#   scripts/setup.sh core      compiler, CMake, GoogleTest, sox, ffmpeg, libsndfile, libsoxr,
#                              zlib, nettle, cairo, nlohmann-json, toml++
#   scripts/setup.sh windows   MinGW-w64, Wine, Xvfb and ImageMagick
#   scripts/setup.sh wine32    the 32-bit half of Wine, which runs the 32-bit
#                              QUORIX.exe users download (i386 packages)
#   scripts/setup.sh winlibs   what scripts/winlibs.sh needs to fetch Debian's
#                              source packages and cross-build them
#   scripts/setup.sh fuzz      clang and its fuzzing runtime
#   scripts/setup.sh bench     sox, python3 and GNU time for make bench
#   scripts/setup.sh web       Emscripten and npm for the page, and headless Chromium with its
#                              driver and Selenium for the page's browser test
set -eu

check=false
[ "${1:-}" != --check ] || { check=true; shift; }
packages=""
for group in "$@"; do
  case "$group" in
    core) packages="$packages g++ cmake make pkg-config libgtest-dev sox ffmpeg python3 libsndfile1-dev libsoxr-dev zlib1g-dev nettle-dev libcairo2-dev nlohmann-json3-dev libtomlplusplus-dev" ;;
    windows) packages="$packages mingw-w64 wine wine64 fonts-wine xvfb imagemagick x11-utils" ;;
    wine32) packages="$packages wine32:i386" ;;
    winlibs) packages="$packages apt dpkg-dev debian-archive-keyring xz-utils bzip2 mingw-w64 gcc cmake make pkgconf m4 nlohmann-json3-dev libtomlplusplus-dev" ;;
    fuzz) packages="$packages clang libclang-rt-dev" ;;
    bench) packages="$packages sox python3 time chromium chromium-driver python3-selenium" ;;
    # npm comes with some builds of nodejs, and as Debian's package npm otherwise.
    web) packages="$packages emscripten nodejs chromium chromium-driver python3-selenium"
      command -v npm >/dev/null || packages="$packages npm" ;;
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
if $check; then
  echo "Missing Debian packages:$missing (make deps installs them)" >&2
  exit 0
fi

# Packages of another architecture need it known to dpkg first.
add_arch=""
case "$missing" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || add_arch="dpkg --add-architecture i386" ;;
esac
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $add_arch
  apt-get update -qq
  # Other builds on the machine may hold the package lock for a while.
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 $missing
else
  echo "Missing Debian packages:$missing" >&2
  echo "Install them with:" >&2
  echo "  sudo sh -c '${add_arch:+$add_arch && apt-get update && }apt-get install -y$missing'" >&2
  exit 1
fi
