#!/usr/bin/env bash
# Runs the benchmark under Wine and prints its table, which it also leaves
# in WIN32_BUILD_DIR/bench.md.
#
#   tests/bench/run.sh WIN32_BUILD_DIR     (after: cmake --build ... --target bench_programs)
#
# The Wine prefix is WIN32_BUILD_DIR/bench/prefix, made on the first run and
# kept.  Without DISPLAY, a private Xvfb is started and stopped again.
# BENCH_QUICK=1 makes a short pass, for trying the benchmark out.
set -euo pipefail

die() { echo "bench: $*" >&2; exit 1; }
# Windows paths through drive Z:, which Wine maps to /.
winpath() { echo "Z:${1//\//\\}"; }
src=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

[ $# -eq 1 ] || die "usage: $0 WIN32_BUILD_DIR"
build=$(cd "$1" && pwd)
for f in disc/setup.exe disc/directx/redist/directx/dxsetup.exe \
         bench/bench.exe bench/setup_crt.exe bench/mindialog.exe bench/menudialog.exe; do
    [ -f "$build/$f" ] || die "missing $build/$f: build the target bench_programs first"
done

export WINEPREFIX=$build/bench/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""

# Whatever happens, end what this script started: our prefix's programs
# and wine server, and our Xvfb.
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# A display: the one given, or a private Xvfb on a free number, which
# Xvfb itself picks and writes to a file.
if [ -z "${DISPLAY:-}" ]; then
    mkdir -p "$build/bench"
    display_file=$build/bench/xvfb.display
    rm -f "$display_file"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.05; done
    [ -s "$display_file" ] || die "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$display_file")"
fi

# The prefix, made once (about 30 s) and reused: the end-to-end tests'
# settings, then ours (a virtual desktop, the same Windows for every program).
if [ ! -f "$WINEPREFIX/.bench-ready" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    for reg in "$src/../e2e/prefix.reg" "$src/prefix.reg"; do
        [ ! -f "$reg" ] || wine regedit /S "$(winpath "$reg")" >/dev/null 2>&1
    done
    wineserver -w
    touch "$WINEPREFIX/.bench-ready"
fi

wine "$build/bench/bench.exe" "$(winpath "$build/disc")" "$(winpath "$build/bench")" \
    "$(winpath "$build/bench.md")" "$WINEPREFIX" </dev/null 2>/dev/null
echo
cat "$build/bench.md"
