#!/usr/bin/env bash
# The pkcs11test conformance suite against the PKCS #11 module: copies it
# from ../shared/third_party/pkcs11test (beside the checkout) into a
# temporary folder, builds it, runs it on fresh virtual cards, and fails on
# any failure not listed in tests/pkcs11/pkcs11test_expected_failures.txt
# and on any listed test that passes, so that the list stays true.
#
# usage: scripts/ci-pkcs11test.sh [BUILD_DIR]   (default: build, already built)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build}")
suite=${PKCS11TEST_DIR:-../shared/third_party/pkcs11test}
expected_list=tests/pkcs11/pkcs11test_expected_failures.txt

[ -d "$suite" ] || { echo "ci-pkcs11test: no suite at $suite" >&2; exit 1; }
[ -e "$build_dir/out/libtarnwick-pkcs11.so" ] || { echo "ci-pkcs11test: build the module in $build_dir first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$suite" "$work/suite"
make -C "$work/suite" -j2 pkcs11test >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

mkdir "$work/cards"
status=0
SKORRA_VCARD_DIR=$work/cards "$work/suite/pkcs11test" -m libtarnwick-pkcs11.so -l "$build_dir/out" -s 1 \
  -u 12345678 -o 87654321 >"$work/run.log" 2>&1 || status=$?
grep -E '^\[  (PASSED|FAILED)  \] [0-9]+ tests' "$work/run.log" || { cat "$work/run.log"; exit 1; }
[ "$status" -le 1 ] || { tail -20 "$work/run.log"; echo "ci-pkcs11test: the suite crashed ($status)" >&2; exit 1; }

# A failed test's line: "[  FAILED  ] Name, where GetParam() = ... (N ms)".
sed -n 's/^\[  FAILED  \] \([^ ,]*\).* ([0-9]* ms)$/\1/p' "$work/run.log" | sort -u >"$work/failed"
grep -v '^#' "$expected_list" | awk 'NF {print $1}' | sort -u >"$work/expected"
unexpected=$(comm -23 "$work/failed" "$work/expected")
now_passing=$(comm -13 "$work/failed" "$work/expected")
if [ -n "$unexpected" ]; then
  echo "ci-pkcs11test: failures not in $expected_list:" >&2
  echo "$unexpected" >&2
  for t in $unexpected; do sed -n "/^\[ RUN      \] ${t//\//\\/}\$/,/^\[  FAILED/p" "$work/run.log" >&2; done
fi
if [ -n "$now_passing" ]; then
  echo "ci-pkcs11test: listed in $expected_list but passing now (remove them):" >&2
  echo "$now_passing" >&2
fi
[ -z "$unexpected$now_passing" ] || exit 1
echo "ci-pkcs11test: $(wc -l <"$work/failed") failures, all expected"
