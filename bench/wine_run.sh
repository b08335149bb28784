#!/usr/bin/env bash
# The Wine part of bench/run: the shipped installer of the benchmark tree
# installed under wine64 from start to the finish page, beside xcopy /E /I of
# the same tree in the same prefix; then the peak memory of the working run
# for the 200 MB product and for one of BIG_MB megabytes.
#   wine_run.sh WORK REPS BIG_MB   (WORK holds tree/, setup.ini, setup.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$1 reps=$2 big_mb=$3
out="$root/build/bench"
pack="$root/build/release/tools/pack/tessaramond-pack"
win64="$root/build/win64"
driver="$win64/bench/wine-bench.exe"
times="$out/times.tsv"
loads="$out/loads.tsv"
memory="$out/memory.tsv"
: >"$memory"

wine() { "$root/scripts/wine-run" "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }
note() { echo "bench: $*" >&2; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

# The same display and prefix set-up as the tests and the demo.
# shellcheck source=../scripts/wine-session
. "$root/scripts/wine-session"
trap wine_session_stop EXIT
wine_session_start "$work/wine" "$out/logs"

drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/TmdBench"
forget_install() {  # what the installation left, so the next one starts alike
  rm -rf "$installed" "$drive_c/Program Files/Common Files/Tessaramond"/*.tmd
}

# One timed installation; prints "seconds peak-ws-KB peak-pagefile-KB".
install_once() {
  local shipped=$1 result
  forget_install
  sync
  result=$(wine "$driver" install "$(winpath "$shipped")" TmdBench </dev/null) || { note "installation under wine64 failed"; exit 1; }
  [ -d "$installed" ] || { note "nothing installed under wine64"; exit 1; }
  echo "$result"
}

cp setup.exe wine-setup.exe
# Round i: our installation, then xcopy of the same tree. No CPU time here:
# Wine starts every Windows process detached from the one that started it, so
# the installer's CPU time never reaches the shell's accounting.
load_before=$(loadavg)
for i in $(seq "$reps"); do
  result=$(install_once "$work/wine-setup.exe")
  read -r seconds ws pf <<<"$result"
  [ "$i" = 1 ] && { diff -r tree "$installed" -x uninstall.exe >/dev/null || { note "the tree installed under wine64 differs"; exit 1; }; }
  printf 'wine\ttessaramond installer (start to finish page)\t%s\t%s\t\t\t\n' "$i" "$seconds" >>"$times"
  printf '%s\t%s\t%s\n' "$(du -sb tree | cut -f1)" "$ws" "$pf" >>"$memory"
  rm -rf "$drive_c/xcopy"
  sync
  # xcopy's own report comes first; the driver's time is the last line.
  if seconds=$(wine "$driver" xcopy "$(winpath "$work/tree")" 'C:\xcopy' </dev/null | tail -n 1) && [ -n "$seconds" ]; then
    printf 'wine\txcopy /E /I\t%s\t%s\t\t\t\n' "$i" "$seconds" >>"$times"
  else
    note "xcopy failed"
    printf 'wine\txcopy /E /I\t%s\tfailed\t\t\t\n' "$i" >>"$times"
  fi
done
printf 'wine\t%s\t%s\n' "$load_before" "$(loadavg)" >>"$loads"
forget_install
rm -rf "$drive_c/xcopy"

note "peak memory with a product of $big_mb MB"
python3 "$root/bench/make_tree.py" big --files 1000 --mb "$big_mb" --kind zeros >"$out/big-tree.txt"
# No main program in this product: the builder only warns about that.
printf '[SoftInfo]\nproductname=TmdBench\n[InstallInfo]\nfolder=TmdBench\\\n' >big.ini
"$pack" build -o big.exe --descriptor big.ini --product big --licence licence.txt --stub "$win64/installer/tessaramond.exe" \
  --uninstaller "$win64/installer/untessaramond.exe" --launcher "$win64/installer/uninstall.exe" --level fast >/dev/null
rm -rf big.items
result=$(install_once "$work/big.exe")
read -r seconds ws pf <<<"$result"
printf '%s\t%s\t%s\n' "$(du -sb big | cut -f1)" "$ws" "$pf" >>"$memory"
echo "$seconds" >"$out/big-install-seconds.txt"
forget_install
rm -rf big big.exe
