#!/usr/bin/env bash
# Compression ratio and speed of our -lh5-, -lh6-, -lh7- and MSZIP against gzip -6, gzip -9 and
# gcab -c -z, on one corpus: the suite's built binaries, any documents given, and a 50 MiB mix
# of text and binaries taken from this machine (/usr/share/doc and /usr/lib). Not a test: a
# table to read.
# Usage: archivers/bench/run.sh [build folder [document...]]
#   e.g. archivers/bench/run.sh build ~/large-japanese-text.md
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
shift || true
tool=$build/bin/archivers_bench
[[ -x $tool ]] || { echo "build $tool first (cmake --build $build --target archivers_bench)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Corpus: built binaries, the documents given, then text and binaries up to 50 MiB.
corpus=()
for f in "$build"/bin/* "$build"/lib/*.so; do [[ -f $f ]] && corpus+=("$f"); done
for f in "$@"; do [[ -f $f ]] && corpus+=("$(realpath "$f")"); done
mix=0
limit=$((50 * 1024 * 1024))
while IFS= read -r f; do
  [[ -f $f && ! -L $f ]] || continue
  size=$(stat -c %s "$f")
  (( size > 0 && size < 8*1024*1024 )) || continue
  corpus+=("$f")
  mix=$((mix + size))
  (( mix < limit )) || break
done < <( (find /usr/share/doc -type f -name '*.txt' -o -type f -name 'copyright' -o -type f -name '*.html'; \
           find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*'; \
           find /usr/share/doc -type f -name 'changelog*' ) 2>/dev/null | sort | awk 'NR%2==1' )

total=0
for f in "${corpus[@]}"; do total=$((total + $(stat -c %s "$f"))); done
awk -v n="${#corpus[@]}" -v t="$total" 'BEGIN { printf "corpus: %d files, %.1f MiB\n\n", n, t / 1048576 }'

# Processor seconds (user + system) of a command: the machines we measure on are shared.
cpu() { local TIMEFORMAT='%U %S'; { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'; }
row() {  # name, input bytes, output bytes, seconds
  awk -v n="$1" -v i="$2" -v o="$3" -v s="$4" \
    'BEGIN { printf "| %-12s | %12d | %7.2f%% | %22.1f |\n", n, o, 100*o/i, (i/1048576)/s }'
}
echo '| coder        | output bytes |   ratio  | MiB/s (processor time) |'
echo '|--------------|--------------|----------|------------------------|'
# One packing thread: speeds per core, comparable with gzip's.
for m in -lh5- -lh6- -lh7-; do
  read -r i o s < <(ARCHIVERS_THREADS=1 "$tool" "$m" "$work/a.lzh" "${corpus[@]}")
  row "$m" "$i" "$o" "$s"
done
read -r i o s < <(ARCHIVERS_THREADS=1 "$tool" mszip "$work/a.cab" "${corpus[@]}")
row "MSZIP (ours)" "$i" "$o" "$s"
for lvl in 6 9; do
  s=$(cpu sh -c 'gzip -'"$lvl"' -c "$@" > "$0"' "$work/g.gz" "${corpus[@]}")
  row "gzip -$lvl" "$total" "$(stat -c %s "$work/g.gz")" "$s"
done
# gcab takes neither links nor long paths well: copy the corpus under short names.
mkdir "$work/gc"
n=0
for f in "${corpus[@]}"; do cp "$f" "$work/gc/f$n"; n=$((n + 1)); done
s=$(cd "$work/gc" && cpu sh -c 'gcab -c -z "$0" f*' "$work/g.cab")
row "gcab -c -z" "$total" "$(stat -c %s "$work/g.cab")" "$s"
