#!/bin/bash
# Exit 0 when the kernel runs 32-bit x86 programs; needs no package. Some machines cannot
# (no IA-32 emulation), and there wine32 installs but its loader fails to start.
# The program below is a 96-byte ELF32 whose only instructions are exit(42).
set -uo pipefail
probe="$(mktemp "${TMPDIR:-/tmp}/runs-32-bit.XXXXXX")"
trap 'rm -f "$probe"' EXIT
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0' >"$probe"
printf '\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10' >>"$probe"
printf '\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >>"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? = 42 ]
