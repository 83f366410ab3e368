#!/usr/bin/env bash
# The PKCS #11 module driven by the programs people use it with, against the
# virtual cards of a folder of this test's own: OpenSC's pkcs11-tool, the
# OpenSSL pkcs11 engine (loading the module into openssl itself), OpenSSH's
# ssh-keygen. One case per run.
#
# usage: consumers_test.sh MODULE CASE
set -euo pipefail

module=$1
case_name=$2
work=$(mktemp -d)
server_pid= tls_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -n "$tls_pid" ]; then kill "$tls_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export SKORRA_VCARD_DIR=$work/cards
mkdir -p "$SKORRA_VCARD_DIR"
unset SKORRA_TRACE SKORRA_TRACE_SECRETS TARNWICK_PKCS11_DRIVER
# TARNWICK_TEST_DRIVER=usb runs a case on the PC/SC readers instead.
[ "${TARNWICK_TEST_DRIVER:-}" = usb ] && export TARNWICK_PKCS11_DRIVER=usb
pin=12345678
puk=87654321

fail() { echo "FAIL: $*" >&2; exit 1; }
tool() { pkcs11-tool --module "$module" "$@" 2>&1; }
expect() {  # expect <regex> <command...>: the command succeeds and prints the regex
  local pattern=$1 out; shift
  out=$("$@" 2>&1) || fail "$* exited $?: $out"
  grep -Eq "$pattern" <<<"$out" || fail "$* did not print /$pattern/: $out"
  printf '%s\n' "$out"
}
refuse() {  # refuse <regex> <command...>: the command fails and prints the regex
  local pattern=$1 out; shift
  if out=$("$@" 2>&1); then fail "$* succeeded: $out"; fi
  grep -Eq "$pattern" <<<"$out" || fail "$* did not print /$pattern/: $out"
  printf '%s\n' "$out"
}
keygen() { tool --login --pin "$pin" -k --key-type rsa:1024 --id "$1" --label "key$1"; }
public_key_pem() {
  tool -r --type pubkey --id "$1" -o "$work/pub.der" >/dev/null
  openssl rsa -pubin -inform DER -in "$work/pub.der" -out "$work/pub.pem" 2>/dev/null
}
serial() { tool -T | awk '/serial num/ {print $NF; exit}'; }

# Points OpenSSL's pkcs11 engine at the module itself, loaded in-process.
engine_config() {
  cat >"$work/openssl.cnf" <<CONF
openssl_conf = openssl_init
[openssl_init]
engines = engine_section
[engine_section]
pkcs11 = pkcs11_section
[pkcs11_section]
engine_id = pkcs11
MODULE_PATH = $module
init = 0
CONF
  export OPENSSL_CONF=$work/openssl.cnf
}

case $case_name in
  slots)
    # The module's dynamic symbols: the standard functions and nothing else.
    symbols=$(nm -D --defined-only "$module" | awk '{print $3}')
    grep -qx C_GetFunctionList <<<"$symbols" || fail "no C_GetFunctionList"
    others=$(grep -v '^C_' <<<"$symbols" || true)
    [ -z "$others" ] || fail "the module exports $others"
    expect 'Slot 3 \(0x4\): Tarnwick COM4 \(virtual card\)' tool -L
    expect 'token flags +: login required, rng, token initialized, PIN initialized' tool -T
    expect 'SHA256-RSA-PKCS, keySize=\{1024,1024\}, hw, sign, verify' tool -M
    refuse 'TARNWICK_PKCS11_DRIVER' env TARNWICK_PKCS11_DRIVER=parallel pkcs11-tool --module "$module" -L
    ;;
  login)
    # A PIN longer than the card holds is wrong but costs no try.
    refuse 'CKR_PIN_INCORRECT' tool --login --pin 123456789012 -O
    out=$(tool -T); grep -q 'count low' <<<"$out" && fail "a too-long PIN cost a try: $out"
    refuse 'CKR_PIN_INCORRECT' tool --login --pin 00000000 -O
    expect 'count low' tool -T
    expect 'Private Key Object|^Using slot' tool --login --pin "$pin" -O
    # Changing the PIN, then the SO's unblocking code setting it back.
    expect 'PIN successfully changed' tool --login --pin "$pin" --change-pin --new-pin 11112222
    refuse 'CKR_PIN_INCORRECT' tool --login --pin "$pin" -O
    refuse 'CKR_PIN_INCORRECT' tool --login --pin 00000000 -O
    refuse 'CKR_PIN_INCORRECT' tool --login --pin 00000000 -O
    refuse 'CKR_PIN_LOCKED' tool --login --pin 11112222 -O
    expect 'user PIN locked' tool -T
    # Outside a login a blocked PIN is unblocked with the code; a wrong code
    # costs a try of the code, which the SO flags then show.
    refuse 'CKR_PIN_INCORRECT' tool --unlock-pin --puk 00000000 --new-pin "$pin"
    # The card tells the code's tries only when the code is used, so the
    # token's SO flags show what this process saw.
    /usr/bin/python3 - "$module" <<'PY' || fail "SO PIN flags"
