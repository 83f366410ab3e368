#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks the installed
# layout, builds tests/install/consumer.c against it with pkg-config and with
# find_package(Tarnwick), and runs both programs and the installed tool
# against the virtual card.
#
# usage: consumer_test.sh BUILD_DIR C_COMPILER "C_FLAGS" "LINKER_FLAGS" GENERATOR
set -euo pipefail

build_dir=$1
cc=$2
c_flags=$3
ld_flags=$4
generator=$5
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
# Nothing from the build tree may help the installed programs along.
unset LD_LIBRARY_PATH
export SKORRA_VCARD_DIR=$work/cards
mkdir -p "$SKORRA_VCARD_DIR"

fail() { echo "consumer_test: $*" >&2; exit 1; }

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

pc_file=$(find "$prefix" -name tarnwick.pc -print -quit)
[ -n "$pc_file" ] || fail "tarnwick.pc not installed"
export PKG_CONFIG_PATH=$(dirname "$pc_file")
libdir=$(pkg-config --variable=libdir tarnwick)
[[ $libdir == "$prefix"/* && $libdir != *..* ]] || fail "pkg-config's libdir $libdir is not a plain path under $prefix"

for f in include/tarnwick.h include/tarnwick_driver.h bin/tarnwick bin/tarnwick-vcard; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
[ -L "$libdir/libtarnwick.so" ] || fail "libtarnwick.so is not a link to the versioned library"
[ -e "$libdir/libtarnwick.so.1" ] || fail "libtarnwick.so.1 (the SONAME) not installed"
[ -e "$libdir/libskorra.so" ] || fail "libskorra.so not installed beside the library"
[ -e "$libdir/cmake/Tarnwick/TarnwickConfigVersion.cmake" ] || fail "CMake package version file not installed"

echo "== PKCS #11 module and its p11-kit module file"
[ -e "$libdir/libtarnwick-pkcs11.so" ] || fail "libtarnwick-pkcs11.so not installed beside the library"
module_file=$(find "$prefix" -name tarnwick.module -print -quit)
[ -n "$module_file" ] || fail "tarnwick.module not installed"
named=$(sed -n 's/^module: //p' "$module_file")
[ "$(realpath "$named")" = "$(realpath "$libdir/libtarnwick-pkcs11.so")" ] || fail "tarnwick.module names $named"
# A sanitizer build's module needs its runtimes loaded first into a client
# that was built without them; the client's own leaks are not ours.
preload=$(ldd "$libdir/libtarnwick-pkcs11.so" | awk '/lib(asan|ubsan)\./ {print $3}' | paste -sd: -)
LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0 pkcs11-tool --module "$libdir/libtarnwick-pkcs11.so" -L |
  grep -q "Tarnwick COM1" || fail "installed module lists no slot"

echo "== pkg-config"
# shellcheck disable=SC2086,SC2046
"$cc" $c_flags "$here/consumer.c" -o "$work/consumer-pc" $(pkg-config --cflags --libs tarnwick) \
  -Wl,-rpath,"$libdir" $ld_flags
"$work/consumer-pc"

echo "== find_package"
cmake -S "$here/consumer" -B "$work/consumer-cmake" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$c_flags" -DCMAKE_EXE_LINKER_FLAGS="$ld_flags" >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
"$work/consumer-cmake/consumer"

echo "== installed tool"
out=$("$prefix/bin/tarnwick" read-bin 4 --file 0001)
echo "$out"
grep -q "CA FE 00 01" <<<"$out" || fail "the tool did not read back what the consumers wrote"
