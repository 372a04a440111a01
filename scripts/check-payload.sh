#!/usr/bin/env bash
# Refuses an installer (or package) whose payload carries the stand-ins'
# test hooks:
#   scripts/check-payload.sh MKPACKAGE INSTALLER_OR_PACKAGE...
# Each package is deciphered with the host mkpackage into a scratch folder
# and every entry searched for the hooks' names (setup/standin/standin_log.h).
# The shipped stand-ins run as administrator and must read no hook a user
# could set; only the tests' packages carry them. Exit 1 names the entry.
set -euo pipefail
if [[ $# -lt 2 ]]; then
  echo "usage: $0 MKPACKAGE INSTALLER_OR_PACKAGE..." >&2
  exit 2
fi
mkpackage=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for payload in "$@"; do
  folder="$work/$(basename "$payload")"
  "$mkpackage" extract "$payload" "$folder" >/dev/null
  if found=$(grep -l -a -e QX_STANDIN_LOG -e QX_STANDIN_SETUP_EXIT -e 'stand-in test hooks' \
                 -r "$folder"); then
    for entry in $found; do
      echo "check-payload: $payload: ${entry#"$folder"/} reads the stand-ins' test hooks" >&2
    done
    status=1
  fi
done
exit $status
