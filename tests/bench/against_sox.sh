#!/usr/bin/env bash
# genrender beside sox's own generator over the same seconds of the same
# signal, 16-bit stereo at 44.1 kHz to /dev/null, best of three runs each:
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
