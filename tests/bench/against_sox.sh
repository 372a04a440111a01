#!/usr/bin/env bash
# genrender beside sox's own generator over the same seconds of the same
# signal (white and brown noise, and a linear sine sweep from 20 Hz to
# 20 kHz over the whole time), 16-bit stereo at 44.1 kHz to /dev/null, best
# of three runs each:
#   tests/bench/against_sox.sh GENRENDER [SECONDS]
# prints one line a signal:
#   bench <signal>_vs_sox genrender_s=<s> sox_s=<s> ratio=<sox time / genrender time>
set -euo pipefail
genrender=$1
seconds=${2:-60}

# The best of three wall-clock times of a command, in seconds.
best_of_three() {
  local best=
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    local took=$(( end - start ))
    if [[ -z $best || $took -lt $best ]]; then best=$took; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

for pair in "white:whitenoise" "brown:brownnoise"; do
  ours=${pair%%:*}
  theirs=${pair#*:}
  g=$(best_of_three "$genrender" --signal "$ours" -d "$seconds" -o -)
  s=$(best_of_three sox -n -r 44100 -c 2 -b 16 -t wav - synth "$seconds" "$theirs")
  awk -v n="$ours" -v g="$g" -v s="$s" \
    'BEGIN { printf "bench %s_vs_sox genrender_s=%s sox_s=%s ratio=%.2f\n", n, g, s, s / g }'
done

# The sweep: a set file of the defaults with a linear sweep from 20 Hz to
# 20 kHz over the seconds (word offsets as in generator/engine/engine.h).
set_file=$(mktemp)
trap 'rm -f "$set_file"' EXIT
/usr/bin/python3 - "$set_file" "$seconds" <<'PY'
import struct, sys
words = [0] * 46
floats = {11: 0.05, 13: -10.0, 17: 1000.0, 21: 20.0, 22: 20000.0, 23: float(sys.argv[2]),
          28: 3.0, 29: 0.3}
words[16] = 1        # pink mono, the defaults' noise type
words[20] = 1 | 2    # the sweep on, linear
body = b"".join(struct.pack("<f", floats[i]) if i in floats else struct.pack("<i", words[i])
                for i in range(46))
with open(sys.argv[1], "wb") as f:
    f.write(b"TARNWELL-GENERATOR.DefFileForStandAloneGenerator" + body)
PY
g=$(best_of_three "$genrender" -s "$set_file" -d "$seconds" -o -)
s=$(best_of_three sox -n -r 44100 -c 2 -b 16 -t wav - synth "$seconds" sine 20:20000)
awk -v g="$g" -v s="$s" \
  'BEGIN { printf "bench linear_sweep_vs_sox genrender_s=%s sox_s=%s ratio=%.2f\n", g, s, s / g }'
