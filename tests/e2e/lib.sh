# shellcheck shell=bash
# Shared by the end-to-end runner and the demo (sourced, not run): the Wine
# prefix, the display, and small helpers for driving the launcher.
#
#   e2e_setup BUILD_DIR   choose the Wine and the build it runs (wine.sh),
#                         lock that build's prefix, start Xvfb when DISPLAY
#                         is unset, make the prefix on first use, and set:
#   E2E_BUILD  the build directory used      DISC    the staged disc
#   DRIVER     the test driver               E2E_WORK scratch space per run
#   KEYLOCK    the registry key locker       WINE, WINE_REG_VIEW  see wine.sh
#
# Everything started here is ended by the EXIT trap.

E2E_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/wine.sh
source "$E2E_SRC/wine.sh"
E2E_XVFB_PID=

# A Unix path as Windows programs see it (drive Z: is the root).
winpath() {
    local p=$1
    printf 'Z:%s\n' "${p//\//\\}"
}

e2e_cleanup() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null || true
        wait "$E2E_XVFB_PID" 2>/dev/null || true
    fi
}

# Xvfb on a free display number, 800x600 like the virtual desktop.
start_xvfb() {
    local fifo=$E2E_WORK/xvfb.display
    rm -f "$fifo"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fifo" >"$E2E_WORK/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [ -s "$fifo" ] && break
        sleep 0.05
    done
    [ -s "$fifo" ] || { echo "Xvfb did not start (see $E2E_WORK/xvfb.log)" >&2; return 1; }
    DISPLAY=":$(head -n1 "$fifo")"
    export DISPLAY
}

# Waits until every process of the prefix has ended; ends them if they do
# not within the time given.  Fails when it had to end something.
wine_settle() {
    local seconds=${1:-20}
    if timeout "$seconds" wineserver -w; then
        return 0
    fi
    echo "    processes still running after ${seconds}s: ending them" >&2
    wineserver -k 2>/dev/null || true
    wineserver -w || true
    return 1
}

# The prefix is made once per build directory and reused; it is remade
# when prefix.reg has changed since.
make_prefix() {
    local stamp=$WINEPREFIX/.e2e-stamp
    local want
    want=$(sha256sum "$E2E_SRC/prefix.reg" | cut -d' ' -f1)
    [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && return 0
    echo "Setting up the Wine prefix in $WINEPREFIX (once; about 30 s)"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot -i >/dev/null 2>&1
        wine_settle 120
    fi
    # Wine looks for its own fonts (MS Sans Serif, Marlett for the caption
    # buttons) in the prefix; this Wine does not find them by itself.
    ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    "$WINE" regedit /S "$(winpath "$E2E_SRC/prefix.reg")" >/dev/null 2>&1
    wine_settle 60
    # The first run in the new desktop records the display's new layout in
    # the registry; do it now, not in the first case.
    "$WINE" "$DRIVER" absent launcher >/dev/null 2>&1 || true
    wine_settle 60
    echo "$want" >"$stamp"
}

e2e_setup() {
    wine_choose "$1"
    E2E_BUILD=$WINE_BUILD
    DISC=$E2E_BUILD/disc
    DRIVER=$E2E_BUILD/e2e/driver.exe
    KEYLOCK=$E2E_BUILD/e2e/keylock.exe
    local f
    # Where the disc description puts the DirectX setup and the installer.
    # shellcheck source=/dev/null
    source "$E2E_BUILD/described/disc.env"
    for f in "$DISC/setup.exe" "$DISC/$INSTALLER_PATH" "$DISC/$DIRECTX_SETUP_PATH" "$DRIVER" "$KEYLOCK"; do
        [ -f "$f" ] || { echo "missing $f: build the $(basename "$E2E_BUILD") preset first" >&2; return 1; }
    done
    E2E_WORK=$E2E_BUILD/e2e-work
    mkdir -p "$E2E_WORK"

    export WINEPREFIX=$E2E_BUILD/wineprefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset STANDIN_MS STANDIN_EXIT STANDIN_LOG STANDIN_CRASH

    # One user of the prefix at a time: the tests and the demo wait for
    # each other.
    exec {E2E_LOCK_FD}>"$E2E_BUILD/wineprefix.lock"
    if ! flock -n "$E2E_LOCK_FD"; then
        echo "Waiting for another run on $WINEPREFIX to end"
        flock "$E2E_LOCK_FD"
    fi
    trap e2e_cleanup EXIT
    if [ -z "${DISPLAY:-}" ]; then
        start_xvfb
    fi
    make_prefix
}

# Runs the driver; its output goes to stdout, indented (with DRIVE_QUIET
# set, only when it fails).
drive() {
    local rc=0
    "$WINE" "$DRIVER" "$@" >"$E2E_WORK/driver.raw" 2>&1 || rc=$?
    tr -d '\r' <"$E2E_WORK/driver.raw" >"$E2E_WORK/driver.out"
    if [ -z "${DRIVE_QUIET:-}" ] || [ "$rc" != 0 ]; then
        sed 's/^/    | /' "$E2E_WORK/driver.out"
    fi
    return "$rc"
}

# The value of "at=" in the driver's last output: when it saw what it
# waited for, in ms since 1970.
driver_at() {
    sed -n 's/.* at=\([0-9]*\).*/\1/p' "$E2E_WORK/driver.out" | tail -n1
}

# Starts the launcher from a disc directory in the background; its exit
# code lands in $E2E_WORK/setup.rc.
launch_in() {
    local dir=$1
    shift
    rm -f "$E2E_WORK/setup.rc"
    (
        cd "$dir" || exit
        rc=0
        "$WINE" setup.exe "$@" >"$E2E_WORK/setup.out" 2>&1 || rc=$?
        echo "$rc" >"$E2E_WORK/setup.rc"
    ) >/dev/null 2>&1 &
}

# Waits up to the seconds given for the launcher to end; prints its exit
# code.  Fails when it has not ended.
launcher_exit() {
    local seconds=$1 _
    for _ in $(seq $((seconds * 20))); do
        if [ -s "$E2E_WORK/setup.rc" ]; then
            cat "$E2E_WORK/setup.rc"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# --- What the cases under Wine share -------------------------------------

PRODUCT_KEY='HKLM\SOFTWARE\Quendrix\VUNT\1.0'
PRODUCT_KEY_TOP='HKLM\SOFTWARE\Quendrix'
VERSION_KEY='HKCU\Software\Wine\AppDefaults\setup.exe'

fail() {
    echo "    FAIL: $*"
    exit 1
}

step() {
    echo "  - $*"
}

# The registry that a case wants is set when it launches, from what is in
# place: the product key present or not, and the Windows version.  Cases
# that want the same state in a row pay for no change.
BASE_VERSION=win95

# The product is installed: its key exists (in the view that the launcher
# sees: the 32-bit one, or the 64-bit one for the launcher built for x86-64).
given_key() {
    echo yes >"$E2E_WORK/want.key"
}

# The product key exists but may not be opened for reading while the
# launcher runs: keylock gives it a DACL that denies KEY_READ to Everyone.
given_key_unreadable() {
    given_key
    KEY_UNREADABLE=yes
}

# The Windows version that the launcher sees.
given_version() {
    echo "$1" >"$E2E_WORK/want.version"
}

want_base_registry() {
    echo no >"$E2E_WORK/want.key"
    echo "$BASE_VERSION" >"$E2E_WORK/want.version"
}

# Makes the registry what the case wants; REGISTRY_CHANGED tells whether
# anything had to change.
apply_registry() {
    local f have want
    REGISTRY_CHANGED=
    for f in key version; do
        want=$(cat "$E2E_WORK/want.$f")
        have=$(cat "$E2E_WORK/have.$f" 2>/dev/null || echo unknown)
        [ "$want" != "$have" ] || continue
        case $f:$want in
            key:yes) "$WINE" reg add "$PRODUCT_KEY" "$WINE_REG_VIEW" /f ;;
            key:*) "$WINE" reg delete "$PRODUCT_KEY_TOP" "$WINE_REG_VIEW" /f || true ;;
            version:*) "$WINE" reg add "$VERSION_KEY" /v Version /d "$want" /f ;;
        esac >/dev/null 2>&1
        echo "$want" >"$E2E_WORK/have.$f"
        REGISTRY_CHANGED=yes
    done
}

