#!/usr/bin/env bash
# Windows job: cross-builds Tarnwick.dll and its drivers with mingw-w64,
# against a static libcrypto and GoogleTest built here from Debian's sources,
# runs the unit and end-to-end tests under Wine through CTest and checks the
# DLL's export table. The cross-built dependencies are kept in
# build-win-deps/ (or $TARNWICK_WIN_DEPS) and reused when present.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=${TARNWICK_WIN_DEPS:-$root/build-win-deps}
prefix=$deps/prefix
host=x86_64-w64-mingw32
jobs=$(nproc)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

step() { echo "== windows: $* ($(date -u +%T))"; }
fail_with_log() { tail -n 40 "$1"; echo "== windows: failed, full log in $1"; exit 1; }

install_packages() {
  local packages=(g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev make perl cmake ninja-build googletest libp11-kit-dev)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  step "installing ${missing[*]}"
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# apt-get source needs deb-src entries: a twin of the machine's Debian list
# with its Types line changed.
add_source_list() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ && return
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  $sudo apt-get update -q
}

# The plain "apt-get source" also wants the security suite's Debian patches,
# which it cannot always fetch; the upstream tarball is all we build from.
fetch_openssl() {
  [ -d "$deps/src/openssl" ] && return
  add_source_list
  step "fetching the OpenSSL sources"
  mkdir -p "$deps/src" && rm -rf "$deps/src/fetch" && mkdir "$deps/src/fetch"
  (cd "$deps/src/fetch" && apt-get source -q --tar-only openssl)
  mkdir "$deps/src/openssl.tmp"
  tar -xf "$deps"/src/fetch/openssl_*.orig.tar.* -C "$deps/src/openssl.tmp" --strip-components=1
  mv "$deps/src/openssl.tmp" "$deps/src/openssl"
}

# libcrypto.a only, without the algorithms and protocols nothing here uses;
# DES, SHA, AES, RSA and the big-number and EVP layers stay.
build_openssl() {
  [ -f "$prefix/lib/libcrypto.a" ] && return
  fetch_openssl
  step "building libcrypto.a"
  local src=$deps/src/openssl
  (cd "$src" &&
    CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib RC=$host-windres \
      ./Configure mingw64 no-shared no-asm no-tests \
        no-aria no-bf no-blake2 no-camellia no-cast no-chacha no-cmac no-cmp no-cms no-comp no-ct \
        no-dgram no-dh no-dsa no-dtls no-ec no-engine no-gost no-idea no-md4 no-mdc2 no-ocb no-ocsp \
        no-poly1305 no-psk no-rc2 no-rc4 no-rmd160 no-scrypt no-seed no-siphash no-siv no-sm2 no-sm3 \
        no-sm4 no-sock no-srp no-srtp no-ssl no-tls no-ts no-ui-console no-whirlpool &&
    make -j"$jobs" build_generated &&
    make -j"$jobs" libcrypto.a) >"$deps/openssl-build.log" 2>&1 || fail_with_log "$deps/openssl-build.log"
  mkdir -p "$prefix/include" "$prefix/lib"
  cp -r "$src/include/openssl" "$prefix/include/"
  cp "$src/libcrypto.a" "$prefix/lib/"
}

# GoogleTest and GoogleMock from the sources of Debian's googletest package,
# the same version the Linux build tests with.
build_googletest() {
  [ -f "$prefix/lib/libgtest.a" ] && return
  step "building GoogleTest"
  local build=$deps/googletest-build
  rm -rf "$build"
  (cmake -S /usr/src/googletest -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
     -Dgtest_disable_pthreads=OFF &&
   cmake --build "$build" -j"$jobs" &&
   cmake --install "$build") >"$deps/googletest-build.log" 2>&1 || fail_with_log "$deps/googletest-build.log"
}

# Wine without a display or a desktop, in a prefix of its own that lives as
# long as this job.
start_wine() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-wine.XXXXXX")
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  trap stop_wine EXIT
  step "preparing a Wine prefix"
  # Wine's background processes would inherit CTest's pipes and keep every
  # test waiting for them; a session started here, with its output
  # detached, serves all the tests instead. The persistent server comes
  # first: started after wineboot it finds wineboot's own server still up
  # and refuses.
  wineserver -p </dev/null >/dev/null 2>&1
  wineboot -i </dev/null >/dev/null 2>&1
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1
}

stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

# The DLL's export table holds exactly the 51 names of the public header,
# undecorated.
check_exports() {
  local dll=build-win/out/Tarnwick.dll
  local exported declared
  exported=$($host-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
               sed -n 's/^\t\[ *[0-9]*\] //p' | sort)
  declared=$(grep -o 'TW_API [^;(]*[ *][A-Za-z_0-9]*(' include/tarnwick.h | sed 's/.*[ *]\([A-Za-z_0-9]*\)($/\1/' | sort)
  if [ "$exported" != "$declared" ] || [ "$(echo "$exported" | wc -l)" -ne 51 ]; then
    echo "Tarnwick.dll exports:"; echo "$exported"
    echo "== windows: the export table is not the 51 names of tarnwick.h"
    exit 1
  fi
  echo "Tarnwick.dll exports the $(echo "$exported" | wc -l) names of tarnwick.h, undecorated"
  local module=build-win/out/tarnwick-pkcs11.dll others
  exported=$($host-objdump -p "$module" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
               sed -n 's/^\t\[ *[0-9]*\] //p')
  others=$(echo "$exported" | grep -v '^C_' || true)
  if ! echo "$exported" | grep -qx C_GetFunctionList || [ -n "$others" ]; then
    echo "tarnwick-pkcs11.dll exports:"; echo "$exported"
    echo "== windows: the module exports more than the C_* functions"
    exit 1
  fi
  echo "tarnwick-pkcs11.dll exports $(echo "$exported" | wc -l) C_* functions and nothing else"
}

started=$(date +%s)
install_packages
build_openssl
build_googletest
step "configuring and building"
cmake --preset windows -DTARNWICK_WINDOWS_DEPS="$prefix"
cmake --build --preset windows
check_exports
start_wine
step "testing under Wine"
ctest --preset windows
step "done in $(($(date +%s) - started)) s"
