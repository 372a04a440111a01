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
"$wine" "$@" >"$out" 2>"$err" </dev/null
status=$?
set -e
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit "$status"
