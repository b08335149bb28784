#!/usr/bin/env bash
# The builder as a vendor meets it: --help, check and build refuse each
# mistake with a message naming the file (and line) and a non-zero exit,
# write nothing when they refuse, and pass a correct product.
# Usage: cli_check.sh TESSARAMOND-PACK
set -uo pipefail
pack=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tmd-cli-check-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p product/bin product/docs
printf 'MZ program' >product/bin/app.exe
printf 'read me' >product/docs/说明.txt
printf 'MZ stub' >stub.exe
printf '许可协议\n' >licence.txt
cat >good.ini <<'INI'
[SoftInfo]
companyname=Acme
productname=演示
[InstallInfo]
folder=Acme\Demo\
exefile=bin\app.exe
[StartMenu]
linknum=1
group_0=Acme|Demo|
exefile_0=docs\说明.txt
linkname_0=\说明.lnk
[Desktop]
linknum=1
exefile_0=bin\app.exe
linkname_0=\演示.lnk
INI
programs=(--stub stub.exe --uninstaller stub.exe --launcher stub.exe)

# expect STATUS WORDS COMMAND...: the exit status and a text in its output.
expect() {
  local status=$1 words=$2
  shift 2
  local out rc
  out=$("$@" 2>&1)
  rc=$?
  [ "$rc" = "$status" ] || fail "$* exited $rc, not $status: $out"
  [[ "$out" == *"$words"* ]] || fail "$* did not say '$words': $out"
}

expect 0 "SYNOPSIS" "$pack" --help
expect 0 "DESCRIPTOR" "$pack" --help
expect 2 "unknown option --colour" "$pack" check --descriptor good.ini --colour red
expect 0 "good.ini: 0 errors, 0 warnings; 2 files" "$pack" check --descriptor good.ini --product product \
  --licence licence.txt "${programs[@]}"

# One mistake per descriptor: line -> replacement, and what must be said.
mistake() {
  local line=$1 replacement=$2 words=$3
  sed "${line}s/.*/${replacement}/" good.ini >bad.ini
  expect 1 "$words" "$pack" check --descriptor bad.ini --product product "${programs[@]}"
  rm -f out.exe
  expect 1 "nothing was written" "$pack" build -o out.exe --descriptor bad.ini --product product \
    --licence licence.txt "${programs[@]}"
  [ ! -e out.exe ] && [ ! -e out.exe.partial ] || fail "a refused build left a file behind ($replacement)"
}
mistake 5 'folder=Acme\\Demo' 'bad.ini:5: error: folder "Acme\Demo" must end with a backslash'
mistake 6 'exefile=bin\\main.exe' 'bad.ini:6: error: exefile "bin\main.exe" is not in the product folder'
mistake 10 'exefile_0=docs\\readme.txt' 'bad.ini:10: error: exefile_0 "docs\readme.txt" is not in the product folder'
mistake 15 'linkname_0=演示.lnk' 'bad.ini:15: error: linkname_0 "演示.lnk" must begin with a backslash'
mistake 11 '' 'error: [StartMenu] entry 0 has no linkname_0'
mistake 3 'productname=演|示' 'bad.ini:3: error: productname contains "|"'
mistake 8 'linknum=x' 'bad.ini:8: error: linknum "x" is not a count'

# Problems outside the descriptor, each named with its file.
expect 1 "missing.exe: error: the installer stub is missing" "$pack" check --descriptor good.ini --stub missing.exe \
  --uninstaller stub.exe --launcher stub.exe
printf 'ELF' >notwin.exe
expect 1 "notwin.exe: error: the uninstaller is not a Windows program" "$pack" check --descriptor good.ini \
  --stub stub.exe --uninstaller notwin.exe --launcher stub.exe
mkdir -p odd/sub && printf x >"odd/sub/a😀.txt"
expect 1 "a😀.txt: error: the name has characters that GBK cannot hold" "$pack" check --descriptor good.ini \
  --product odd "${programs[@]}"
rm -rf odd && mkdir -p odd && printf x >odd/CON.txt
expect 1 "CON.txt: error: the installer would refuse this name" "$pack" check --descriptor good.ini --product odd "${programs[@]}"
rm -rf odd && mkdir -p odd && printf x >odd/App.exe && printf y >odd/app.exe
expect 1 "on Windows both would be one file" "$pack" check --descriptor good.ini --product odd "${programs[@]}"
printf '\xf0\x9f\x98\x80 licence\n' >emoji.txt
expect 1 "emoji.txt: error: the licence has characters that GBK cannot hold" "$pack" check --descriptor good.ini \
  --licence emoji.txt "${programs[@]}"

# The correct product builds, and its descriptor reads back.
expect 0 "" "$pack" build -o good.exe --descriptor good.ini --product product --licence licence.txt "${programs[@]}"
"$pack" extract good.exe -C out >/dev/null 2>&1 || fail "extract of the built installer failed"
grep -q '^productname=演示$' out/install.ini || fail "the descriptor did not read back"
grep -q '^ckdll=0$' out/install.ini || fail "ckdll was not set to 0"

if [ $failures -eq 0 ]; then echo "builder check: all cases passed"; fi
[ $failures -eq 0 ]
