#!/bin/bash
# The libraries of the Windows converter, built from Debian's own source
# packages as static libraries for 64-bit Windows (MinGW-w64), so that the
# converter is one .exe that needs nothing but the system's own DLLs.
#
#   scripts/winlibs.sh           build what is missing or out of date
#   scripts/winlibs.sh --prefix  print where the libraries are installed
#
# The versions are pinned in scripts/winlibs.pins. The sources come through
# apt with a configuration of our own (deb-src lines, lists and caches under
# build/winlibs/apt), never through the machine's apt sources or state; the
# source indexes must carry a valid signature of Debian's archive keyring,
# and every file fetched is checked against the checksum those indexes give.
#
# Result, for pkg-config --static and CMake:
#   build/winlibs/x86_64-w64-mingw32/{include,lib,lib/pkgconfig,lib/cmake}
# Each library is built once: a stamp records what it was built from (the
# pinned version, its recipe below, the compiler, the stamps of the
# libraries it links), and a change to any of them rebuilds it and what
# depends on it. Logs are in build/winlibs/log.
#
# Thread model: the libraries are C and start no threads; they are built
# with Debian's default x86_64-w64-mingw32-gcc (the win32 thread model, the
# compiler of QUORIX.exe), so nothing pulls in winpthreads.
# shellcheck disable=SC2016 # $(...) and ${...} for apt and pkg-config to expand
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
pins=$root/scripts/winlibs.pins
host=x86_64-w64-mingw32
top=$root/build/winlibs
prefix=$top/$host
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
# -O2 as Debian builds these libraries for Linux, and no -ffast-math anywhere:
# the resampler should compute on Windows what it computes on Linux.
# _FORTIFY_SOURCE=0: the configure scripts of opus and cairo add
# _FORTIFY_SOURCE=2 unless it is set, and its checked string functions would
# need libssp beside the program.
cflags="-O2 -D_FORTIFY_SOURCE=0"

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi

say() { echo "winlibs: $*"; }
die() {
  echo "winlibs: $*" >&2
  exit 1
}

for tool in apt-get apt-cache dpkg-source dpkg-query cmake make pkg-config m4 flock sha256sum \
  "$host-gcc" "$host-ar"; do
  command -v "$tool" >/dev/null ||
    die "$tool is missing; scripts/setup.sh winlibs installs what this build needs (as root)"
done
[ -x /usr/lib/apt/apt-helper ] || die "apt's apt-helper is missing (package apt)"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -r "$keyring" ] || die "Debian's archive keyring is missing (package debian-archive-keyring)"

mkdir -p "$top"
# One build at a time: two test runs starting together wait for each other.
exec 9>"$top/.lock"
flock 9

# --- The pins ---------------------------------------------------------------

# shellcheck source=scripts/crossbuild.sh
. "$root/scripts/crossbuild.sh"
read_pins ""

# What each library links; a library is rebuilt when one of these is.
deps_of() {
  case "$1" in
    flac | libvorbis) echo libogg ;;
    libsndfile) echo libogg libvorbis flac opus ;;
    libpng1.6) echo zlib ;;
    cairo) echo zlib libpng1.6 pixman ;;
  esac
}


# --- How each library is built ----------------------------------------------

cat_toolchain() {
  cat <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $host-gcc)
set(CMAKE_CXX_COMPILER $host-g++)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_FIND_ROOT_PATH "$prefix" /usr/$host)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

cmake_build() {
  cmake -S "$src" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$top/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_CXX_FLAGS_RELEASE="$cflags" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@"
  cmake --build "$work" -j "$jobs"
  cmake --install "$work"
}

configure_build() {
  mkdir -p "$work"
  (cd "$work" && "$src/configure" --build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --host=$host --prefix="$prefix" \
    --disable-shared --enable-static CFLAGS="${CFLAGS:-$cflags}" "$@")
}