import sys, PyKCS11 as P
lib = P.PyKCS11Lib(); lib.load(sys.argv[1])
slot = lib.getSlotList(tokenPresent=True)[0]
s = lib.openSession(slot, P.CKF_SERIAL_SESSION | P.CKF_RW_SESSION)
try:
    s.setPin("00000001", "12345678")
    sys.exit("a wrong unblocking code was taken")
except P.PyKCS11Error as e:
    assert e.value == P.CKR_PIN_INCORRECT, e
flags = lib.getTokenInfo(slot).flags
assert flags & P.CKF_USER_PIN_LOCKED, "the PIN came unblocked"
assert flags & P.CKF_SO_PIN_COUNT_LOW, "no CKF_SO_PIN_COUNT_LOW"
PY
    expect 'PIN successfully changed' tool --unlock-pin --puk "$puk" --new-pin 11112222
    refuse 'CKR_PIN_INCORRECT' tool --login --login-type so --so-pin 00000000 --init-pin --new-pin "$pin"
    expect 'successfully' tool --login --login-type so --so-pin "$puk" --init-pin --new-pin "$pin"
    expect '^Using slot' tool --login --pin "$pin" -O
    # Outside a login a usable PIN is changed with itself, as the standard says.
    expect 'PIN successfully changed' tool --change-pin --pin "$pin" --new-pin 55556666
    expect '^Using slot' tool --login --pin 55556666 -O
    ;;
  keys)
    refuse 'CKR_KEY_SIZE_RANGE' tool --login --pin "$pin" -k --key-type rsa:2048 --id 01
    expect 'Key pair generated' keygen 01
    expect 'RSA 1024 bits' tool -O --type pubkey
    # The private key is the user's: not seen, and not usable, without login.
    out=$(tool -O); grep -q 'Private Key Object' <<<"$out" && fail "private key visible without login: $out"
    # Through PyKCS11: the login shared by a token's sessions, the key
    # refused after logout, and a label and an identifier changed, which
    # the key pair shares.
    /usr/bin/python3 - "$module" "$pin" <<'PY' || fail "PyKCS11"
import sys, PyKCS11 as P
lib = P.PyKCS11Lib(); lib.load(sys.argv[1])
s = lib.openSession(lib.getSlotList(tokenPresent=True)[0], P.CKF_SERIAL_SESSION | P.CKF_RW_SESSION)
def refused(rv, call, *args):
    try:
        call(*args)
    except P.PyKCS11Error as e:
        assert e.value == rv, e
        return
    sys.exit(f"{call.__name__} succeeded")
