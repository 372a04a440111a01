#!/usr/bin/env bash
# Exits 0 when this kernel runs 32-bit x86 programs, 1 when it does not:
#   scripts/runs-32bit.sh
#
# The probe assembles and links a static i386 program of three instructions
# (exit with status 0) with the host binutils and runs it: no library, no
# package and no network is involved, so the answer is the kernel's alone.
# QX_NO_32BIT=1 makes the probe fail, to try the 32-bit skip on any machine.
set -euo pipefail

[[ "${QX_NO_32BIT:-}" == 1 ]] && exit 1
command -v as >/dev/null && command -v ld >/dev/null || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/probe.s" <<'ASM'
  .globl _start
_start:
  movl $1, %eax
  xorl %ebx, %ebx
  int $0x80
ASM
as --32 "$work/probe.s" -o "$work/probe.o" 2>/dev/null || exit 1
ld -m elf_i386 "$work/probe.o" -o "$work/probe" 2>/dev/null || exit 1
"$work/probe" 2>/dev/null || exit 1
