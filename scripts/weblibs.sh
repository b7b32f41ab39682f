#!/bin/bash
# The libraries of the browser page, built from the same Debian source
# packages as the Windows converter's (scripts/winlibs.pins, the same
# versions) as static WebAssembly libraries with Debian's Emscripten, so
# that the page reads what the converter reads and resamples as it does.
#
#   scripts/weblibs.sh           build what is missing or out of date
#   scripts/weblibs.sh --prefix  print where the libraries are installed
#
# The sources come through apt with a configuration of our own (deb-src
# lines, lists and caches under build/weblibs/apt), never through the
# machine's apt sources or state; the source indexes must carry a valid
# signature of Debian's archive keyring, and every file fetched is checked
# against the checksum those indexes give.
#
# Result, for pkg-config and CMake: build/weblibs/wasm32-emscripten/{include,lib,lib/pkgconfig},
# and the page's npm library in build/weblibs/npm/node_modules.
# Each library is built once behind a stamp (its pinned version, its recipe
# below, the compiler, the stamps of what it links); logs in build/weblibs/log.
# shellcheck disable=SC2016 # $(...) and ${...} for apt and pkg-config to expand
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
pins=$root/scripts/winlibs.pins
host=wasm32-emscripten
top=$root/build/weblibs
prefix=$top/$host
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
# -O2 as Debian builds these libraries for Linux, and no -ffast-math: the
# resampler must compute in the page what it computes in the converter.
cflags="-O2 -D_FORTIFY_SOURCE=0"
# What the page links: the pins name more (the Windows pictures' cairo).
wanted="zlib libogg opus flac libvorbis libsndfile libsoxr nettle nlohmann-json3-dev libtomlplusplus-dev"

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi

say() { echo "weblibs: $*"; }
die() {
  echo "weblibs: $*" >&2
  exit 1
}

# Debian's node does not search Debian's own module folder, where emcc's
# acorn is; emcc runs the first python3 on PATH.
export NODE_PATH=/usr/share/nodejs EMSDK_PYTHON=/usr/bin/python3
for tool in apt-get apt-cache dpkg-source dpkg-query cmake make pkg-config m4 flock sha256sum \
  emcc emar emcmake emconfigure node npm; do
  command -v "$tool" >/dev/null ||
    die "$tool is missing; scripts/setup.sh winlibs web installs what this build needs (as root)"
done
[ -x /usr/lib/apt/apt-helper ] || die "apt's apt-helper is missing (package apt)"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -r "$keyring" ] || die "Debian's archive keyring is missing (package debian-archive-keyring)"

mkdir -p "$top"
# One build at a time: two test runs starting together wait for each other.
exec 9>"$top/.lock"
flock 9

# --- The pins (shared with the Windows libraries) --------------------------

# shellcheck source=scripts/crossbuild.sh
. "$root/scripts/crossbuild.sh"
read_pins "$wanted"

deps_of() {
  case "$1" in
    flac | libvorbis) echo libogg ;;
    libsndfile) echo libogg libvorbis flac opus ;;
  esac
}


# --- How each library is built ----------------------------------------------

# 3.1.6 runs CMake's type-size checks under node; its own emulator flag
# makes node 20 exit early (libogg then finds "No 16 bit type") and node 18
# answer wrong sizes, so node runs plainly.
emulator="$(command -v node);--no-experimental-fetch"

cmake_build() {
  emcmake cmake -S "$src" -B "$work" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_CXX_FLAGS_RELEASE="$cflags" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@"
  cmake --build "$work" -j "$jobs"
  cmake --install "$work"
}

configure_build() {
  mkdir -p "$work"
  # The old config.sub of these tarballs knows wasm32, not wasm32-unknown-emscripten.
  (cd "$work" && emconfigure "$src/configure" --host=wasm32 --prefix="$prefix" \
    --disable-shared --enable-static CFLAGS="$cflags" "$@")
}

