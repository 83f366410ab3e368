#!/usr/bin/env bash
# Builds the .deb, checks that it puts the libraries in the multiarch folder
# and the p11-kit module file where p11-kit reads it, then unpacks it into a
# scratch root and has `p11-kit list-modules` find the module there through
# a user's module file (p11-kit reads user files only for other users than
# root, so as root it runs as nobody).
#
# usage: deb_test.sh BUILD_DIR
set -euo pipefail

build_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "deb_test: $*" >&2; exit 1; }

cpack --config "$build_dir/CPackConfig.cmake" -B "$work" >/dev/null 2>&1 || fail "cpack failed"
deb=$(find "$work" -maxdepth 1 -name 'tarnwick_*.deb' -print -quit)
[ -n "$deb" ] || fail "no .deb built"
arch_dir=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
module_dir=$(pkg-config --variable=p11_module_configs p11-kit-1)
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in "$arch_dir/libtarnwick-pkcs11.so" "$arch_dir/libtarnwick.so.1" "$arch_dir/libskorra.so" "$module_dir/tarnwick.module"; do
  grep -qx ".$f" <<<"$listing" || fail "the package has no $f"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
named=$(sed -n 's/^module: //p' "$root$module_dir/tarnwick.module")
[ "$named" = "$arch_dir/libtarnwick-pkcs11.so" ] || fail "tarnwick.module names $named"
mkdir -p "$work/home/.config/pkcs11/modules" "$work/cards"
echo "module: $root$named" >"$work/home/.config/pkcs11/modules/tarnwick.module"
chmod -R a+rX "$work" && chmod a+w "$work/cards"
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
# A sanitizer build's module needs its runtimes loaded first.
preload=$(ldd "$root$named" | awk '/lib(asan|ubsan)\./ {print $3}' | paste -sd: -)
out=$(env HOME="$work/home" SKORRA_VCARD_DIR="$work/cards" LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 \
  "${as_user[@]}" p11-kit list-modules 2>&1)
grep -q "^tarnwick: $root$named" <<<"$out" || fail "p11-kit list-modules does not show the module: $out"
grep -q 'library-description: Tarnwick smart card module' <<<"$out" || fail "p11-kit did not load the module: $out"
echo "PASS deb"
