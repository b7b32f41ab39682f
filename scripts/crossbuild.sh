#!/bin/bash
# What the cross-builds of our libraries share (scripts/winlibs.sh for
# Windows, scripts/weblibs.sh for the browser page), sourced by them:
#  - the pins (scripts/winlibs.pins), one version of each library for both;
#  - Debian's source packages through apt with a configuration of our own
#    under $top/apt (deb-src lines, lists and caches; never the machine's
#    apt sources or state), signed indexes checked against Debian's archive
#    keyring, every file fetched checked against the checksum they give;
#  - each library built once behind a stamp: its pinned version, its
#    recipe, the compiler and the stamps of what it links.
# The sourcing script sets root, top, pins, keyring, stamps, compiler,
# cflags and shared_recipe, defines say, die, deps_of and a build_PKG
# function per library, and may define key_extra PKG (more of a recipe, a
# patch) and set keep_sources.
# shellcheck shell=bash disable=SC2016,SC2154,SC2034 # $(...) for apt to expand; variables of the caller and for it

# The pins, into version[PKG], mode[PKG] and order (in the file's order);
# with a list of names, only those, each of which must be pinned.
declare -A version mode
order=()
read_pins() {
  local wanted=$1 pkg ver how rest
  while read -r pkg ver how rest; do
    case "$pkg" in '' | '#'*) continue ;; esac
    if [ -z "$ver" ] || [ -z "$how" ] || [ -n "$rest" ]; then
      die "$pins: cannot read the line for '$pkg'"
    fi
    [ -z "$wanted" ] || case " $wanted " in *" $pkg "*) ;; *) continue ;; esac
    version[$pkg]=$ver
    mode[$pkg]=$how
    order+=("$pkg")
  done <"$pins"
  for pkg in $wanted; do
    [ -n "${version[$pkg]:-}" ] || die "$pins has no line for $pkg"
  done
}


aptdir=$top/apt
apt_opts=(
  -o "Dir::Etc::sourcelist=$aptdir/sources.list"
  -o "Dir::Etc::sourceparts=-"
  -o "Dir::Etc::preferences=$aptdir/preferences"
  -o "Dir::Etc::preferencesparts=$aptdir/preferences.d"
  -o "Dir::Etc::trusted=$aptdir/trusted.gpg"
  -o "Dir::Etc::trustedparts=$aptdir/trusted.gpg.d"
  -o "Dir::State::Lists=$aptdir/lists"
  -o "Dir::State::status=$aptdir/status"
  -o "Dir::Cache=$aptdir/cache"
  -o "Dir::Cache::pkgcache="
  -o "Dir::Cache::srcpkgcache="
  -o "Acquire::Languages=none"
  -o "Acquire::AllowInsecureRepositories=false"
)
# As root apt would hand the downloads to its unprivileged user, who cannot
# write into this build folder.
[ "$(id -u)" -ne 0 ] || apt_opts+=(-o "APT::Sandbox::User=root")

# The Debian mirror to fetch from: WINLIBS_DEBIAN_MIRROR and
# WINLIBS_SECURITY_MIRROR when set, else the mirrors this machine's apt
# already uses for Debian (only their addresses are taken from it).
mirror_for() {
  apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
    awk -v want="$1" '{ sec = ($2 ~ /-security$/) } (want == "security") == sec { print $1; exit }'
}

lists_fresh=false
apt_setup() {
  local archive security list
  archive=${WINLIBS_DEBIAN_MIRROR:-$(mirror_for archive)}
  security=${WINLIBS_SECURITY_MIRROR:-$(mirror_for security)}
  [ -n "$archive" ] ||
    die "no Debian mirror found in this machine's apt sources; set WINLIBS_DEBIAN_MIRROR to one (the URI that ends in /debian)"
  mkdir -p "$aptdir/lists/partial" "$aptdir/cache/archives/partial" "$aptdir/preferences.d" \
    "$aptdir/trusted.gpg.d"
  : >"$aptdir/status"
  list="deb-src [signed-by=$keyring] ${archive%/} bookworm main
deb-src [signed-by=$keyring] ${archive%/} bookworm-updates main"
  [ -z "$security" ] || list="$list
deb-src [signed-by=$keyring] ${security%/} bookworm-security main"
  if [ ! -f "$aptdir/sources.list" ] || [ "$(cat "$aptdir/sources.list")" != "$list" ]; then
    echo "$list" >"$aptdir/sources.list"
    rm -f "$aptdir/lists/"*_Sources* "$aptdir/lists/"*Release*
  fi
  ls "$aptdir/lists/"*_Sources* >/dev/null 2>&1 || apt_update
}