# A pkg-config file for a library whose build writes none.
write_pc() {
  local v=${version[$pkg]#*:}
  v=${v%-*}
  v=${v%.dfsg}
  printf '%s\n' "prefix=$prefix" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    "Name: $1" "Description: $2" "Version: ${v%+ds}" "Libs: -L\${libdir} $3" 'Cflags: -I${includedir}' \
    >"$prefix/lib/pkgconfig/$1.pc"
}

build_zlib() {
  local f
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
    inftrees trees uncompr zutil; do
    echo "$src/$f.c"
  done | xargs -P "$jobs" -n 1 sh -c 'emcc $1 -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$3" -o "$2/$(basename "$3" .c).o"' sh \
    "$cflags" "$work"
  emar rcs "$work/libz.a" "$work"/*.o
  install -m 644 "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
  install -m 644 "$work/libz.a" "$prefix/lib/"
  write_pc zlib "zlib compression library" -lz
}

build_libogg() {
  cmake_build -DINSTALL_DOCS=OFF
  # A type-size check answered wrongly gives a library that reads garbage.
  grep -q '^INT64_SIZE:INTERNAL=8$' "$work/CMakeCache.txt" ||
    die "CMake measured a wrong size of int64_t for WebAssembly (log: build/weblibs/log/libogg.log)"
}

build_opus() {
  configure_build --disable-doc --disable-extra-programs --disable-stack-protector \
    --disable-rtcd --disable-intrinsics
  make -C "$work" -j "$jobs"
  make -C "$work" install
}

build_flac() {
  cmake_build -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
}

build_libvorbis() {
  cmake_build
}

build_libsndfile() {
  cmake_build -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_REGTEST=OFF -DENABLE_CPACK=OFF \
    -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF -DINSTALL_MANPAGES=OFF -DINSTALL_PKGCONFIG_MODULE=ON
  grep -q '^#define HAVE_EXTERNAL_XIPH_LIBS 1' "$work/src/config.h" ||
    die "libsndfile was configured without FLAC, Ogg Vorbis and Opus (log: build/weblibs/log/libsndfile.log)"
}

build_libsoxr() {
  # WebAssembly checks the type of every call through a pointer; the FFT
  # tables of these two files hold functions of other types than the ones
  # they are called as, which traps. Each slot gets a function of the type
  # it is called with.
  patch -d "$src" -p1 <"$root/scripts/weblibs-soxr-fft4g.patch"
  cmake_build -DWITH_OPENMP=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_LSR_BINDINGS=OFF
  write_pc soxr "The SoX resampler library" -lsoxr
}

build_nettle() {
  # Hashes only: the public-key half would need GMP.
  configure_build --disable-public-key --disable-documentation --disable-openssl --disable-assembler
  make -C "$work" -j "$jobs" libnettle.a
  make -C "$work" install-headers install-static install-pkgconfig
}



# --- The build --------------------------------------------------------------

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig EM_PKG_CONFIG_PATH=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
export PKG_CONFIG=pkg-config

stamps=$top/stamps
mkdir -p "$stamps" "$top/log" "$prefix/include" "$prefix/lib/pkgconfig"

compiler="$(emcc --version 2>/dev/null | head -1)
$(dpkg-query -W -f='${Package} ${Version}\n' emscripten clang-14 lld-14 binaryen nodejs 2>/dev/null || true)"
shared_recipe=$(declare -f cmake_build configure_build unpack write_pc)
# libsoxr's source is patched: the patch is part of its recipe.
key_extra() { [ "$1" != libsoxr ] || cat "$root/scripts/weblibs-soxr-fft4g.patch"; }
keep_sources=${WEBLIBS_KEEP_SOURCES:-}

build_all
# The page's one JavaScript library (fflate, the zip of a multi-chip image),
# at the version and checksum of web/package-lock.json; no install scripts.
key=$({ cat "$root/web/package.json" "$root/web/package-lock.json"; node --version; } | sha256sum | cut -d' ' -f1)
if [ "$(cat "$stamps/npm" 2>/dev/null)" != "$key" ]; then
  say "installing the page's npm libraries"
  log=$top/log/npm.log
  : >"$log"
  rm -rf "$top/npm"
  mkdir -p "$top/npm"
  cp "$root/web/package.json" "$root/web/package-lock.json" "$top/npm/"
  step "installing the page's npm libraries" npm ci --prefix "$top/npm" --ignore-scripts --no-audit --no-fund
  echo "$key" >"$stamps/npm"
  built=$((built + 1))
fi
[ "$built" -eq 0 ] || say "$built libraries built in $(($(date +%s) - start)) s, in build/weblibs/$host"