reader = lib.openSession(lib.getSlotList(tokenPresent=True)[0])
s.login(sys.argv[2])
assert reader.getSessionInfo().state == P.CKS_RO_USER_FUNCTIONS, "the login belongs to the token"
key = s.findObjects([(P.CKA_CLASS, P.CKO_PRIVATE_KEY), (P.CKA_ID, (1,))])[0]
s.logout()
assert reader.getSessionInfo().state == P.CKS_RO_PUBLIC_SESSION
refused(P.CKR_USER_NOT_LOGGED_IN, s.sign, key, b"data", P.Mechanism(P.CKM_SHA256_RSA_PKCS))
s.login(sys.argv[2])
s.setAttributeValue(key, [(P.CKA_LABEL, "renamed"), (P.CKA_ID, (7,))])
pub = s.findObjects([(P.CKA_CLASS, P.CKO_PUBLIC_KEY), (P.CKA_ID, (7,))])
assert s.getAttributeValue(pub[0], [P.CKA_LABEL]) == ["renamed"]
refused(P.CKR_ATTRIBUTE_READ_ONLY, s.setAttributeValue, key, [(P.CKA_SIGN, False)])
# The pair's objects go one by one: the private key outlives its public key,
# and a handle never names the pair generated later in the same slot.
s.destroyObject(pub[0])
assert not s.findObjects([(P.CKA_CLASS, P.CKO_PUBLIC_KEY), (P.CKA_ID, (7,))])
s.sign(key, b"data", P.Mechanism(P.CKM_SHA256_RSA_PKCS))
# Destroyed, and its key slot given a new pair, between C_SignInit and
# C_Sign: the new key does not sign in its place.
assert s.lib.C_SignInit(s.session, P.Mechanism(P.CKM_SHA256_RSA_PKCS).to_native(), key) == P.CKR_OK
other = lib.openSession(lib.getSlotList(tokenPresent=True)[0], P.CKF_SERIAL_SESSION | P.CKF_RW_SESSION)
other.destroyObject(key)
again = other.generateKeyPair([(P.CKA_ID, (8,))], [(P.CKA_ID, (8,))])
signature = P.ckbytelist()
assert s.lib.C_Sign(s.session, P.ckbytelist(b"data"), signature) == P.CKR_OK
assert s.lib.C_Sign(s.session, P.ckbytelist(b"data"), signature) == P.CKR_KEY_HANDLE_INVALID
refused(P.CKR_KEY_HANDLE_INVALID, s.sign, key, b"data", P.Mechanism(P.CKM_SHA256_RSA_PKCS))
assert key not in again and pub[0] not in again
refused(P.CKR_OBJECT_HANDLE_INVALID, s.getAttributeValue, key, [P.CKA_LABEL])
s.destroyObject(again[1])
PY
    # The public key left behind still verifies and encrypts on the host.
    expect 'Public Key Object' tool -O --id 08
    expect '' tool --login --pin "$pin" --delete-object --type pubkey --id 08
    # Four key slots: the fifth generation finds no room.
    for id in 11 12 13 14; do keygen $id >/dev/null || fail "generation $id"; done
    refuse 'CKR_DEVICE_MEMORY' keygen 15
    # A directory damaged by another program is neither read nor written over.
    printf 'verify 01 12345678 --text\nselect 0060\nupdate-bin "00 00 00 00"\n' |
      "$(dirname "$module")/tarnwick" run - >/dev/null || fail "damaging the directory"
    refuse 'CKR_DEVICE_ERROR' tool -O
    refuse 'CKR_DEVICE_ERROR' tool --login --pin "$pin" --delete-object --type privkey --id 11
    ;;
  sign)
    keygen 01 >/dev/null
    public_key_pem 01
    head -c 5000 /dev/urandom >"$work/data"
    for mech in SHA1 SHA256 SHA384 SHA512; do
      tool --login --pin "$pin" -s -m "$mech-RSA-PKCS" --id 01 -i "$work/data" -o "$work/sig" >/dev/null
      openssl dgst -"${mech,,}" -verify "$work/pub.pem" -signature "$work/sig" "$work/data" || fail "$mech signature"
    done
    head -c 100 /dev/urandom >"$work/short"
    tool --login --pin "$pin" -s -m RSA-PKCS --id 01 -i "$work/short" -o "$work/sig" >/dev/null
    openssl pkeyutl -verifyrecover -pubin -inkey "$work/pub.pem" -in "$work/sig" -out "$work/recovered"
    cmp "$work/short" "$work/recovered" || fail "RSA-PKCS signature does not recover the data"
    head -c 118 /dev/urandom >"$work/long"
    # pkcs11-tool retries a refused C_Sign in parts, which RSA-PKCS refuses too.
    refuse 'C_SignUpdate failed: rv = CKR_FUNCTION_NOT_SUPPORTED' \
      tool --login --pin "$pin" -s -m RSA-PKCS --id 01 -i "$work/long" -o "$work/sig"
    ;;
  decrypt)
    keygen 01 >/dev/null
    public_key_pem 01
    echo "secret message" >"$work/plain"
    openssl pkeyutl -encrypt -pubin -inkey "$work/pub.pem" -in "$work/plain" -out "$work/cipher"
    tool --login --pin "$pin" --decrypt -m RSA-PKCS --id 01 -i "$work/cipher" -o "$work/out" >/dev/null
    cmp "$work/plain" "$work/out" || fail "decryption"
    ;;
  selftest)
    keygen 01 >/dev/null
    expect 'No errors' tool --login --pin "$pin" --test
    ;;
  ssh)
    keygen 01 >/dev/null
    public_key_pem 01
    expect '^ssh-rsa AAAA.* key01$' ssh-keygen -D "$module" >"$work/ssh.pub"
    ssh-keygen -i -m PKCS8 -f "$work/pub.pem" | cut -d' ' -f1-2 >"$work/expected"
    cut -d' ' -f1-2 "$work/ssh.pub" | cmp - "$work/expected" || fail "ssh-keygen -D printed another key"
    ;;
  engine)
    keygen 01 >/dev/null
    public_key_pem 01
    token=$(serial)
    [ "$token" != 0000000000000000 ] || fail "no serial number after the first login"
    engine_config
    key="pkcs11:serial=$token;id=%01;type=private;pin-value=$pin"
    echo "signed through the engine" >"$work/data"
    openssl dgst -sha256 -engine pkcs11 -keyform engine -sign "$key" -out "$work/sig" "$work/data"
    openssl dgst -sha256 -verify "$work/pub.pem" -signature "$work/sig" "$work/data" || fail "engine signature"
    openssl dgst -sha256 -binary -out "$work/digest" "$work/data"
    openssl pkeyutl -engine pkcs11 -keyform engine -inkey "$key" -sign -pkeyopt digest:sha256 \
      -in "$work/digest" -out "$work/sig2"
    openssl pkeyutl -verify -pubin -inkey "$work/pub.pem" -pkeyopt digest:sha256 -in "$work/digest" \
      -sigfile "$work/sig2" || fail "pkeyutl signature"
    openssl req -new -x509 -engine pkcs11 -keyform engine -key "$key" -subj /CN=tarnwick-pkcs11 -days 30 \
      -outform DER -out "$work/cert.der"
    unset OPENSSL_CONF
    expect 'Created certificate' tool --login --pin "$pin" -w "$work/cert.der" --type cert --id 01 --label selfsigned
    expect 'subject: +DN: CN=tarnwick-pkcs11' tool -O --type cert
    tool -r --type cert --id 01 -o "$work/back.der" >/dev/null
    cmp "$work/cert.der" "$work/back.der" || fail "the certificate read back differs"
    openssl x509 -inform DER -in "$work/back.der" -noout -pubkey | cmp - "$work/pub.pem" || fail "certificate key"
    openssl verify -CAfile <(openssl x509 -inform DER -in "$work/back.der") <(openssl x509 -inform DER -in "$work/back.der")
    expect '' tool --login --pin "$pin" --delete-object --type cert --id 01
    out=$(tool -O --type cert); grep -q 'Certificate Object' <<<"$out" && fail "certificate left after destroy"
    # The freed certificate file takes the next certificate.
    expect 'Created certificate' tool --login --pin "$pin" -w "$work/cert.der" --type cert --id 02 --label again
    tool -r --type cert --id 02 -o "$work/again.der" >/dev/null
    cmp "$work/cert.der" "$work/again.der" || fail "the certificate stored again differs"
    ;;
  data)
    # Data objects in card files: a public one anyone reads, a private one
    # only the logged-in user sees.
    echo "public note" >"$work/note"
    echo "private note" >"$work/secret"
    expect 'Created Data Object' tool --login --pin "$pin" --write-object "$work/note" --type data --label note \
      --application-label notes --application-id 1.2.3.4
    expect 'Created Data Object' tool --login --pin "$pin" --write-object "$work/secret" --type data --label secret \
      --private
    tool --read-object --type data --label note -o "$work/back" >/dev/null
    cmp "$work/note" "$work/back" || fail "the data object read back differs"
    expect "application: +'notes'" tool -O --type data
    out=$(tool -O --type data); grep -q secret <<<"$out" && fail "private data seen without login: $out"
    tool --login --pin "$pin" --read-object --type data --label secret -o "$work/back" >/dev/null
    cmp "$work/secret" "$work/back" || fail "the private data object read back differs"
    expect '' tool --login --pin "$pin" --delete-object --type data --label note
    out=$(tool -O --type data); grep -q note <<<"$out" && fail "data object left after destroy: $out"
    # The token's identity: its own serial number from the start, a label
    # made from it, and the same after a login and a write.
    token=$(serial)
    [ "$token" != 0000000000000000 ] || fail "no serial number on a fresh card"
    expect "token label +: Tarnwick $token" tool -T
    keygen 01 >/dev/null
    [ "$(serial)" = "$token" ] || fail "the serial number changed"
    # The debug log: a line per call, never the PIN.
    TARNWICK_PKCS11_DEBUG=$work/debug.log tool --login --pin "$pin" -O >/dev/null
    grep -q '^tarnwick-pkcs11: C_Login CKR_OK (0x00000000) sw 9000$' "$work/debug.log" || fail "no C_Login line"
    grep -q "$pin" "$work/debug.log" && fail "the PIN is in the debug log"
    ;;
  tls)
    # Mutual TLS 1.2 on 127.0.0.1: a server that requires a client
    # certificate from its own CA accepts the card's key, with s_client and
    # with curl. SECLEVEL=1 lets 1024-bit keys through; the server asks for
    # RSA+SHA256 (PKCS #1 v1.5) client signatures, the only kind the card
    # makes.
    keygen 01 >/dev/null
    token=$(serial)
    key="pkcs11:serial=$token;id=%01;type=private;pin-value=$pin"
    cd "$work"
    quiet() { "$@" >/dev/null 2>&1 || fail "$*"; }
    quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -subj /CN=test-ca -days 2 -out ca.pem
    quiet openssl req -newkey rsa:2048 -nodes -keyout server.key -subj /CN=127.0.0.1 -out server.csr
    printf 'subjectAltName=IP:127.0.0.1\n' >server.ext
    quiet openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -days 2 -extfile server.ext -out server.pem
    engine_config
    openssl req -new -engine pkcs11 -keyform engine -key "$key" -subj /CN=card-user -out client.csr
    quiet env -u OPENSSL_CONF openssl x509 -req -in client.csr -CA ca.pem -CAkey ca.key -days 2 -out client.pem
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    (unset OPENSSL_CONF; exec openssl s_server -accept "127.0.0.1:$port" -cert server.pem -key server.key \
      -CAfile ca.pem -Verify 1 -verify_return_error -tls1_2 -cipher 'DEFAULT:@SECLEVEL=1' \
      -client_sigalgs RSA+SHA256 -www) >server.log 2>&1 &
    tls_pid=$!
    for _ in $(seq 50); do grep -q ACCEPT server.log && break; sleep 0.1; done
    out=$(printf 'GET / HTTP/1.0\r\n\r\n' | openssl s_client -connect "127.0.0.1:$port" -engine pkcs11 \
      -keyform engine -key "$key" -cert client.pem -CAfile ca.pem -tls1_2 -cipher 'DEFAULT:@SECLEVEL=1' \
      -client_sigalgs RSA+SHA256 -verify_return_error -ign_eof 2>&1) || { fail "s_client: $out"; }
    grep -q 'Peer signature type: RSA' <<<"$out" && grep -q 'Verify return code: 0 (ok)' <<<"$out" &&
      grep -q 'Client certificate' <<<"$out" || { fail "s_client was not accepted: $out"; }
    # curl hangs in its own start-up under the sanitizer runtimes that a
    # sanitizer build preloads: there s_client alone stands for the clients.
    if [ -z "${LD_PRELOAD:-}" ]; then
      # curl checks its certificate's key against the security level before
      # it applies --ciphers: the level comes from OpenSSL's configuration.
      sed -i 's/^engines = engine_section$/&\nssl_conf = ssl_section/' openssl.cnf
      printf '[ssl_section]\nsystem_default = tls_defaults\n[tls_defaults]\nCipherString = DEFAULT:@SECLEVEL=1\n' >>openssl.cnf
      out=$(timeout 60 curl -sS --tlsv1.2 --tls-max 1.2 --ciphers 'DEFAULT:@SECLEVEL=1' --cacert ca.pem \
        --engine pkcs11 --key-type ENG --key "$key" --cert client.pem "https://127.0.0.1:$port/" 2>&1) ||
        { fail "curl: $out"; }
      grep -q 'Client certificate' <<<"$out" || { fail "curl was not accepted: $out"; }
      # Without the card's key the server refuses.
      if timeout 60 curl -sS --tlsv1.2 --cacert ca.pem "https://127.0.0.1:$port/" >/dev/null 2>&1; then
        fail "the server accepted a client without a certificate"
      fi
    fi
    ;;
  home)
    # Without SKORRA_VCARD_DIR the cards live in the user's data folder.
    unset SKORRA_VCARD_DIR XDG_DATA_HOME
    export HOME=$work/home
    cards=$HOME/.local/share/tarnwick/cards
    expect 'Key pair generated' keygen 01
    expect 'label: +key01' tool -O --type pubkey
    [ "$(stat -c %a "$cards")" = 700 ] || fail "card folder mode $(stat -c %a "$cards")"
    out=$(tool -L); grep -q 'in memory' <<<"$out" && fail "cards said to be in memory: $out"
    XDG_DATA_HOME=$work/xdg keygen 02 >/dev/null
    [ -e "$work/xdg/tarnwick/cards/card1.img" ] || fail "XDG_DATA_HOME not used"
    # A linked folder is refused; no home at all: the cards stay in memory, and say so.
    mkdir -p "$work/other/tarnwick" && ln -s "$cards" "$work/other/tarnwick/cards"
    expect 'a link, not a directory' env XDG_DATA_HOME="$work/other" pkcs11-tool --module "$module" -L
    expect 'COM1 \(virtual card, in memory\)' env -u HOME pkcs11-tool --module "$module" -L
    ;;
  share)
    # Two processes on one card: ssh-agent keeps the module loaded (and the
    # card's ports open) while pkcs11-tool processes sign, generate and list
    # beside it; every signature verifies and no write is lost.
    keygen 01 >/dev/null
    public_key_pem 01
    module=$(realpath "$module")
    # A copy of ssh-agent loses its setgid bit, so that the sanitizer
    # runtimes a sanitizer build preloads reach its PKCS #11 helper too.
    cp "$(command -v ssh-agent)" "$work/ssh-agent"
    eval "$("$work/ssh-agent" -s -P "$module")" >/dev/null
    server_pid=$SSH_AGENT_PID
    printf '#!/bin/sh\necho %s\n' "$pin" >"$work/askpass"; chmod +x "$work/askpass"
    SSH_ASKPASS=$work/askpass SSH_ASKPASS_REQUIRE=force DISPLAY=:0 ssh-add -s "$module" </dev/null \
      || fail "ssh-add -s"
    expect 'key01' ssh-add -L >"$work/agent.pub"
    echo "shared card" >"$work/data"
    for i in 1 2 3 4 5 6; do
      ssh-keygen -Y sign -f "$work/agent.pub" -n file "$work/data" >/dev/null 2>&1 || fail "agent signature $i"
      rm -f "$work/data.sig"
    done &
    agent_loop=$!
    # A program that listed the keys long ago generates after another one
    # did: it writes on the directory as the other left it.
    /usr/bin/python3 - "$module" "$pin" "$0" <<'PY' || fail "a write over another program's"