apt_update() {
  say "reading Debian's source indexes"
  apt-get "${apt_opts[@]}" --error-on=any update >"$top/log/apt-update.log" 2>&1 || {
    tail -20 "$top/log/apt-update.log" >&2
    die "could not read Debian's source indexes (log: ${top#"$root"/}/log/apt-update.log)"
  }
  lists_fresh=true
}

versions_of() {
  apt-cache "${apt_opts[@]}" showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u
}

# Downloads the files of source package $1 at version $2 into $3; with mode
# "orig" only the .dsc and the original tarball.
fetch() {
  local pkg=$1 ver=$2 dir=$3 how=$4 line uri name size hash
  if ! versions_of "$pkg" | grep -xF "$ver" >/dev/null; then
    $lists_fresh || apt_update
    if ! versions_of "$pkg" | grep -xF "$ver" >/dev/null; then
      die "Debian's mirror does not offer source package $pkg version $ver (any more: a point
  release or a security update replaces a version). It offers: $(versions_of "$pkg" | tr '\n' ' ')
  Put one of these on the line of $pkg in scripts/winlibs.pins and build again."
    fi
  fi
  rm -rf "$dir"
  mkdir -p "$dir"
  apt-get "${apt_opts[@]}" --only-source source --print-uris "$pkg=$ver" >"$dir.uris" 2>&1 || {
    cat "$dir.uris" >&2
    die "apt cannot name the files of $pkg $ver"
  }
  while read -r line; do
    case "$line" in "'"*) ;; *) continue ;; esac
    read -r uri name size hash <<<"$line"
    uri=${uri//\'/}
    case "$how:$name" in
      debian:* | orig:*.dsc) ;;
      orig:*.asc) continue ;;
      orig:*.orig.tar.*) ;;
      *) continue ;;
    esac
    /usr/lib/apt/apt-helper "${apt_opts[@]}" download-file "$uri" "$dir/$name" "$hash" \
      >>"$dir.log" 2>&1 || {
      tail -5 "$dir.log" >&2
      die "could not fetch $name of $pkg $ver ($size bytes)"
    }
  done <"$dir.uris"
  rm -f "$dir.uris" "$dir.log"
}

