#!/usr/bin/env bash
# Runs one Windows program under Wine for a build tree (CMake's emulator):
#   scripts/wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
#
# Inside a session of that build tree (scripts/wine-session.sh) it runs the
# program at once; otherwise it opens a session for this one run. The
# program's output is collected in files and copied to ours when it ends, so
# no Wine process ever holds the caller's pipe. The exit code is the program's.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 BUILD_DIR PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [[ "${WINE_SESSION:-}" != "$build_dir" ]]; then
  exec "$here/wine-session.sh" "$build_dir" "$here/wine-run.sh" "$@"
fi
shift
source "$here/wine-paths.sh"

out=$(mktemp "$build_dir/wine/tmp/out.XXXXXX")
err=$(mktemp "$build_dir/wine/tmp/err.XXXXXX")
set +e
started=$(date +%s%N)
"$wine" "$@" >"$out" 2>"$err" </dev/null
status=$?
ended=$(date +%s%N)
set -e
cat "$out"
cat "$err" >&2
# A failure that printed nothing (Wine's own messages are off) still says
# what ended and how, so that it can be told apart from a test's failure.
if [[ $status -ne 0 && ! -s "$out" && ! -s "$err" ]]; then
  echo "wine-run: $1 ended with exit code $status after $(( (ended - started) / 1000000 )) ms" \
    "and printed nothing" >&2
fi
rm -f "$out" "$err"
exit "$status"
