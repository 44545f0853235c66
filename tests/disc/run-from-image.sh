#!/usr/bin/env bash
# The launcher copied out of the sample disc's image runs under Wine as on a
# Windows 95 machine: the menu; "Install DirectX 3a" runs the DirectX
# stand-in in DIRECTX\REDIST\DIRECTX and the menu comes back once it has
# ended; "Install VUNT" starts the installer stand-in at the top of the
# disc; the launcher ends with 0.
#   run-from-image.sh WIN32_BUILD_DIR WINEPREFIX
# On a machine that cannot run 32-bit programs, the image is made from the
# win64 build beside WIN32_BUILD_DIR and runs in that build's own prefix
# (tests/e2e/wine.sh).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../e2e/wine.sh"
wine_choose "$1"
build=$WINE_BUILD
prefix=$2
[ "$build" -ef "$1" ] || prefix=$build/wineprefix
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
driver=$build/e2e/driver.exe
[ -f "$driver" ] || fail "no test driver at $driver"
make_temp

xvfb_pid=
stop() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    chmod -R u+w "$TMP"
    rm -rf "$TMP"
}
trap stop EXIT

# Where the disc description puts the two programs, and their names.
source "$build/described/disc.env"
setup_name=$(basename "${DIRECTX_SETUP_PATH^^}")
setup_dir=$(dirname "${DIRECTX_SETUP_PATH^^}" | tr / '\\')
installer_name=$(basename "${INSTALLER_PATH^^}")

make_image "$build" "$TMP/disc.iso"
extract "$TMP/disc.iso" "$TMP/cd"
tree=Z:$(tr / '\\' <<<"$TMP/cd")

# A display of our own; Xvfb names the free one it took.
Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$TMP/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.05; done
[ -s "$TMP/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$TMP/display")

# The prefix is made once and reused; a case before this one must be over.
wineserver -w
# A new one gets what the end-to-end tests' has: Wine's own fonts and the
# settings of tests/e2e/prefix.reg (a virtual desktop with a taskbar).
if [ ! -d "$WINEPREFIX" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
    ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    "$WINE" regedit /S "Z:$(cd "$(dirname "$0")/../e2e" && pwd | tr / '\\')\\prefix.reg" >/dev/null 2>&1
    wineserver -w
fi
"$WINE" reg add 'HKCU\Software\Wine\AppDefaults\setup.exe' /v Version /d win95 /f >/dev/null 2>&1

# The stand-ins run half a second each and log to one file beside the disc.
log=$TMP/standin.log
export STANDIN_MS=500 STANDIN_LOG=Z:$(tr / '\\' <<<"$log")
(cd "$TMP/cd" && timeout 60 "$WINE" SETUP.EXE >/dev/null 2>&1; echo $? >"$TMP/rc") &
launcher=$!

drive() {
    local out
    out=$("$WINE" "$driver" "$@" 2>/dev/null | tr -d '\r') || fail "driver $*: $out" >&2
    echo "$out"
}
drive wait-menu 30000 >/dev/null
drive check-menu >/dev/null
echo "ok menu, its texts in place and fitting their controls"
drive press 1000 >/dev/null
menu_again=$(drive wait-menu 20000 | sed -n 's/.* at=//p')
echo "ok menu again after Install DirectX 3a"

# standin_line EVENT NAME: the log's line for EVENT of the stand-in NAME.
standin_line() { tr -d '\r' <"$log" | grep -i "^$1|[^|]*\\\\$2|" || fail "no '$1' of $2 in: $(cat "$log")"; }
IFS='|' read -r _ _ dir _ <<<"$(standin_line started "$setup_name")"
[ "${dir,,}" = "${tree,,}\\${setup_dir,,}" ] || fail "$setup_name ran in $dir"
IFS='|' read -r _ _ _ ended _ <<<"$(standin_line ended "$setup_name")"
[ "$ended" -le "$menu_again" ] || fail "the menu came back at $menu_again, before $setup_name ended at $ended"
echo "ok $setup_name ran in $setup_dir and ended before the menu came back"

drive press 1001 >/dev/null
wait "$launcher"
[ "$(cat "$TMP/rc")" = 0 ] || fail "the launcher ended with $(cat "$TMP/rc")"
echo "ok the launcher ended with 0"
for _ in $(seq 200); do grep -qi "^ended|.*\\\\$installer_name|" "$log" && break; sleep 0.05; done
IFS='|' read -r _ path dir _ <<<"$(standin_line started "$installer_name")"
want=${tree,,}\\${INSTALLER_PATH,,}
[ "${path,,}" = "${want//\//\\}" ] && [ "${dir,,}" = "${tree,,}" ] || fail "$installer_name ($path) ran in $dir"
echo "ok $(tr / '\\' <<<"${INSTALLER_PATH^^}") started at the top of the disc"
