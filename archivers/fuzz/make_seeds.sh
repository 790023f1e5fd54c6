#!/usr/bin/env bash
# Writes seed archives for the fuzz targets into <folder>/lha and <folder>/cab, made with our
# libraries (small, all methods) and with gcab.
# Usage: archivers/fuzz/make_seeds.sh <build folder> <seed folder>
set -euo pipefail
build=$1
seeds=$2
mkdir -p "$seeds/lha" "$seeds/cab"
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
head -c 3000 /dev/urandom > "$src/r.bin"
for i in $(seq 1 200); do echo "line $i of the seed text"; done > "$src/t.txt"
: > "$src/empty"
for m in -lh0- -lh5- -lh6- -lh7-; do
  "$build/bin/archivers_bench" "$m" "$seeds/lha/seed$m.lzh" "$src/t.txt" "$src/r.bin" "$src/empty" > /dev/null
done
"$build/bin/archivers_bench" mszip "$seeds/cab/seed.cab" "$src/t.txt" "$src/r.bin" > /dev/null
(cd "$src" && gcab -c -z "$seeds/cab/gcab.cab" t.txt r.bin)
(cd "$src" && gcab -c "$seeds/cab/gcab_stored.cab" t.txt)
