#!/bin/bash
# Debian's source packages for our cross-builds (scripts/winlibs.sh,
# scripts/weblibs.sh), sourced by them: apt with a configuration of our own
# under $top/apt (deb-src lines, lists and caches; never the machine's apt
# sources or state), signed indexes checked against Debian's archive
# keyring, every file fetched checked against the checksum they give.
# The sourcing script sets root, top and keyring and defines say and die.
# shellcheck shell=bash disable=SC2016,SC2154 # $(...) for apt to expand; variables of the caller


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