# Unpacks into $src: with Debian's patches applied, or the original tarball.
unpack() {
  local dir=$1 how=$2
  rm -rf "$src"
  if [ "$how" = debian ]; then
    # dpkg-source checks every file against the .dsc, whose own checksum
    # apt checked against the signed index.
    mkdir -p "${src%/*}"
    dpkg-source --no-copy -x "$dir"/*.dsc "$src"
  else
    mkdir -p "$src"
    tar -xf "$dir"/*.orig.tar.* -C "$src" --strip-components=1
  fi
  # Debian's patches touch configure.ac and Makefile.am, which would make
  # the build try to rerun autoconf and automake. The generated files that
  # ship with the sources serve: make them newer than their inputs.
  if [ -f "$src/configure.ac" ] && [ -f "$src/configure" ]; then
    find "$src" -exec touch -h -d '2000-01-01 00:00:00' {} +
    find "$src" \( -name configure -o -name aclocal.m4 -o -name Makefile.in -o -name 'config.h.in' -o -name stamp-h.in \) \
      -exec touch {} +
  fi
}

# The header-only libraries, from Debian's own packages at the pinned
# version: their headers copied into the prefix, with a pkg-config file
# that points there.
build_nlohmann-json3-dev() {
  local have
  have=$(dpkg-query -W -f='${Version}' nlohmann-json3-dev 2>/dev/null || true)
  [ "$have" = "${version[nlohmann-json3-dev]}" ] ||
    die "nlohmann-json3-dev ${version[nlohmann-json3-dev]} is pinned, ${have:-none} is installed;
  install the pinned one, or put the installed version in scripts/winlibs.pins"
  rm -rf "$prefix/include/nlohmann"
  cp -a /usr/include/nlohmann "$prefix/include/"
  sed "s|-I/usr/include|-I$prefix/include|" /usr/share/pkgconfig/nlohmann_json.pc \
    >"$prefix/lib/pkgconfig/nlohmann_json.pc"
}

build_libtomlplusplus-dev() {
  local have
  have=$(dpkg-query -W -f='${Version}' libtomlplusplus-dev 2>/dev/null || true)
  [ "$have" = "${version[libtomlplusplus-dev]}" ] ||
    die "libtomlplusplus-dev ${version[libtomlplusplus-dev]} is pinned, ${have:-none} is installed;
  install the pinned one, or put the installed version in scripts/winlibs.pins"
  rm -rf "$prefix/include/toml++"
  cp -a /usr/include/toml++ "$prefix/include/"
  # Debian's tomlplusplus.pc names its shared library; the static converter
  # and the page compile the same headers in, header-only.
  sed -e "s|^prefix=.*|prefix=$prefix|" -e 's|^libdir=.*|libdir=${prefix}/lib|' -e '/^Libs:/d' \
    -e 's|^Cflags:.*|Cflags: -I${includedir} -DTOML_HEADER_ONLY=1|' \
    /usr/lib/x86_64-linux-gnu/pkgconfig/tomlplusplus.pc >"$prefix/lib/pkgconfig/tomlplusplus.pc"
}

key_extra() { :; }

key_of() {
  local pkg=$1 dep
  {
    echo "$pkg ${version[$pkg]} ${mode[$pkg]}"
    echo "$compiler $cflags"
    echo "$shared_recipe"
    declare -f "build_$pkg"
    key_extra "$pkg"
    for dep in $(deps_of "$pkg"); do
      cat "$stamps/$dep" 2>/dev/null || echo "$dep not built"
    done
  } | sha256sum | cut -d' ' -f1
}

# Runs a step into the log and stops on its failure. Called as a plain
# command: under "if" or "||", bash would ignore set -e inside the step and
# carry on past a failed command.
step() {
  local what=$1 rc
  shift
  set +e
  (
    set -e
    "$@"
  ) >>"$log" 2>&1
  rc=$?
  set -e
  if [ "$rc" -ne 0 ]; then
    tail -25 "$log" >&2
    die "$what failed (log: ${top#"$root"/}/log/${log##*/})"
  fi
}

# Builds every pinned library whose stamp is missing or out of date; sets
# built (how many) and start (when it began).
build_all() {
  local pkg key t0 apt_ready=false
  start=$(date +%s)
  built=0
  for pkg in "${order[@]}"; do
    declare -F "build_$pkg" >/dev/null || die "$pins names $pkg, which this script cannot build"
    key=$(key_of "$pkg")
    [ "$(cat "$stamps/$pkg" 2>/dev/null)" != "$key" ] || continue
    t0=$(date +%s)
    say "building $pkg ${version[$pkg]}"
    log=$top/log/$pkg.log
    src=$top/src/$pkg
    work=$top/work/$pkg
    rm -rf "$work"
    mkdir -p "$work"
    : >"$log"
    if [ "${mode[$pkg]}" != installed ]; then
      $apt_ready || {
        apt_setup
        apt_ready=true
      }
      fetch "$pkg" "${version[$pkg]}" "$top/downloads/$pkg" "${mode[$pkg]}"
      step "unpacking $pkg" unpack "$top/downloads/$pkg" "${mode[$pkg]}"
    fi
    # From here on the prefix holds a mix of old and new files until the
    # library is installed whole.
    rm -f "$stamps/$pkg"
    step "building $pkg" "build_$pkg"
    [ -n "${keep_sources:-}" ] || rm -rf "$work" "$src" "$top/downloads/$pkg"
    echo "$key" >"$stamps/$pkg"
    say "built $pkg in $(($(date +%s) - t0)) s"
    built=$((built + 1))
  done
}
