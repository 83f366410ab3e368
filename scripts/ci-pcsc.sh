#!/usr/bin/env bash
# CI: the end-to-end suite through PC/SC - the library, libusbskorra.so,
# libpcsclite, pcscd, vpcd and tarnwick-vcard - and the timing of one
# command through that path against SCardTransmit called straight.
#
# pcscd runs in the foreground under this script, which stops it by its PID
# on the way out, whatever the way out. The tests serve their own cards in
# vpcd's first slot ("Virtual PCD 00 00"); the card this script serves sits
# in the second slot ("Virtual PCD 00 01") and shows the whole stack works
# before the tests run (tarnwick lists it with its ATR and sends it a
# command), then carries the timing.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh pcscd libccid libpcsclite-dev vsmartcard-vpcd pcsc-tools

build=build
cmake --preset default -DTARNWICK_PCSC_E2E=ON >/dev/null
cmake --build "$build" -j2

pcscd_pid=""
vcard_pid=""
# A process stopped by its signal reports 143 to wait; under set -e that
# must not end the trap before pcscd is stopped too.
stop_all() {
  local pid
  for pid in "$vcard_pid" "$pcscd_pid"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop_all EXIT

# Polls `check` every 0.1 s for up to 20 s; fails with `what` otherwise.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 200); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  echo "ci-pcsc: gave up waiting for $what" >&2
  return 1
}
reader_listed() { pcsc_scan -r 2>/dev/null | grep -q "Virtual PCD 00 00"; }
card_in_second_slot() {
  timeout 5 pcsc_scan -c 2>/dev/null | grep -A2 "Virtual PCD 00 01" | grep -q "Card inserted"
}

pcscd --foreground --error &
pcscd_pid=$!
wait_for "pcscd to list vpcd's reader" reader_listed

"$build/out/tarnwick-vcard" --port 35964 &
vcard_pid=$!
wait_for "the card in Virtual PCD 00 01" card_in_second_slot

echo "== the tool through PC/SC: the readers, then a raw command to the served card"
readers=$("$build/out/tarnwick" --driver usb readers)
echo "$readers"
grep -qx "COM2: PC/SC reader 'Virtual PCD 00 01'" <<<"$readers"
grep -qx "  ATR: 3B 8A 80 01 54 41 52 4E 57 49 43 4B 01 00 15" <<<"$readers"
answer=$("$build/out/tarnwick" --driver usb --port 2 apdu 00 A4 00 00 02 00 01)
echo "$answer"
grep -qx "apdu: 9000 command completed" <<<"$answer"

ctest --test-dir "$build" -L pcsc --output-on-failure

echo "== two programs on one card through PC/SC: ssh-agent holding it while pkcs11-tool and PyKCS11 use it"
kill "$vcard_pid"; wait "$vcard_pid" 2>/dev/null || true
first_slot_card() { timeout 5 pcsc_scan -c 2>/dev/null | grep -A2 "Virtual PCD 00 00" | grep -q "Card inserted"; }
SKORRA_VCARD_DIR=$(mktemp -d) "$build/out/tarnwick-vcard" --port 35963 &
vcard_pid=$!
wait_for "a fresh card in Virtual PCD 00 00" first_slot_card
TARNWICK_TEST_DRIVER=usb SKORRA_PCSC_READER="Virtual PCD 00 00" \
  tests/pkcs11/consumers_test.sh "$build/out/libtarnwick-pkcs11.so" share

echo "== one command, library + PC/SC against SCardTransmit straight"
"$build/out/pcsc_apdu_timing" 2000 "Virtual PCD 00 00"
