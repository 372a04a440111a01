#!/usr/bin/env bash
# genrender against an independent analyser: 2 s of the defaults (1 kHz sine
# at -10 dB) must measure as such in sox; bad input and a full disk must fail
# clearly; a long render must stay in the memory of a short one.
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

# Another rate: the header says it and the tone stays at 1 kHz.
"$genrender" -d 1 --rate 96000 --quality high --format s24 -o "$work/rate.wav"
[[ $(soxi -r "$work/rate.wav") == 96000 && $(soxi -b "$work/rate.wav") == 24 ]]
[[ $(soxi -s "$work/rate.wav") == 96000 ]]
freq=$(sox "$work/rate.wav" -n remix 1 trim 0.1 stat 2>&1 | awk '/Rough +frequency/ {print $3}')
awk -v f="$freq" 'BEGIN { exit !(f > 990 && f < 1010) }' || { echo "96 kHz frequency $freq"; exit 1; }

# White noise at -10 dB, as sox measures it: the pink noise's RMS (-22.8
# dBFS), the same on both channels, no DC, also as the precise synth plays
# it (undithered float); brown the same RMS within 1 dB.
"$genrender" -d 4 --signal white --quality high --format f32 -o "$work/white.wav"
stat=$(sox "$work/white.wav" -n remix 1 trim 0.1 stat 2>&1)
rms=$(awk '/RMS +amplitude/ {print $3}' <<<"$stat")
awk -v r="$rms" 'BEGIN { exit !(r > 0.0716 && r < 0.0732) }' || { echo "white RMS $rms"; exit 1; }
difference=$(sox "$work/white.wav" -n remix 1,2v-1 stat 2>&1 | awk '/Maximum +amplitude/ {print $3}')
awk -v d="$difference" 'BEGIN { exit !(d == 0) }' || { echo "white channels differ by $difference"; exit 1; }
"$genrender" -d 4 --signal brown -o "$work/brown.wav"
rms=$(sox "$work/brown.wav" -n remix 1 trim 0.1 stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
awk -v r="$rms" 'BEGIN { exit !(r > 0.0645 && r < 0.0812) }' || { echo "brown RMS $rms"; exit 1; }
# A tone burst of 3 cycles of 441 Hz on, 7 off, at the default -10 dB: the
# sine's RMS (0.2236) for 3 of every 10 cycles, 0.2236 x sqrt(0.3) = 0.1225.
"$genrender" -d 2 --signal burst --burst 3,7 --frequency 441 -o "$work/burst.wav"
rms=$(sox "$work/burst.wav" -n remix 1 trim 0.1 stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
awk -v r="$rms" 'BEGIN { exit !(r > 0.1204 && r < 0.1246) }' || { echo "burst RMS $rms"; exit 1; }
# The J-test at 16 and 24 bits and in float, at 44.1 and 48 kHz, live and
# high, dither asked for or not: its codes, exactly, on both channels,
# whatever the default -10 dB (the 16-bit codes are the 24-bit ones shifted).
for render in "live s16 44100" "high s16 48000" "high s24 48000" "high s24 44100" "high f32 48000"; do
  read -r quality format rate <<<"$render"
  "$genrender" -d 0.1 --rate "$rate" --signal jtest --quality "$quality" --format "$format" \
    -o "$work/jtest.wav"
  /usr/bin/python3 - "$work/jtest.wav" "$format" "$rate" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 12
while data[at:at + 4] != b"data":
    at += 8 + struct.unpack("<I", data[at + 4:at + 8])[0]
samples = data[at + 8:]
if sys.argv[2] == "f32":
    codes = [round(v * 8388608) for v in struct.unpack("<%df" % (len(samples) // 4), samples)]
else:
    width = 3 if sys.argv[2] == "s24" else 2
    codes = [int.from_bytes(samples[i:i + width], "little", signed=True) << (8 * (3 - width))
             for i in range(0, len(samples), width)]
shift = 8 if sys.argv[2] == "s16" else 0
for n, code in enumerate(codes):
    k = (n // 2) % 192
    want = ((-0x400000 if k % 4 < 2 else 0x400000) - (k >= 96)) >> shift << shift
    assert code == want, (sys.argv[2:], n, hex(code & 0xFFFFFF), hex(want & 0xFFFFFF))
assert len(codes) == 2 * int(sys.argv[3]) // 10
PY
done
# The alias-free square's peaks: the Gibbs overshoot, 18 % over the naive square's.
"$genrender" -d 0.5 --waveform square --quality high -o "$work/naive.wav"
"$genrender" -d 0.5 --waveform square --alias-free --quality high -o "$work/alias_free.wav"
naive=$(sox "$work/naive.wav" -n remix 1 trim 0.1 stat 2>&1 | awk '/Maximum +amplitude/ {print $3}')
free=$(sox "$work/alias_free.wav" -n remix 1 trim 0.1 stat 2>&1 | awk '/Maximum +amplitude/ {print $3}')
awk -v n="$naive" -v f="$free" 'BEGIN { exit !(f / n > 1.17 && f / n < 1.19) }' ||
  { echo "alias-free square peak $free against $naive"; exit 1; }
if "$genrender" --alias-free=yes -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q "takes no value" "$work/err"
if "$genrender" --burst 3, -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q "not ON,OFF" "$work/err"
if "$genrender" --signal purple -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q "unknown signal 'purple': impulse, pink" "$work/err"

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
# An option without its value is a usage error, wherever it stands.
for args in "-o $wav -s" "-o $wav -d" "-s $work/foreign.def -o"; do
  # shellcheck disable=SC2086
  if "$genrender" $args 2>"$work/err"; then echo "accepted: $args"; exit 1; fi
  grep -q 'needs a value' "$work/err" || { echo "no usage error for: $args"; exit 1; }
done

# Usage errors: one line that names the argument and points to --help.
for args in "--bogus -o $wav" "frobnicate -o $wav" "--quality=best -o $wav" "--format s24 -o $wav" \
            "--dither none -o $wav" "--quality high --format f32 --dither tpdf -o $wav" \
            "--rate 44101 -o $wav" "--rate 192000 -d 3600 --quality high --format f32 -o $wav"; do
  # shellcheck disable=SC2086
  if "$genrender" $args 2>"$work/err"; then echo "accepted: $args"; exit 1; fi
  [[ $(wc -l <"$work/err") == 1 ]] && grep -q -- "--help" "$work/err" || { cat "$work/err"; exit 1; }
done
grep -q "'--bogus'" <("$genrender" --bogus -o "$wav" 2>&1)
if "$genrender" -s "$work" -o "$wav" 2>"$work/err"; then exit 1; fi
grep -q 'is a folder' "$work/err"

# The --option=value form, and each format as sox and Python's wave read it.
"$genrender" --duration=0.5 --quality=high --format=s24 --output="$wav"
[[ $(soxi -b "$wav") == 24 && $(soxi -s "$wav") == 22050 ]]
/usr/bin/python3 -c 'import sys, wave; w = wave.open(sys.argv[1]); assert w.getsampwidth() == 3' "$wav"
"$genrender" -d 0.5 --quality high --format f32 -o "$wav"
soxi -e "$wav" | grep -q 'Floating Point'

# Standard output: the header is exact, so sox reads the stream; a reader
# that goes away ends the render quietly, and a size limit leaves no file.
samples=$("$genrender" -d 3 --quality high --format s24 -o - | sox - -n stat 2>&1 |
          awk '/Samples read/ {print $3}')
[[ $samples == 264600 ]] || { echo "sox read $samples samples from the pipe"; exit 1; }
if "$genrender" -d 100 -o - 2>"$work/err" | head -c 1000 >/dev/null; then exit 1; fi
[[ ! -s "$work/err" ]] || { cat "$work/err"; exit 1; }
if (ulimit -f 100; "$genrender" -d 10 -o "$work/big.wav") 2>"$work/err"; then exit 1; fi
[[ ! -e "$work/big.wav" ]] || { echo "an incomplete file was left"; exit 1; }
grep -q 'File too large' "$work/err"

# A full disk: a clear message and a failure.
if "$genrender" -d 1 -o /dev/full 2>"$work/err"; then exit 1; fi
grep -q 'cannot write /dev/full: No space left on device' "$work/err"

# Ten minutes of audio are 106 MB; the render writes as it goes and keeps
# only a block, so its peak memory stays far below that.
peak_kb=$(/usr/bin/python3 - "$genrender" -d 600 -o /dev/null <<'PY'
import resource, subprocess, sys
if subprocess.run(sys.argv[1:]).returncode != 0:
    sys.exit(1)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY
)
(( peak_kb < 64 * 1024 )) || { echo "a 600 s render peaked at $peak_kb kB"; exit 1; }
echo "genrender: RMS $rms, frequency $freq, 600 s rendered in $peak_kb kB"
