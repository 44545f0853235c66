# shellcheck shell=bash
# Which Wine runs the Windows programs, and from which build (sourced by the
# end-to-end tests, the demo and the disc image's run under Wine).
#
#   wine_choose BUILD_DIR   sets
#   WINE        the Wine to run programs with: `wine`, or the 64-bit loader
#   WINE_BUILD  the build directory whose programs it runs
#   WINE_REG_VIEW (exported) the registry view setup.exe reads: /reg:32 or
#               /reg:64, for `reg add` and `reg delete`
#
# scripts/wine-arch.sh decides.  A machine that cannot run 32-bit programs
# cannot run the 32-bit Wine: there the launcher's sources built for x86-64
# (the win64 preset, beside the win32 build) run under the 64-bit Wine, and
# a win32 build given is swapped for it.  The `wine` script cannot be used
# there (it starts the 32-bit loader first); `wineserver` can.

WINE_SH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The machine a PE file is built for, as 4 hex digits: 014c for x86, 8664
# for x86-64; nothing when the file is missing.
pe_machine() {
    local at
    [ -f "$1" ] || return 0
    at=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$at" ] || return 0
    od -An -tx2 -j$((at + 4)) -N2 "$1" | tr -d ' '
}

# shellcheck disable=SC2034 # WINE and WINE_BUILD are for the scripts that source this
wine_choose() {
    WINE_BUILD=$(cd "$1" && pwd)
    if [ "$("$WINE_SH_DIR/../../scripts/wine-arch.sh")" = win32 ]; then
        WINE=wine
        WINE_REG_VIEW=/reg:32
    else
        WINE=/usr/lib/wine/wine64
        WINE_REG_VIEW=/reg:64
        export WINEARCH=win64 # for a prefix made anew
        if [ "$(pe_machine "$WINE_BUILD/setup.exe")" = 014c ]; then
            WINE_BUILD=$(dirname "$WINE_BUILD")/win64
            echo "This machine cannot run 32-bit programs: the launcher's sources built for x86-64" \
                "($WINE_BUILD/setup.exe) run under 64-bit Wine in place of the 32-bit setup.exe."
        fi
    fi
    export WINE_REG_VIEW
}
