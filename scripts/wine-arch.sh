#!/usr/bin/env bash
# Prints which Wine runs the Windows programs of the tests and the demo:
#   win32  this machine runs 32-bit programs: the real setup.exe (build/win32)
#          under the 32-bit Wine;
#   win64  it cannot (a kernel built or booted without 32-bit emulation, or no
#          32-bit libraries): the launcher's sources built for x86-64
#          (build/win64) under the 64-bit Wine.
# The 32-bit dynamic loader is a 32-bit program of its own: if it runs, so
# does the 32-bit Wine.
set -euo pipefail

if timeout 10 /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo win32
else
    echo win64
fi
