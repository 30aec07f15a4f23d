#!/usr/bin/env bash
# Cross-builds the Windows libraries (libcurl with Schannel, JsonCpp, GoogleTest) from Debian's own
# sources into a cache directory outside the clone. The directory name carries the versions of
# every input, so a second run on the same machine only checks that the cache is there.
# Prints the prefix directory on standard output as its last line.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache_root=${DEVU_CACHE:-$HOME/.cache/devu_dodazavavi}
host=x86_64-w64-mingw32

pkgver() { dpkg-query -W -f='${Version}' "$1"; }

curl_ver=$(pkgver libcurl4-openssl-dev)
jsoncpp_ver=$(pkgver libjsoncpp-dev)
gtest_ver=$(pkgver googletest)
zlib_ver=$(pkgver libz-mingw-w64-dev)
gcc_ver=$(pkgver g++-mingw-w64-x86-64-posix)
script_sum=$(cat "$0" "$here/../cmake/mingw-w64-x86_64.cmake" | sha1sum | cut -c1-10)
key=$(printf '%s|' "$curl_ver" "$jsoncpp_ver" "$gtest_ver" "$zlib_ver" "$gcc_ver" "$script_sum" | sha1sum | cut -c1-16)
prefix="$cache_root/windeps-$key"

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log() { echo "win-deps: $*" >&2; }
log "building into $prefix (curl $curl_ver, jsoncpp $jsoncpp_ver, googletest $gtest_ver)"

# apt-get source needs deb-src entries; add them for the Debian mirror that is already configured.
ensure_deb_src() {
  if apt-get source --print-uris curl="$curl_ver" >/dev/null 2>&1; then return; fi
  local out=/etc/apt/sources.list.d/devu-deb-src.sources
  : > "$out.tmp"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$out" ] || continue
    # Copy each stanza of type deb that points to a Debian archive, as deb-src.
    awk 'BEGIN{RS=""; ORS="\n\n"} /Types:[^\n]*deb( |\n|$)/ && /URIs:[^\n]*debian/ {
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >> "$out.tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb +[^ ]*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      > /etc/apt/sources.list.d/devu-deb-src.list || true
    [ -s /etc/apt/sources.list.d/devu-deb-src.list ] || rm -f /etc/apt/sources.list.d/devu-deb-src.list
  fi
  if [ -s "$out.tmp" ]; then mv "$out.tmp" "$out"; else rm -f "$out.tmp"; fi
  log "added deb-src entries; updating package lists"
  apt-get update -qq
}

work=$(mktemp -d "${TMPDIR:-/tmp}/devu-windeps.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage="$prefix.partial"
rm -rf "$stage"
mkdir -p "$stage"

ensure_deb_src
jobs=$(nproc)
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"

fetch_source() { # package version -> prints the unpacked directory
  local pkg=$1 ver=$2
  (cd "$work" && apt-get source -qq "$pkg=$ver" >/dev/null 2>&1) || {
    log "apt-get source $pkg=$ver failed"; exit 1; }
  find "$work" -mindepth 1 -maxdepth 1 -type d -name "${3:-$pkg}-*" | head -n 1
}

# libcurl: static, Schannel, only the protocols we use (http, https).
log "curl"
curl_src=$(fetch_source curl "$curl_ver")
[ -d "$curl_src" ] || exit 1
(
  cd "$curl_src"
  ./configure -q --host=$host --prefix="$stage" \
    CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib CFLAGS="-O2" \
    --disable-shared --enable-static --with-schannel --without-openssl \
    --with-zlib=/usr/$host \
    --disable-ldap --disable-ldaps --disable-rtsp --disable-dict --disable-telnet --disable-tftp \
    --disable-pop3 --disable-imap --disable-smb --disable-smtp --disable-gopher --disable-mqtt \
    --disable-ftp --disable-file --disable-manual --disable-ntlm-wb \
    --without-libpsl --without-brotli --without-zstd --without-libidn2 --without-nghttp2 \
    --without-librtmp --without-libssh2 --without-libgsasl >/dev/null
  make -s -C lib -j"$jobs" >/dev/null
  make -s -C lib install >/dev/null
  make -s -C include install >/dev/null
)

# JsonCpp: static library.
log "jsoncpp"
json_src=$(fetch_source libjsoncpp "$jsoncpp_ver" jsoncpp)
[ -n "$json_src" ] || json_src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjsoncpp-*' | head -n 1)
[ -d "$json_src" ] || exit 1
cmake -S "$json_src" -B "$work/jsoncpp-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=ON >/dev/null
cmake --build "$work/jsoncpp-build" -j"$jobs" >/dev/null
cmake --install "$work/jsoncpp-build" >/dev/null

# GoogleTest and GoogleMock from the source Debian ships.
log "googletest"
cmake -S /usr/src/googletest -B "$work/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" -DBUILD_GMOCK=ON \
  -Dgtest_force_shared_crt=OFF >/dev/null
cmake --build "$work/gtest-build" -j"$jobs" >/dev/null
cmake --install "$work/gtest-build" >/dev/null

touch "$stage/.complete"
rm -rf "$prefix"
mv "$stage" "$prefix"
log "done"
echo "$prefix"
