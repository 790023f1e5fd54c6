#!/usr/bin/env bash
# Builds the installer module's INSTALL.DAT fuzz target with clang, AddressSanitizer and UBSan
# in build-fuzz/ and runs it for a bounded time (seconds, default 60) on seeds made from the
# sample project and the module's language file.
# Usage: installer_runtime/fuzz/run_fuzz.sh [seconds]     e.g. installer_runtime/fuzz/run_fuzz.sh 120
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DINSTALLER_RUNTIME_FUZZ=ON -DSUITE_SANITIZE=ON -DSUITE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build-fuzz" -j2 --target installer_dat_fuzz
corpus=$(mktemp -d)
seeds=$(mktemp -d)
artifacts=$(mktemp -d)
trap 'rm -rf "$corpus" "$seeds" /tmp/install_dat_fuzz_*' EXIT
iconv -f UTF-8 -t CP932 "$top/data/samples/見本アプリ/見本アプリ.PJ2" >"$seeds/sample"
iconv -f UTF-8 -t CP932 "$top/data/Module/ZU_VAZUZA.LNG" >"$seeds/language"
printf '[Software]\r\nSoftName=a\r\n[Files]\r\n0=1|5|Files|||||1|\r\n[Installer]\r\nEnableShortCutSetting=1\r\nEnableIniFileSetting=1\r\n[ShortCutItems]\r\n0=..\\a|%%InstallDir%%\\a||||0||0|63|1|\r\n[IniFileItems]\r\n0=0|%%AbsoluteDir%%|Z:\\tmp|a.ini|S|K|V||||\r\n' >"$seeds/hostile"
printf '[Software]\r\nSoftName=a\r\nMainFileName=a.exe\r\n[Installer]\r\nEnableRelationApplicationSetting=1\r\nInstallMethod=3\r\nOptions=528\r\n[RelationApplicationItems]\r\n0=1|b|b|3|2|||1|65535||\r\n1=1|c|..\\c|1|1|||0|65535||\r\n' >"$seeds/related"
ASAN_OPTIONS=detect_leaks=0 "$top/build-fuzz/bin/installer_dat_fuzz" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=16384 -artifact_prefix="$artifacts/" "$corpus" "$seeds"
echo "no crash in $seconds s (artifacts would be in $artifacts)"
