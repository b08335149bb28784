#!/usr/bin/env bash
# Builds, from this repository's history, the builder and the programs of the
# last release whose programs called the code-page ("A") Windows functions,
# and packs one product with Chinese names twice with that builder:
#   OldSetup.exe         its own programs, as a vendor shipped it then;
#   OldPackageSetup.exe  its package carried by today's programs.
# The end-to-end tests install both and remove them with today's programs.
#
#   old_release.sh ROOT INSTALLER UNINSTALLER LAUNCHER PROGRAM
#
# ROOT is the source tree; the other four are today's win64 programs and the
# program the product ships. The old builds are kept in ROOT/build/old-release
# and reused by later runs.
set -euo pipefail

[ $# -eq 5 ] || { echo "usage: $0 ROOT INSTALLER UNINSTALLER LAUNCHER PROGRAM" >&2; exit 2; }
root=$1 installer=$2 uninstaller=$3 launcher=$4 program=$5
release=6ce5b51340d8348392dcc81ae572191ae16ef304
out="$root/build/old-release"
old="$out/$release"
deps="$root/build/deps"

if ! git -C "$root" cat-file -e "$release^{commit}" 2>/dev/null; then
  echo "old_release: commit $release is not in $root's history; the test needs a full clone" >&2
  exit 1
fi

run() {  # run LOG COMMAND...: the command's output goes to LOG, shown when it fails
  local log=$1; shift
  "$@" >"$log" 2>&1 || { tail -30 "$log" >&2; exit 1; }
}

if [ ! -f "$old/built" ]; then
  rm -rf "$out"
  mkdir -p "$old/src"
  git -C "$root" archive "$release" | tar -x -C "$old/src"
  echo "old_release: building the builder and the win64 programs of $release"
  # Unoptimised: they build in half the time and do the same.
  run "$old/configure-native.log" cmake -S "$old/src" -B "$old/native" -G Ninja -DCMAKE_BUILD_TYPE= \
    -DBUILD_TESTING=OFF -DTMD_DEPS_DIR="$deps"
  run "$old/configure-win64.log" cmake -S "$old/src" -B "$old/win64" -G Ninja -DCMAKE_BUILD_TYPE= \
    -DBUILD_TESTING=OFF -DCMAKE_TOOLCHAIN_FILE="$old/src/cmake/mingw-x86_64.cmake" -DTMD_DEPS_DIR="$deps"
  run "$old/build-native.log" cmake --build "$old/native" --target tessaramond-pack
  run "$old/build-win64.log" cmake --build "$old/win64" --target tessaramond untessaramond uninstall
  touch "$old/built"
fi

# The product: Chinese folder and file names, a shortcut in a two-level
# Start-menu group and one on the desktop, listed among the installed programs.
work="$out/product"
rm -rf "$work"
mkdir -p "$work/files/bin" "$work/files/文档" "$work/files/数据"
cp "$program" "$work/files/bin/app.exe"
printf 'notes of the old release\r\n' >"$work/files/文档/说明.txt"
printf '名称,星等\r\n天狼星,-1.46\r\n' >"$work/files/数据/星表.csv"
printf '这是许可协议。\r\n' >"$work/licence.txt"

pack() {  # pack OUTPUT PRODUCTNAME STUB UNINSTALLER LAUNCHER
  cat >"$work/$2.ini" <<EOF
[SoftInfo]
companyname=旧版星辰
productname=$2

[InstallInfo]
folder=旧版星辰\\$2\\
bfoldersel=1
exefile=bin\\app.exe

[StartMenu]
linknum=1
group_0=旧版星辰|$2|
exefile_0=bin\\app.exe
linkname_0=\\$2.lnk

[Desktop]
linknum=1
exefile_0=bin\\app.exe
linkname_0=\\$2.lnk
uninstallentry=1
EOF
  run "$work/$2.log" "$old/native/tools/pack/tessaramond-pack" build -o "$out/$1" --descriptor "$work/$2.ini" \
    --product "$work/files" --licence "$work/licence.txt" --stub "$3" --uninstaller "$4" --launcher "$5"
}
programs="$old/win64"
pack OldSetup.exe 旧版星图 "$programs/installer/tessaramond.exe" "$programs/uninstaller/untessaramond.exe" \
  "$programs/launcher/uninstall.exe"
pack OldPackageSetup.exe 旧包星图 "$installer" "$uninstaller" "$launcher"
echo "old_release: $out/OldSetup.exe and $out/OldPackageSetup.exe packed by $release"
