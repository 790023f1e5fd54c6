#!/bin/sh
# The suite's Debian package as a user gets it: made with CPack from the build folder, unpacked
# into a temporary root, checked for the programs, man pages and desktop entries, and then the
# sample project built with the unpacked zeriru /SILENTBUILD into a fresh prefix and its
# installer run. Nothing of the build tree is used on the way: no library path, no share folder.
# Usage: installed_build_test.sh BUILD-FOLDER
set -eu
build=$1
work=$(mktemp -d /tmp/package_test_XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cpack -G DEB -B "$work/pkg" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
set -- "$work"/pkg/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one .deb in $work/pkg"
deb=$1
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --field "$deb" Depends | grep -q libc6 || fail "no dependencies recorded"
root=$work/root
dpkg -x "$deb" "$root"

for program in zeriru rozivu ridaviri_did prefixctl machinectl arcctl dized-dump dized-send dized-status; do
  [ -x "$root/usr/bin/$program" ] || fail "missing /usr/bin/$program"
  page=$root/usr/share/man/man1/$program.1.gz
  [ -f "$page" ] || fail "missing man page $program(1)"
  gzip -dc "$page" | head -n 1 | grep -q '^\.TH ' || fail "$program(1) is no man page"
done
for entry in zeriru ridaviri_did; do
  file=$root/usr/share/applications/$entry.desktop
  [ -f "$file" ] || fail "missing desktop entry $entry"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$file" || fail "$entry.desktop"; fi
done
# The monitor's entry names its icon, which the package carries.
grep -qx 'Icon=ridaviri_did' "$root/usr/share/applications/ridaviri_did.desktop" || fail "ridaviri_did.desktop names no icon"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/ridaviri_did.svg" ] || fail "missing the icon of ridaviri_did"
[ -f "$root/usr/lib/libdized.so" ] && [ -f "$root/usr/include/dized.h" ] || fail "DiZed not in /usr/lib, /usr/include"
# An application's C or C++ source compiles against the installed header alone.
printf '#include <dized.h>\nint main(void) { return CanClosePort(0) == 0; }\n' >"$work/app.c"
cc -fsyntax-only -I"$root/usr/include" "$work/app.c" || fail "dized.h does not compile as C"
c++ -fsyntax-only -I"$root/usr/include" -x c++ "$work/app.c" || fail "dized.h does not compile as C++"
for private in libunlha32.so libcab32.so libmachine.so libkxdevio.so libplatform_winmsg.so lha_sfx cab_sfx; do
  [ -f "$root/usr/lib/zuzoruve/$private" ] || fail "missing /usr/lib/zuzoruve/$private"
done
[ -x "$root/usr/share/zuzoruve/Module/ZU_VAZUZA.DAT" ] || fail "missing the installer module"
# No run path may lead back into the build tree.
for object in "$root"/usr/bin/* "$root"/usr/lib/*.so "$root"/usr/lib/zuzoruve/*; do
  if readelf -d "$object" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build"; then
    fail "$object looks into the build tree"
  fi
done

# The sample project, built by the installed editor into a fresh prefix.
unset ZUZORUVE_SHARE LD_LIBRARY_PATH ARCHIVERS_STUB_DIR PLATFORM_MACHINE
export PLATFORM_ROOT="$work/prefix" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" "$work/out" "$work/tmp"
chmod 700 "$XDG_RUNTIME_DIR"
project='C:\Program Files\Zuzoruve\Raredovo\samples\見本アプリ\見本アプリ.PJ2'
code=0
"$root/usr/bin/zeriru" "$project" /SILENTBUILD "$work/out" >"$work/build.log" 2>&1 </dev/null || code=$?
[ "$code" -eq 0 ] || { cat "$work/build.log" >&2; fail "installed zeriru ended with $code"; }
grep -q '処理は正常に終了しました。' "$work/build.log" || fail "no completion line"
set -- "$work"/out/*.exe
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one installer in $work/out"
code=0
TMPDIR="$work/tmp" "$1" /S >"$work/install.log" 2>&1 </dev/null || code=$?
[ "$code" -eq 0 ] || { cat "$work/install.log" >&2; fail "the installer ended with $code"; }
[ -f "$PLATFORM_ROOT/drive_c/Program Files/見本アプリ/Install.dat" ] || fail "the installer left no uninstall record"
echo "package test: the installed zeriru built $(basename "$1") and it installed"