# The registry as the prefix's .reg files hold it once every process has
# ended, less what changes by itself: the write times of keys (a written
# value or key shows in the lines that stay), the date that Wine's display
# driver records at each start, and the display devices it enumerates anew
# (a server ended while it does so leaves them half written).
# The display devices' keys, which Wine's display driver writes anew.
WINE_DISPLAY_KEYS='^\[(System\\\\CurrentControlSet\\\\(Enum\\\\DISPLAY|Control\\\\Video|Control\\\\Class\\\\\{4D36E96[8E]-)|Hardware\\\\DEVICEMAP\\\\VIDEO)'
registry_state() {
    local f
    for f in system.reg user.reg userdef.reg; do
        echo "=== $f"
        sed -E -e 's/^(\[.*\]) [0-9]+$/\1/' -e '/^#time=/d' -e '/^"DriverDateData"=/d' "$WINEPREFIX/$f" |
            DEVICES=$WINE_DISPLAY_KEYS awk '/^\[/ { skip = $0 ~ ENVIRON["DEVICES"] } !skip'
    done
}

# Every path, type and content in a disc tree.
disc_state() {
    (
        cd "$1"
        find . -printf '%y %m %p\n' | sort
        find . -type f -print0 | sort -z | xargs -0 sha256sum
    )
}

# Locks the product key against reading.  Wine keeps a key's security in
# the running wineserver only, never in the registry files, so keylock holds
# the lock (and the server) until after_case lets it go, and then puts the
# key's own DACL back.
lock_key() {
    local _
    ("$WINE" "$KEYLOCK" hold "${PRODUCT_KEY#HKLM\\}" >"$E2E_WORK/keylock.raw" 2>&1 || true) >/dev/null 2>&1 &
    for _ in $(seq 400); do
        if grep -q '^FAIL' "$E2E_WORK/keylock.raw" 2>/dev/null; then
            tr -d '\r' <"$E2E_WORK/keylock.raw" | sed 's/^/    | /'
            fail "the product key could not be locked"
        fi
        if grep -q '^ok' "$E2E_WORK/keylock.raw" 2>/dev/null; then
            tr -d '\r' <"$E2E_WORK/keylock.raw" | sed 's/^/    | /'
            return 0
        fi
        sleep 0.05
    done
    fail "keylock did not lock the product key within 20 s"
}
