#!/usr/bin/env bash
# The CAN tools on the test machine (FIFO board: DIZED1, DIZED2 with two sensor units on their
# bus; basic board: DIZED3 alone on its bus). dized-dump's -L log is read back by log2asc of
# the Linux CAN utilities. Usage: tools_test.sh <machine description> <tool folder>
set -uo pipefail
bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each tool process boots its own copy of the machine in a fresh prefix.
cp "$1" "$work/machine.ini"
export PLATFORM_MACHINE=$work/machine.ini PLATFORM_ROOT=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { "$@"; }

# Usage texts end in examples; bad arguments exit 2.
for tool in dized-dump dized-send dized-status; do
  run "$bin/$tool" -h | grep -q '^Examples:' || fail "$tool -h has no examples"
done
run "$bin/dized-send" -p DIZED1 12#00 2>"$work/err"; [[ $? == 2 ]] || fail "bad frame accepted"
grep -q '3 (standard) or 8 (extended)' "$work/err" || fail "bad frame message: $(cat "$work/err")"
run "$bin/dized-send" -p DIZED1234567 123#00 2>/dev/null; [[ $? == 2 ]] || fail "long port name accepted"
run "$bin/dized-dump" -p DIZED1 -n 0 2>/dev/null; [[ $? == 2 ]] || fail "dump -n 0 accepted"
# Counts and times are checked alike in both tools: no sign, no number beyond the limit.
for bad in "-n -5" "-n -1" "-n 99999999999999999999" "-t -1" "-t 12345678901234567890" "-n 3x"; do
  run timeout 10 "$bin/dized-dump" -p DIZED1 -t 1 $bad 2>"$work/err"; [[ $? == 2 ]] || fail "dized-dump $bad accepted"
  grep -q 'bad value' "$work/err" || fail "dized-dump $bad: $(cat "$work/err")"
done
for bad in "-r 0" "-r -3" "-r 99999999999999999999" "-g -1" "-g 18446744073709551616"; do
  run timeout 10 "$bin/dized-send" -p DIZED1 $bad 123#00 >/dev/null 2>"$work/err"; [[ $? == 2 ]] || fail "dized-send $bad accepted"
done

# Status of one port and of all.
run "$bin/dized-status" -p DIZED1 >"$work/status" || fail "dized-status -p DIZED1 failed"
grep -q 'bit timing 0000053A' "$work/status" || fail "status lacks the default bit timing: $(cat "$work/status")"
grep -q 'board with hardware FIFOs' "$work/status" || fail "status lacks the board kind"
run "$bin/dized-status" >"$work/all" || fail "dized-status failed"
[[ $(grep -c '^DIZED' "$work/all") == 3 ]] || fail "not three ports: $(cat "$work/all")"
run "$bin/dized-status" -p DIZED9 >"$work/missing"; [[ $? == 1 ]] || fail "missing port not reported"
grep -q 'missing or busy' "$work/missing" || fail "missing port message"

# Sending: the broadcast ID query is acknowledged by the sensor units.
run "$bin/dized-send" -p DIZED1 00000001#0009000200000000 123#DE.AD.BE.EF 7FF#R2 >"$work/sent" \
  || fail "dized-send failed: $(cat "$work/sent")"
[[ $(grep -c 'sent at' "$work/sent") == 3 ]] || fail "not three completions: $(cat "$work/sent")"
grep -q '^123#DEADBEEF sent at' "$work/sent" || fail "completion text: $(cat "$work/sent")"
grep -q '^7FF#R2 sent at' "$work/sent" || fail "remote completion text: $(cat "$work/sent")"

# Rounds: every frame sent gives one completion line with a time of its own (regression: the
# record of a frame still on the wire was skipped and an older one reported again).
# Frames take their wire time here (no fast mode), so each has a time of its own.
sed 's/^FastMode=1/FastMode=0/' "$1" >"$work/slow.ini"
PLATFORM_MACHINE=$work/slow.ini run "$bin/dized-send" -p DIZED1 -r 4 -g 20 123#00 456#00 >"$work/rounds" \
  || fail "dized-send -r 4 failed"
[[ $(grep -c 'sent at' "$work/rounds") == 8 ]] || fail "not eight completions: $(cat "$work/rounds")"
[[ $(awk '{print $1}' "$work/rounds" | paste -sd' ') == "123#00 456#00 123#00 456#00 123#00 456#00 123#00 456#00" ]] \
  || fail "completion order: $(cat "$work/rounds")"
awk '{t = $4 + 0; if (NR > 1 && t <= last) exit 1; last = t}' "$work/rounds" \
  || fail "completion times do not rise: $(cat "$work/rounds")"

# Dumping the units' answers in the log format, read back by log2asc.
run timeout 60 "$bin/dized-dump" -p DIZED1 -L -n 2 -s 00000001#0009000200000000 >"$work/bus.log" \
  || fail "dized-dump -L failed"
[[ $(grep -cE '^\([0-9]{10}\.[0-9]{6}\) DIZED1 0000[24]000#0009' "$work/bus.log") == 2 ]] \
  || fail "log lines: $(cat "$work/bus.log")"
log2asc -I "$work/bus.log" DIZED1 >"$work/bus.asc" || fail "log2asc failed"
[[ $(grep -cE '^ +[0-9]+\.[0-9]+ 1 +[24]000x +Rx +d 8 00 09' "$work/bus.asc") == 2 ]] \
  || fail "log2asc did not read both frames: $(cat "$work/bus.asc")"

# A lone sender: acknowledgement errors decoded (the board retries at about the rate the tool
# polls it, ten times a second: 16 errors make it error passive), the bus state change, error frames in the log.
run timeout 60 "$bin/dized-dump" -p DIZED3 -t 4 -s 010#01 >"$work/errors" || fail "dized-dump on DIZED3 failed"
grep -q 'bus error: other error while transmitting, acknowledge slot (capture 0xD9)' "$work/errors" \
  || fail "error decoding: $(head -5 "$work/errors")"
grep -q 'BUS error active -> error passive' "$work/errors" || fail "bus state change: $(tail -3 "$work/errors")"
run timeout 60 "$bin/dized-dump" -p DIZED3 -L -t 1 -s 010#01 >"$work/errors.log" || fail "dized-dump -L on DIZED3"
grep -qE '^\([0-9.]+\) DIZED3 200000A8#0000[0-9A-F]{2}19' "$work/errors.log" \
  || fail "error frame: $(head -3 "$work/errors.log")"
log2asc -I "$work/errors.log" DIZED3 >"$work/errors.asc" || fail "log2asc of errors failed"
grep -q 'ErrorFrame' "$work/errors.asc" || fail "log2asc saw no error frame: $(head -5 "$work/errors.asc")"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "tools: all checks held"