import subprocess, sys, PyKCS11 as P
lib = P.PyKCS11Lib(); lib.load(sys.argv[1])
s = lib.openSession(lib.getSlotList(tokenPresent=True)[0], P.CKF_SERIAL_SESSION | P.CKF_RW_SESSION)
s.login(sys.argv[2])
assert len(s.findObjects([(P.CKA_CLASS, P.CKO_PRIVATE_KEY)])) == 1
subprocess.run(["pkcs11-tool", "--module", sys.argv[1], "--login", "--pin", sys.argv[2], "-k",
                "--key-type", "rsa:1024", "--id", "02"], check=True, capture_output=True)
s.generateKeyPair([(P.CKA_ID, b"\x03")], [(P.CKA_ID, b"\x03")])
ids = sorted(bytes(s.getAttributeValue(k, [P.CKA_ID])[0]) for k in s.findObjects([(P.CKA_CLASS, P.CKO_PRIVATE_KEY)]))
assert ids == [b"\x01", b"\x02", b"\x03"], ids
PY
    keygen 04 >/dev/null || fail "generation beside the agent"
    for i in 2 3 4; do
      tool --login --pin "$pin" -s -m SHA256-RSA-PKCS --id 01 -i "$work/data" -o "$work/sig$i" >/dev/null
      openssl dgst -sha256 -verify "$work/pub.pem" -signature "$work/sig$i" "$work/data" || fail "signature $i"
    done
    wait "$agent_loop" || fail "the agent's signatures"
    [ "$(tool --login --pin "$pin" -O | grep -c 'Private Key Object')" = 4 ] || fail "a generated key was lost"
    ssh-keygen -Y sign -f "$work/agent.pub" -n file "$work/data" >/dev/null 2>&1 || fail "agent after the others"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS $case_name"
