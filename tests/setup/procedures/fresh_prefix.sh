#!/usr/bin/env bash
# Runs one Windows test program in a Wine prefix of its own, made new for
# this run, so that a test group sees a prefix that nothing else has touched:
#   tests/setup/procedures/fresh_prefix.sh GROUP_DIR PROGRAM.exe [ARGS...]
#
# GROUP_DIR is a folder of the build tree for this group only; its old
# prefix is deleted first, and the new one (1.3 GB with 32-bit Wine, most
# of it Wine's own system folders) again after the run. After a run that
# failed, what there is to look at stays: the registry (*.reg) and every
# folder of drive C: but C:\windows, a few megabytes. The session itself
# (prefix, HOME, wineserver, display when none is set) is
# scripts/wine-run.sh's, for GROUP_DIR, and is over when that returns.
# Wine's menu builder is off: shortcuts in the Start menu would otherwise
# become desktop menu entries and registry notes of the session's own.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 GROUP_DIR PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
group_dir=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$group_dir/wine"
mkdir -p "$group_dir"
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
status=0
"$here/../../../scripts/wine-run.sh" "$group_dir" "$@" || status=$?
if [[ $status -eq 0 ]]; then
  rm -rf "$group_dir/wine/prefix" || true
else
  rm -rf "$group_dir/wine/prefix/drive_c/windows" || true
  echo "fresh_prefix: the failed run's registry and drive C: (without C:\windows)" \
    "stay in $group_dir/wine/prefix" >&2
fi
exit "$status"
