#!/usr/bin/env bash
# tessaramond-pack build, list and extract over a generated tree of about
# 50 MB (nested folders, empty files, a GBK name, compressible and random
# files), then its one-line errors and exit codes.
# With an installer stub as well, the built installer is started under the
# emulator and must take the packaged role: it extracts itself and starts
# the working copy (exit code 0); a switch it does not know ends it with 4.
# Usage: cli_roundtrip.sh TOOL [EMULATOR [STUB]]
set -euo pipefail
tool=$(realpath "$1")
emulator=${2:+$(realpath "$2")}
stub=${3:+$(realpath "$3")}
work=$(mktemp -d "${TMPDIR:-/tmp}/tmd-pack-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
pack() { $emulator "$tool" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p product/bin product/data/deep/deeper "product/资料" product/empty-files
for i in $(seq 1 40); do
  head -c $((i * 31 * 1024)) /dev/urandom >"product/data/r$i.bin"
  { yes "line $i of a compressible text file" || true; } | head -c $((i * 31 * 1024)) >"product/data/deep/t$i.txt"
done
for size in 0 1 4095 4096 4097 65536; do head -c $size /dev/urandom >"product/bin/s$size"; done
for i in $(seq 1 20); do : >"product/empty-files/e$i"; done
echo "说明" >"product/资料/说明.txt"
echo "deep" >product/data/deep/deeper/x.txt
printf '[SoftInfo]\nproductname=演示\n[InstallInfo]\nfolder=Demo\\\nexefile=bin\\s1\n' >setup.ini
printf '许可协议\n' >licence.txt
printf 'MZ stub' >stub.exe; printf 'MZ un' >un.exe; printf 'MZ launcher' >la.exe
size=$(du -sm product | cut -f1)
[ "$size" -ge 45 ] || fail "generated tree is only $size MB"

pack build -o setup.exe --descriptor setup.ini --product product --licence licence.txt \
  --stub stub.exe --uninstaller un.exe --launcher la.exe --level fast >build.out 2>build.err ||
  fail "build: $(cat build.err)"
[ ! -s build.out ] && [ ! -s build.err ] || fail "build is not quiet when piped"
pack list setup.exe >list.txt || fail "list"
grep -q 'data.rar' list.txt && grep -q 'bin\\s4097' list.txt && grep -q '资料\\说明.txt' list.txt ||
  fail "list lacks entries: $(head -5 list.txt)"
# 108 files and 6 items.
[ "$(wc -l <list.txt)" -eq 114 ] || fail "list has $(wc -l <list.txt) lines"
pack extract setup.exe -C out >/dev/null || fail "extract"
diff -r product/bin out/data/bin && diff -r product/data out/data/data &&
  diff -r "product/资料" "out/data/资料" && diff -r product/empty-files out/data/empty-files ||
  fail "extracted tree differs"
cmp -s stub.exe out/untessaramond.exe && fail "items mixed up"
# The checksum item is sha256sum's own form.
(cd out && sha256sum --quiet -c checksums.sha256) || fail "sha256sum -c refuses the checksum item"
[ "$(wc -l <out/checksums.sha256)" -eq 5 ] || fail "checksum item: $(cat out/checksums.sha256)"
cmp -s un.exe out/untessaramond.exe && cmp -s la.exe out/uninstall.exe || fail "stub items differ"
grep -q 'productname=演示' out/install.ini && grep -q 'ckdll=0' out/install.ini || fail "descriptor: $(cat out/install.ini)"
# The best level must give the same tree and a smaller file.
pack build -o best.exe --descriptor setup.ini --product product --licence licence.txt \
  --stub stub.exe --uninstaller un.exe --launcher la.exe --level best || fail "build best"
[ "$(stat -c %s best.exe)" -lt "$(stat -c %s setup.exe)" ] || fail "best is not smaller than fast"
pack extract best.exe -C out2 >/dev/null && diff -r product/data out2/data/data || fail "best round trip"

# Errors: non-zero, naming what is wrong on the first line.
expect_error() {
  local code=$1 needle=$2; shift 2
  set +e; pack "$@" >err.out 2>err.txt; local rc=$?; set -e
  [ "$rc" -eq "$code" ] || fail "$* exited with $rc, not $code"
  [ -s err.txt ] && head -n1 err.txt | grep -q -- "$needle" || fail "$*: $(cat err.txt)"
}
expect_error 1 'missing-stub.exe' build -o x.exe --descriptor setup.ini --product product --licence licence.txt \
  --stub missing-stub.exe --uninstaller un.exe --launcher la.exe
[ ! -e x.exe ] || fail "failed build left an output"
mkdir -p bad && cp licence.txt bad/ && touch "bad/😀.txt"
expect_error 1 '😀.txt' build -o x.exe --descriptor setup.ini --product bad --licence licence.txt \
  --stub stub.exe --uninstaller un.exe --launcher la.exe
expect_error 2 'unknown command' frobnicate
expect_error 2 'missing --product' build -o x.exe --descriptor setup.ini --licence licence.txt
expect_error 1 'not a shipped installer' list stub.exe
head -c $(( $(stat -c %s setup.exe) / 2 )) setup.exe >cut.exe
expect_error 1 '' list cut.exe
pack --help >help.txt && grep -q 'SYNOPSIS' help.txt || fail "--help"

if [ -n "$stub" ]; then
  # A product without a main program: told as a warning, built all the same.
  printf '[SoftInfo]\nproductname=演示\n[InstallInfo]\nfolder=Demo\\\n' >empty.ini
  pack build -o real.exe --descriptor empty.ini --product product/empty-files --licence licence.txt \
    --stub "$stub" --uninstaller un.exe --launcher la.exe || fail "build with the real stub"
  set +e; timeout 60 $emulator ./real.exe </dev/null >/dev/null 2>&1; rc=$?; set -e
  [ "$rc" -eq 0 ] || fail "the built installer did not take the packaged role (exit code $rc)"
  # Its working copy shows the wizard and would wait there for the rest of
  # the session, in the pictures of every walk after this one.
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    $emulator taskkill /f /im setup.exe >/dev/null 2>&1 && break
    sleep 1
  done
  set +e; timeout 60 $emulator ./real.exe /S /bogus </dev/null >/dev/null 2>&1; rc=$?; set -e
  [ "$rc" -eq 4 ] || fail "the built installer took an unknown switch (exit code $rc)"
fi
echo "round trip of ${size} MB passed"
