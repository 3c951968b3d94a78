#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, and builds a static
# libcurl (Schannel, zlib, HTTP/HTTPS only) for the Windows target into a cache outside the
# source tree. Safe to run again: every step checks first and does nothing when done.
set -euo pipefail

CACHE_DIR="${KELTO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelto-setup}"
CURL_PREFIX="$CACHE_DIR/curl-mingw"
STAMP="$CURL_PREFIX/.built-8"

PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth fonts-wine fonts-wqy-microhei xdotool imagemagick optipng
  clang libclang-rt-14-dev cmake ninja-build make
  libz-mingw-w64-dev zlib1g-dev libstb-dev googletest python3 dpkg-dev iproute2 util-linux
  openssl osslsigncode nginx-light
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  # Packages with a service (nginx, which the benchmarks start themselves on loopback) must
  # not start one: while they install, the system's policy refuses every service start,
  # unless a policy of the machine's own is in place already.
  policy=/usr/sbin/policy-rc.d
  own_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null && as_root chmod 755 "$policy"
    own_policy=1
  fi
  status=0
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || status=$?
  [ "$own_policy" = 1 ] && as_root rm -f "$policy"
  [ "$status" = 0 ] || exit "$status"
fi

if [ -f "$STAMP" ]; then
  exit 0
fi
# Several checkouts on one machine share the cache: one builds libcurl, the others wait for it.
mkdir -p "$CACHE_DIR"
exec 9>"$CACHE_DIR/.setup.lock"
flock 9
if [ -f "$STAMP" ]; then
  exit 0
fi

# libcurl for the Windows target, from Debian's own source package.
SRC_LIST=/etc/apt/sources.list.d/kelto-deb-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  echo "setup: enabling Debian source packages"
  as_root sh -c "cat > $SRC_LIST" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  as_root apt-get update -qq
fi

WORK="$CACHE_DIR/curl-src"
rm -rf "$WORK" && mkdir -p "$WORK"
( cd "$WORK" && apt-get source -qq curl >/dev/null 2>&1 )
SRC=$(find "$WORK" -maxdepth 1 -mindepth 1 -type d -name 'curl-*' | head -n 1)
[ -n "$SRC" ] || { echo "setup: apt-get source curl failed" >&2; exit 1; }

# Debian's last two patches rename the library for its other TLS builds; undo them.
( cd "$SRC"
  for p in 99_nss 90_gnutls; do
    f=$(ls debian/patches | grep -E "^${p}" | head -n 1 || true)
    [ -n "$f" ] && patch -R -p1 -s < "debian/patches/$f" || true
  done )

cat > "$WORK/toolchain.cmake" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
TC

# Built for size and without what the installer never uses (cookies, HSTS, alt-svc, DNS over
# HTTPS, forms, .netrc): every player downloads the installer.
echo "setup: building libcurl for Windows (about two minutes)"
cmake -S "$SRC" -B "$WORK/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$WORK/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$CURL_PREFIX" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF \
  -DHTTP_ONLY=ON -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF \
  -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_USE_LIBPSL=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
  -DENABLE_MANUAL=OFF -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
  -DCURL_ZLIB=ON -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
  -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
  -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG -ffunction-sections -fdata-sections" \
  -DCURL_DISABLE_ALTSVC=ON -DCURL_DISABLE_COOKIES=ON -DCURL_DISABLE_DOH=ON \
  -DCURL_DISABLE_HSTS=ON -DCURL_DISABLE_MIME=ON -DCURL_DISABLE_NETRC=ON \
  -DCURL_DISABLE_GETOPTIONS=ON -DENABLE_UNIX_SOCKETS=OFF \
  -DCMAKE_EXE_LINKER_FLAGS="-static" >"$WORK/configure.log" 2>&1 \
  || { tail -n 40 "$WORK/configure.log" >&2; exit 1; }
cmake --build "$WORK/build" >"$WORK/build.log" 2>&1 || { tail -n 40 "$WORK/build.log" >&2; exit 1; }
cmake --install "$WORK/build" >/dev/null
cp "$WORK/build/src/curl.exe" "$CURL_PREFIX/bin/curl.exe" 2>/dev/null || true
rm -rf "$WORK"
touch "$STAMP"
echo "setup: libcurl ready in $CURL_PREFIX"
