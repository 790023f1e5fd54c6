#!/usr/bin/env bash
# Builds the project model's fuzz target with clang, AddressSanitizer and UBSan in
# build-fuzz/ and runs it for a bounded time (seconds, default 60) on a fresh corpus.
# Usage: zeriru/project/fuzz/run_fuzz.sh [seconds]     e.g. zeriru/project/fuzz/run_fuzz.sh 120
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-60}
cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZERIRU_PROJECT_FUZZ=ON -DSUITE_SANITIZE=ON -DSUITE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build-fuzz" -j2 --target zeriru_project_fuzz
corpus=$(mktemp -d)
artifacts=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
printf '\000[Project]\r\nProjectName=a\001b\r\n;c\r\n\r\n[Files]\r\n0=a|b|\r\n' >"$corpus/document"
printf '\005a|\210\174|c|1|0' >"$corpus/record"
"$top/build-fuzz/bin/zeriru_project_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=16384 -artifact_prefix="$artifacts/" "$corpus"
echo "no crash in $seconds s (artifacts would be in $artifacts)"