# A pkg-config file for a library whose build writes none: name,
# description, libraries; the version is the upstream part of the pin.
write_pc() {
  local v=${version[$pkg]#*:}
  v=${v%-*}
  v=${v%.dfsg}
  printf '%s\n' "prefix=$prefix" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    "Name: $1" "Description: $2" "Version: ${v%+ds}" "Libs: -L\${libdir} $3" 'Cflags: -I${includedir}' \
    >"$prefix/lib/pkgconfig/$1.pc"
}

build_zlib() {
  # Debian's zlib source has no Windows makefile, and zlib's configure and
  # CMake build want one; the library is these files compiled and archived.
  local f
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
    inftrees trees uncompr zutil; do
    echo "$src/$f.c"
  done | xargs -P "$jobs" -n 1 sh -c '$1 $2 -c "$4" -o "$3/$(basename "$4" .c).o"' sh \
    "$host-gcc" "$cflags" "$work"
  "$host-ar" rcs "$work/libz.a" "$work"/*.o
  install -m 644 "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
  install -m 644 "$work/libz.a" "$prefix/lib/"
  write_pc zlib "zlib compression library" -lz
}

build_libogg() {
  cmake_build -DINSTALL_DOCS=OFF
}

build_opus() {
  # The release tarball lacks a file its CMake build includes. No stack
  # protector: it would need libssp.
  configure_build --disable-doc --disable-extra-programs --disable-stack-protector
  make -C "$work" -j "$jobs"
  make -C "$work" install
}

build_flac() {
  cmake_build -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
  # Without FLAC__NO_DLL, FLAC's headers declare every function as imported
  # from a DLL.
  sed -i 's/^Cflags: \(.*\)$/Cflags: \1 -DFLAC__NO_DLL/' "$prefix/lib/pkgconfig/flac.pc"
}

build_libvorbis() {
  cmake_build
}

build_libsndfile() {
  cmake_build -DCMAKE_C_FLAGS=-DFLAC__NO_DLL \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_REGTEST=OFF -DENABLE_CPACK=OFF \
    -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF -DINSTALL_MANPAGES=OFF -DINSTALL_PKGCONFIG_MODULE=ON
  # FLAC, Ogg Vorbis and Opus were built just before; a libsndfile that did
  # not find them would quietly read none of these formats.
  grep -q '^HAVE_EXTERNAL_XIPH_LIBS:INTERNAL=1' "$work/CMakeCache.txt" ||
    grep -q '^#define HAVE_EXTERNAL_XIPH_LIBS 1' "$work/src/config.h" ||
    die "libsndfile was configured without FLAC, Ogg Vorbis and Opus (log: build/winlibs/log/libsndfile.log)"
}

build_libsoxr() {
  # No OpenMP: it would need libgomp's DLL, and one channel gains nothing.
  cmake_build -DWITH_OPENMP=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_LSR_BINDINGS=OFF
  # Its CMake build writes no pkg-config file for Windows.
  write_pc soxr "The SoX resampler library" -lsoxr
}

build_nettle() {
  # Hashes only: the public-key half would need GMP.
  configure_build --disable-public-key --disable-documentation --disable-openssl
  make -C "$work" -j "$jobs" libnettle.a
  make -C "$work" install-headers install-static install-pkgconfig
}

build_libpng1.6() {
  cmake_build -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
}

build_pixman() {
  configure_build --disable-gtk --disable-libpng --disable-openmp
  make -C "$work/pixman" -j "$jobs"
  make -C "$work/pixman" install
  make -C "$work" install-pkgconfigDATA
}

build_cairo() {
  # Drawing into memory and PNG files, text through the Windows font system
  # (no fontconfig or FreeType). A static cairo must not define DllMain:
  # CAIRO_WIN32_STATIC_BUILD, also wherever cairo.h is read.
  CFLAGS="$cflags -DCAIRO_WIN32_STATIC_BUILD" configure_build \
    --enable-win32 --enable-win32-font --enable-png --disable-xlib --disable-xlib-xrender \
    --disable-xcb --disable-ft --disable-fc --disable-ps --disable-pdf --disable-svg \
    --disable-script --disable-interpreter --disable-trace --disable-gobject --disable-full-testing \
    --disable-gtk-doc --disable-valgrind --disable-symbol-lookup
  make -C "$work/src" -j "$jobs"
  make -C "$work/src" install
  # cairo.pc leaves out the system libraries of the Windows surface and fonts,
  # which a static link needs.
  sed -i -e 's/^Cflags: \(.*\)$/Cflags: \1 -DCAIRO_WIN32_STATIC_BUILD/' \
    -e 's/^Libs.private:.*$/Libs.private: -lgdi32 -lmsimg32/' "$prefix/lib/pkgconfig/cairo.pc"
}



# --- The build --------------------------------------------------------------

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
export PKG_CONFIG=pkg-config

stamps=$top/stamps
mkdir -p "$stamps" "$top/log" "$prefix/include" "$prefix/lib/pkgconfig"
cat_toolchain >"$top/toolchain.cmake"

# The compiler, its C runtime and binutils, to the Debian package version.
compiler="$("$host-gcc" --version | head -1)
$(dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-posix \
  mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 2>/dev/null || true)"
shared_recipe=$(declare -f cat_toolchain cmake_build configure_build unpack write_pc)

build_all

if [ "$built" -gt 0 ]; then
  # The program links these with -static and no libssp: a library built with
  # the stack protector or fortified string functions would not link.
  for lib in "$prefix"/lib/*.a; do
    chk=$("$host-nm" -u "$lib" | { grep -o -E '__[a-z0-9_]*_chk(_fail|_guard)?$' || true; } | sort -u |
      tr '\n' ' ')
    [ -z "$chk" ] || die "${lib##*/} needs libssp ($chk); build it without stack protector and _FORTIFY_SOURCE"
  done
  say "$built libraries built in $(($(date +%s) - start)) s, in build/winlibs/$host"
fi
