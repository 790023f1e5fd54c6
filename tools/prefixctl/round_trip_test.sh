#!/bin/sh
# prefixctl against a fresh prefix: provisioning, path mapping both ways, registry values.
set -eu
ctl=$1
rm -rf "$PLATFORM_ROOT"
"$ctl" init
grep -q '^\[UsbSensor 2\]' "$PLATFORM_ROOT/machine/default.ini" || { echo "no default machine"; exit 1; }
echo '; kept' >> "$PLATFORM_ROOT/machine/default.ini"
"$ctl" init   # a second time changes nothing
grep -q '^; kept' "$PLATFORM_ROOT/machine/default.ini" || { echo "machine file replaced"; exit 1; }
host=$("$ctl" path 'C:\PROGRAM FILES\zuzoruve')
[ "$host" = "$PLATFORM_ROOT/drive_c/Program Files/Zuzoruve" ] || { echo "path gave: $host"; exit 1; }
[ "$("$ctl" winpath "$host")" = 'C:\Program Files\Zuzoruve' ] || { echo "winpath wrong"; exit 1; }
[ "$("$ctl" winpath /tmp)" = 'Z:\tmp' ] || { echo "Z: mapping wrong"; exit 1; }
"$ctl" reg-set HKCU 'Software\表示' 'Name' 'テキスト'
[ "$("$ctl" reg-get HKEY_CURRENT_USER 'software\表示' name)" = 'テキスト' ] || { echo "registry round trip"; exit 1; }
if "$ctl" reg-get HKCU 'Software\none' x 2>/dev/null; then echo "missing value reported as found"; exit 1; fi
"$ctl" show | grep -q '^desktop'
rm -rf "$PLATFORM_ROOT"
echo "prefixctl round trip: ok"
