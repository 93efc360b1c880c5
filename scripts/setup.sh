#!/bin/bash
# Installs what the build and the tests need on a Debian 12 machine; a second run does no work.
set -euo pipefail
# Set by a script that ran this already (test.sh before fuzz.sh): nothing to do, nothing said.
[ -z "${COSTUPDATE_SETUP_DONE:-}" ] || exit 0
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="$root/.cache"

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
# An index that fails to download (Debian's i386 security index while a mirror syncs) fails
# the whole update, though the others were read; what needs them fails later by itself.
apt_update() {
  sudo_ apt-get update -qq && return 0
  echo "setup: apt-get update reported errors; going on with the indexes it could read"
  return 1
}

packages=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev g++-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix wine wine64 xvfb xauth xdotool locales fonts-ipafont-gothic libsqlite3-dev sqlite3 tcl
  imagemagick scrot gcovr python3 xz-utils time clang libclang-rt-14-dev openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update || true
  updated=1
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit Windows programs need Wine's i386 half. While the registry's i386 security index is
# being synced, i386 libraries can lag their amd64 twins and apt refuses the install; then the
# install is tried again with the security suite pinned down, so that both halves come from
# the main suite at one version. A failure here leaves the 32-bit tests to be skipped.
install_wine32() {
  dpkg --print-foreign-architectures | grep -qx i386 || sudo_ dpkg --add-architecture i386
  local try
  for try in 1 2 3; do
    apt_update && break
    echo "setup: waiting before trying again ($try)"
    sleep 10
  done
  if sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    wine32:i386; then
    return 0
  fi
  echo "setup: wine32:i386 did not install; trying again without the security suite"
  local pin=/etc/apt/preferences.d/costupdate-wine32
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: -10\n' | sudo_ tee "$pin" >/dev/null
  apt_update || true
  # Packages both halves need at one version, named for both so apt may downgrade the amd64 one.
  local twins=()
  local p v
  for p in libgstreamer-plugins-base1.0-0; do
    v="$(apt-cache policy "$p:i386" 2>/dev/null | awk '/Candidate:/ {print $2}')"
    [ -n "$v" ] && [ "$v" != "(none)" ] && twins+=("$p:i386=$v" "$p:amd64=$v")
  done
  local ok=0
  sudo_ env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    --allow-downgrades wine32:i386 "${twins[@]}" && ok=1
  sudo_ rm -f "$pin"
  apt_update || true
  [ "$ok" = 1 ] || echo "setup: wine32:i386 could not be installed; 32-bit programs will not run here"
}
# Only where the kernel runs 32-bit programs: elsewhere wine32 installs but cannot start,
# and the 32-bit build is made and not run.
if "$root/scripts/runs-32-bit.sh"; then
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "setup: installing wine32:i386"
    install_wine32
  fi
  echo "setup: this machine runs 32-bit programs: both Windows builds are tested"
else
  echo "setup: this machine cannot run 32-bit programs: the 32-bit Windows build is made, not run"
fi

# Wine takes its ANSI code page from the locale: 932 needs ja_JP.UTF-8 generated.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  sudo_ localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# SQLite for MinGW: the amalgamation built from Debian's own sqlite3 source package.
if [ ! -f "$cache/sqlite/sqlite3.c" ]; then
  mkdir -p "$cache/sqlite-src"
  if ! ls "$cache"/sqlite-src/sqlite3_*.orig.tar.* >/dev/null 2>&1; then
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
      echo "setup: adding a deb-src entry"
      src=/etc/apt/sources.list.d/debian.sources
      if [ -f "$src" ]; then
        sed -n '1,/^$/p' "$src" | sed 's/^Types:.*/Types: deb-src/' | sudo_ tee /etc/apt/sources.list.d/costupdate-src.sources >/dev/null
      else
        grep '^deb ' /etc/apt/sources.list | head -1 | sed 's/^deb /deb-src /' | sudo_ tee /etc/apt/sources.list.d/costupdate-src.list >/dev/null
      fi
      updated=0
    fi
    [ "$updated" = 1 ] || apt_update || true
    (cd "$cache/sqlite-src" && apt-get source --download-only sqlite3 >/dev/null)
  fi
  work="$cache/sqlite-build"
  rm -rf "$work" && mkdir -p "$work"
  tar -xf "$(ls "$cache"/sqlite-src/sqlite3_*.orig.tar.* | head -1)" -C "$work"
  tree="$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -1)"
  echo "setup: building sqlite3.c"
  (cd "$tree" && ./configure >/dev/null && make sqlite3.c >/dev/null)
  mkdir -p "$cache/sqlite"
  cp "$tree/sqlite3.c" "$tree/sqlite3.h" "$cache/sqlite/"
  rm -rf "$work"
fi
