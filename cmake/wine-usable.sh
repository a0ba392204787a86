#!/usr/bin/env bash
# Exits 0 when 32-bit Windows programs can run here under Wine. Wine's 32-bit loader is a 32-bit
# Linux program, and some kernels run none (built without IA-32 emulation, as in some virtual
# machines): then it prints why on standard error and exits 1, so that the callers build the
# Windows module and check what needs no Windows program, and say that the rest was left out.
if ! command -v wine >/dev/null 2>&1; then
  echo "Wine is not installed" >&2
  exit 1
fi
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  echo "32-bit programs run here only under emulation, far too slowly for the Windows tests" >&2
  exit 1
fi
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "this kernel runs no 32-bit programs (no IA-32 emulation), so 32-bit Wine cannot start" >&2
  exit 1
fi
