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
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export SKORRA_VCARD_DIR=$work/cards
mkdir -p "$SKORRA_VCARD_DIR"
unset SKORRA_TRACE SKORRA_TRACE_SECRETS TARNWICK_PKCS11_DRIVER
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
    refuse 'CKR_PIN_INCORRECT' tool --login --login-type so --so-pin 00000000 --init-pin --new-pin "$pin"
    expect 'successfully' tool --login --login-type so --so-pin "$puk" --init-pin --new-pin "$pin"
    expect '^Using slot' tool --login --pin "$pin" -O
    ;;
  keys)
    refuse 'CKR_ATTRIBUTE_VALUE_INVALID' tool --login --pin "$pin" -k --key-type rsa:2048 --id 01
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
PY
    expect '' tool --login --pin "$pin" --delete-object --type privkey --id 07
    out=$(tool -O); grep -q 'Public Key Object' <<<"$out" && fail "key pair left after destroy: $out"
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
    refuse 'CKR_DATA_LEN_RANGE' tool --login --pin "$pin" -s -m RSA-PKCS --id 01 -i "$work/long" -o "$work/sig"
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
  share)
    # Two processes on one card: ssh-agent keeps the module loaded (and the
    # card's ports open) while pkcs11-tool processes sign, generate and list
    # beside it; every signature verifies and no write is lost.
    keygen 01 >/dev/null
    public_key_pem 01
    module=$(realpath "$module")
    eval "$(ssh-agent -s -P "$module")" >/dev/null
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
    for i in 2 3 4; do
      keygen 0$i >/dev/null || fail "generation $i beside the agent"
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
