#!/usr/bin/env bash
# genrender against an independent analyser: 2 s of the defaults (1 kHz sine
# at -10 dB) must measure as such in sox; bad input must fail clearly.
#   genrender_sox_test.sh GENRENDER WORK_DIR
set -euo pipefail
genrender=$1
work=$2
mkdir -p "$work"
wav="$work/defaults.wav"

"$genrender" --help | grep -q -- '--duration'
"$genrender" -d 2 -o "$wav"
[[ $(soxi -r "$wav") == 44100 && $(soxi -c "$wav") == 2 && $(soxi -b "$wav") == 16 ]]
[[ $(soxi -s "$wav") == 88200 ]]

stat=$(sox "$wav" -n remix 1 trim 0.1 stat 2>&1)
rms=$(awk '/RMS +amplitude/ {print $3}' <<<"$stat")
freq=$(awk '/Rough +frequency/ {print $3}' <<<"$stat")
# A sine of amplitude 10^(-10/20) has an RMS of 0.2236.
awk -v r="$rms" 'BEGIN { exit !(r > 0.2226 && r < 0.2246) }' || { echo "RMS $rms"; exit 1; }
awk -v f="$freq" 'BEGIN { exit !(f > 990 && f < 1010) }' || { echo "frequency $freq"; exit 1; }

# Clear failures.
if "$genrender" -d 2 2>"$work/err"; then exit 1; fi
grep -q 'no output file' "$work/err"
if "$genrender" -d nonsense -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q 'duration' "$work/err"
if "$genrender" -s "$work/missing.def" -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q 'cannot open' "$work/err"
head -c 231 /dev/zero > "$work/short.def"
if "$genrender" -s "$work/short.def" -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q 'too short' "$work/err"
head -c 232 /dev/zero > "$work/foreign.def"
if "$genrender" -s "$work/foreign.def" -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q 'not a Generator current-set file' "$work/err"
echo "genrender: RMS $rms, frequency $freq"
