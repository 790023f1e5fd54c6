#!/usr/bin/env bash
# Builds the archivers' fuzz targets with clang, AddressSanitizer and UBSan in build-fuzz/ and
# runs each for a bounded time (seconds per target, default 60) on fresh seeds: the LHA reader,
# the LHA encoder (round trip), the CAB reader, and the self-extractors' trailer, directives,
# options and command check.
# Usage: archivers/fuzz/run_fuzz.sh [seconds] [target...]
#   e.g. archivers/fuzz/run_fuzz.sh 120
#        archivers/fuzz/run_fuzz.sh 30 archivers_sfx_fuzz
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(archivers_lha_fuzz archivers_lha_coder_fuzz archivers_cab_fuzz archivers_sfx_fuzz)
cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DARCHIVERS_FUZZ=ON -DSUITE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build-fuzz" -j2 --target "${targets[@]}" archivers_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$top/archivers/fuzz/make_seeds.sh" "$top/build-fuzz" "$work/seeds"
# Seeds of the self-extractor target: the first byte picks trailer (0), directives (1) or
# command and members (2).
mkdir -p "$work/seeds/sfx"
printf '\001$Command=%%WORK%%\\DOZOZE\\T\\install.exe\r\n$InstallDir=%%WORK%%\\DOZOZE\\T\r\n$Flag=31\r\n' \
  >"$work/seeds/sfx/directives"
printf '\001ExtractDir=%%temp%%\\DOZOZE\\T\\\r\nCommand=install.exe\r\nAskFolder=0\r\nDeleteAfterRun=1\r\n' \
  >"$work/seeds/sfx/options"
printf '\002%%WORK%%\\DOZOZE\\T\\install.exe\n%%WORK%%\\DOZOZE\\T\nINSTALL.EXE\nsub/\nsub\\a.txt' \
  >"$work/seeds/sfx/command"
{ printf '\000stub'; head -c 100 /dev/zero; printf 'opts'
  printf 'ZSFX0001\004\000\000\000\000\000\000\000\144\000\000\000\000\000\000\000\004\000\000\000L\000\000\000'; } \
  >"$work/seeds/sfx/trailer"
# Seeds of the coder target: word text and binary bytes.
mkdir -p "$work/seeds/coder"
head -c 3000 "$top/archivers/fuzz/run_fuzz.sh" >"$work/seeds/coder/text"
head -c 3000 "$top/build-fuzz/bin/archivers_bench" >"$work/seeds/coder/binary"
artifacts=$(mktemp -d)
for t in "${targets[@]}"; do
  case $t in
    archivers_lha_fuzz) seed=lha ;;
    archivers_lha_coder_fuzz) seed=coder ;;
    archivers_cab_fuzz) seed=cab ;;
    *) seed=sfx ;;
  esac
  mkdir -p "$work/corpus/$seed"
  echo "== $t for $seconds s"
  "$top/build-fuzz/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$artifacts/" "$work/corpus/$seed" "$work/seeds/$seed"
done
echo "no crash in $seconds s per target (artifacts would be in $artifacts)"
