#!/bin/bash
# Installs the toolchain and test tools from Debian's packages and builds the
# third-party libraries for mingw-w64 into .deps/ (ignored). Idempotent: a second
# run with everything present only checks and returns.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ROOT/scripts/versions.env"
DEPS="$ROOT/.deps"
PREFIX="$DEPS/mingw"
CC=x86_64-w64-mingw32-gcc-posix
AR=x86_64-w64-mingw32-ar

PACKAGES=(
  "$MINGW_GCC_PKG" gcc-mingw-w64-x86-64-posix cmake ninja-build make
  "$WINE_PKG" wine xvfb xdotool x11-utils x11-apps imagemagick
  fonts-liberation fonts-open-sans librsvg2-bin
  "$ZLIB_MINGW_PKG" googletest dpkg-dev python3 procps openssl bc unzip
  nsis ccache openbox
)

log() { echo "[setup] $*"; }

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

ensure_deb_src() {
  if grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list; then
    return 1
  fi
  log "adding a deb-src entry for Debian's sources"
  local uris suites
  uris=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  [ -n "$uris" ] || uris=http://deb.debian.org/debian
  sudo_if_needed tee /etc/apt/sources.list.d/debian-src.sources >/dev/null <<SRC
Types: deb-src
URIs: $uris
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  return 0
}

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  local need_update=0
  ensure_deb_src && need_update=1
  if [ ${#missing[@]} -gt 0 ]; then need_update=1; fi
  if [ ! -d "$DEPS/src" ] || [ ! -f "$DEPS/src/.sources-done" ]; then
    # apt-get source needs fresh source indices
    ls /var/lib/apt/lists/*_source_Sources >/dev/null 2>&1 || need_update=1
  fi
  if [ $need_update -eq 1 ]; then
    log "apt-get update"
    sudo_if_needed apt-get update -qq
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

fetch_sources() {
  mkdir -p "$DEPS/src"
  cd "$DEPS/src"
  if [ ! -d hidapi-0.13.1 ]; then
    log "fetching hidapi $HIDAPI_SRC_VERSION sources"
    apt-get source -qq "hidapi=$HIDAPI_SRC_VERSION" >/dev/null
  fi
  if [ ! -d zlib-1.2.13.dfsg ]; then
    log "fetching zlib $ZLIB_SRC_VERSION sources"
    apt-get source -qq "zlib=$ZLIB_SRC_VERSION" >/dev/null
  fi
  touch .sources-done
}

build_hidapi() {
  [ -f "$PREFIX/lib/libhidapi.a" ] && return 0
  log "building hidapi (Windows back end, static)"
  local src="$DEPS/src/hidapi-0.13.1" obj="$DEPS/obj/hidapi"
  mkdir -p "$obj" "$PREFIX/lib" "$PREFIX/include/hidapi"
  $CC -O2 -Wall -DUNICODE -D_UNICODE -I"$src/hidapi" -I"$src/windows" -c "$src/windows/hid.c" -o "$obj/hid.o"
  rm -f "$PREFIX/lib/libhidapi.a"
  $AR rcs "$PREFIX/lib/libhidapi.a" "$obj/hid.o"
  cp "$src/hidapi/hidapi.h" "$src/windows/hidapi_winapi.h" "$PREFIX/include/hidapi/"
}

build_minizip() {
  [ -f "$PREFIX/lib/libminizip.a" ] && return 0
  log "building minizip (unzip, ioapi, iowin32, static)"
  local src="$DEPS/src/zlib-1.2.13.dfsg/contrib/minizip" obj="$DEPS/obj/minizip"
  mkdir -p "$obj" "$PREFIX/lib" "$PREFIX/include/minizip"
  for f in unzip ioapi iowin32; do
    $CC -O2 -DNOCRYPT -DNOUNCRYPT -I"$src" -c "$src/$f.c" -o "$obj/$f.o"
  done
  rm -f "$PREFIX/lib/libminizip.a"
  $AR rcs "$PREFIX/lib/libminizip.a" "$obj"/unzip.o "$obj"/ioapi.o "$obj"/iowin32.o
  cp "$src"/unzip.h "$src"/ioapi.h "$src"/iowin32.h "$PREFIX/include/minizip/"
}

build_gtest() {
  [ -f "$PREFIX/lib/libgmock.a" ] && [ -f "$PREFIX/lib/libgtest_main.a" ] && return 0
  log "building GoogleTest/GoogleMock with mingw"
  cmake -S /usr/src/googletest -B "$DEPS/obj/googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$DEPS/obj/googletest" >/dev/null
  cmake --install "$DEPS/obj/googletest" >/dev/null
}

install_packages
fetch_sources
build_hidapi
build_minizip
build_gtest
log "ready: $PREFIX"
