#!/usr/bin/env bash
# tessaramond-pack build with a signing key, and check SETUP.EXE: a test CA
# and a code-signing certificate made here with openssl, real Windows
# programs made here with mingw-w64, every signature checked by osslsigncode
# verify. Then the refusals: a wrong password, a damaged signed file, a
# certificate table that lies about where it is.
# Usage: cli_sign.sh TOOL
set -euo pipefail
tool=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tmd-sign-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
pack() { "$tool" "$@"; }
verify() { osslsigncode verify -CAfile ca.crt -in "$1" >verify.out 2>&1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj "/CN=Tessaramond Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Tessaramond Test Vendor" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >ext.cnf
openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out signer.crt -days 2 \
  -extfile ext.cnf 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.crt -certfile ca.crt -out signer.p12 -passout pass:geheim 2>/dev/null
printf 'geheim' >password

printf 'int main(void) { return 0; }\n' >p.c
x86_64-w64-mingw32-gcc-posix -O1 -s -o stub.exe p.c
cp stub.exe un.exe && cp stub.exe la.exe
mkdir -p product/bin && echo "program" >product/bin/app.exe
printf '[SoftInfo]\nproductname=演示\n[InstallInfo]\nfolder=Demo\\\nexefile=bin\\app.exe\n' >setup.ini
printf '许可协议\n' >licence.txt
inputs=(--descriptor setup.ini --product product --licence licence.txt --stub stub.exe --uninstaller un.exe --launcher la.exe)

# PKCS#12 with the password in a variable; every signature holds.
SIGN_PASSWORD=geheim pack build -o p12.exe "${inputs[@]}" --sign-pkcs12 signer.p12 --sign-password-env SIGN_PASSWORD \
  2>/dev/null || fail "build with PKCS#12"
verify p12.exe || fail "osslsigncode verify refuses the installer: $(tail -3 verify.out)"
pack check p12.exe --ca ca.crt >check.out || fail "check refuses the signed installer: $(cat check.out)"
grep -q 'signature verifies' check.out || fail "check: $(cat check.out)"
pack extract p12.exe -C out >/dev/null || fail "extract of a signed installer"
verify out/untessaramond.exe && verify out/uninstall.exe || fail "the packed programs are not signed"
cmp -s stub.exe out/uninstall.exe && fail "the launcher was packed unsigned"
# Without the private CA the system's certificates do not know the signer.
set +e; pack check p12.exe >check.out; rc=$?; set -e
[ $rc -eq 1 ] && grep -q 'does NOT verify' check.out || fail "check trusts an unknown CA ($rc): $(cat check.out)"

# PEM key and certificate, password from a file (the key is not encrypted: ignored).
pack build -o pem.exe "${inputs[@]}" --sign-key signer.key --sign-cert signer.crt 2>/dev/null || fail "build with PEM"
verify pem.exe || fail "PEM-signed installer does not verify"
SIGN_PASSWORD=geheim pack build -o pwfile.exe "${inputs[@]}" --sign-pkcs12 signer.p12 --sign-password-file password \
  2>/dev/null || fail "build with a password file"
verify pwfile.exe || fail "installer signed with a password file does not verify"

# A signed stub loses its signature: the installer's one is the only one.
rm -f stub-signed.exe && osslsigncode sign -certs signer.crt -key signer.key -in stub.exe -out stub-signed.exe >/dev/null
pack build -o from-signed.exe "${inputs[@]/stub.exe/stub-signed.exe}" 2>/dev/null || fail "build from a signed stub"
set +e; pack check from-signed.exe --ca ca.crt >check.out; rc=$?; set -e
[ $rc -eq 1 ] && grep -q 'not signed' check.out || fail "unsigned installer: check says ($rc) $(cat check.out)"
pack list from-signed.exe >/dev/null || fail "list of an installer built from a signed stub"

# Refusals: non-zero, naming the problem, nothing written.
expect_error() {
  local code=$1 needle=$2; shift 2
  set +e; env "${env_extra[@]}" "$tool" "$@" >err.out 2>err.txt; local rc=$?; set -e
  [ "$rc" -eq "$code" ] || fail "$* exited with $rc, not $code: $(cat err.txt)"
  grep -q -- "$needle" err.txt || fail "$*: no '$needle' in: $(cat err.txt)"
}
env_extra=(SIGN_PASSWORD=wrong)
expect_error 1 'signing failed' build -o bad.exe "${inputs[@]}" --sign-pkcs12 signer.p12 --sign-password-env SIGN_PASSWORD
ls bad.exe* 2>/dev/null && fail "a failed signing left files behind"
env_extra=()
expect_error 1 'NOPE' build -o bad.exe "${inputs[@]}" --sign-pkcs12 signer.p12 --sign-password-env NOPE
expect_error 2 'go together' build -o bad.exe "${inputs[@]}" --sign-key signer.key
expect_error 2 'not both' build -o bad.exe "${inputs[@]}" --sign-pkcs12 signer.p12 --sign-key signer.key --sign-cert signer.crt
expect_error 2 'without --sign' build -o bad.exe "${inputs[@]}" --timestamp http://example.invalid/
ls bad.exe* 2>/dev/null && fail "a refused build left files behind"

# Damage inside the signed range: the signature no longer holds.
cp p12.exe damaged.exe
printf '\xff' | dd of=damaged.exe bs=1 seek=$(( $(stat -c %s stub.exe) + 100 )) conv=notrunc 2>/dev/null
verify damaged.exe && fail "osslsigncode verify accepts a damaged installer"
set +e; pack check damaged.exe --ca ca.crt >check.out 2>&1; rc=$?; set -e
[ $rc -eq 1 ] && grep -q 'DAMAGED: .* differs from its checksum' check.out ||
  fail "check accepts a damaged installer: $(cat check.out)"
grep -q 'every item matches its checksum' <(pack check p12.exe --ca ca.crt) || fail "check: no word of the checksums"

# A certificate table that does not end the file.
python3 - p12.exe lying.exe <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", d, 0x3C)[0]
entry = pe + 24 + (112 if struct.unpack_from("<H", d, pe + 24)[0] == 0x20B else 96) + 32
start, size = struct.unpack_from("<II", d, entry)
struct.pack_into("<II", d, entry, start, size - 8)
open(sys.argv[2], "wb").write(d)
PY
expect_error 1 'does not lie at the end' list lying.exe
echo "signing: all checks held"
