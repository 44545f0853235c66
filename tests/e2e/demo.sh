#!/usr/bin/env bash
# `make demo`: setup.exe from the sample disc under Wine, in a Wine virtual
# desktop with a taskbar.
#
#   tests/e2e/demo.sh WIN32_BUILD_DIR
#
# With a display, a person drives it: the menu is up and its buttons work;
# the stand-ins for dxsetup.exe and z.exe end when their windows are closed.
# Without one (DISPLAY unset, as in CI or over ssh), it starts Xvfb, takes a
# guided tour printed step by step, and writes menu.png and refusal.png into
# the build directory, beside the icon preview.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

[ $# -eq 1 ] || { echo "usage: $0 WIN32_BUILD_DIR" >&2; exit 2; }
person=${DISPLAY:-}
e2e_setup "$1"
# The two programs the launcher starts, as the disc description names them,
# and the stand-ins' settings for each (STANDIN_MS_DXSETUP for dxsetup.exe).
DX_NAME=$(basename "$DIRECTX_SETUP_PATH")
Z_NAME=$(basename "$INSTALLER_PATH")
dx_var=${DX_NAME%.*}
z_var=${Z_NAME%.*}

if [ -n "$person" ]; then
    echo "setup.exe runs from $DISC in a Wine virtual desktop on $DISPLAY."
    echo "Press its buttons. The stand-ins for $DX_NAME and $Z_NAME end when you close their windows."
    (cd "$DISC" && "$WINE" explorer /desktop=Default,800x600 setup.exe) >/dev/null 2>&1 || true
    wineserver -w # the stand-ins may outlive the launcher
    echo "Everything has ended."
    exit 0
fi

STEP=0
step() {
    STEP=$((STEP + 1))
    echo "$STEP. $*"
}
say() {
    echo "   $*"
}
quit() {
    echo "The tour stopped: $*" >&2
    exit 1
}
shot() {
    sleep 0.5 # let the last paint land
    import -window root "$E2E_BUILD/$1"
    say "screenshot: $E2E_BUILD/$1"
}
log=$E2E_WORK/demo-standins.log
# The time of the last line of the stand-ins' log for an event.
logged() {
    tr -d '\r' 2>/dev/null <"$log" | grep "^$1|" | grep -i "$2" | tail -n1 | cut -d'|' -f4
}
wait_logged() {
    local _
    for _ in $(seq 200); do
        [ -z "$(logged "$1" "$2")" ] || return 0
        sleep 0.05
    done
    quit "no '$1' from $2"
}
set_version() {
    "$WINE" reg add 'HKCU\Software\Wine\AppDefaults\setup.exe' /v Version /d "$1" /f >/dev/null 2>&1
    wine_settle
}

export DRIVE_QUIET=1 "STANDIN_MS_${dx_var^^}=2000" "STANDIN_MS_${z_var^^}=forever"
export STANDIN_LOG
STANDIN_LOG=$(winpath "$log")
rm -f "$log"
echo "A guided tour of setup.exe under Wine, on Xvfb display $DISPLAY."

step "The sample disc, $DISC:"
(cd "$DISC" && find . -type f -printf '     %P\n' | sort)

step "setup.exe starts there on Windows 95 (as Wine tells it)."
set_version win95
launch_in "$DISC"
drive wait-menu 20000 || quit "no menu"
drive check-menu || quit "the menu is not as it should be"
# The menu's own texts, as the driver read them: the caption and the buttons.
menu_text() { LC_ALL=C sed -n "s/^ok $1 \"\(.*\)\"\$/\1/p" "$E2E_WORK/driver.out" | tr -d '&'; }
caption=$(menu_text 'menu caption')
button1=$(menu_text 'control 1 text')
button2=$(menu_text 'control 2 text')
button3=$(menu_text 'control 3 text')
say "The menu is up: \"$caption\", owned by the minimised anchor window,"
say "whose button is on the taskbar."
say "Its six controls are in place: $button1, $button2, $button3, and three texts."
shot menu.png

step "Pressing \"$button1\"."
drive press 1000 || quit "cannot press"
wait_logged started "$DX_NAME"
say "The menu has closed; the DirectX stand-in runs in"
say "$(tr -d '\r' <"$log" | grep '^started|' | tail -n1 | cut -d'|' -f3)"
say "and the launcher waits for it to end."
drive wait-menu 20000 || quit "the menu did not come back"
back=$(driver_at)
ended=$(logged ended "$DX_NAME")
say "The stand-in ended after $((ended - $(logged started "$DX_NAME"))) ms; the menu came back $((back - ended)) ms later."

step "Pressing \"$button2\"."
drive press 1001 || quit "cannot press"
rc=$(launcher_exit 10) || quit "setup.exe did not end"
wait_logged started "$Z_NAME"
say "The installer stand-in started in $(tr -d '\r' <"$log" | grep '^started|' | tail -n1 | cut -d'|' -f3);"
say "setup.exe ended with exit code $rc while the installer runs on."
drive has-window "Stand-in: $Z_NAME" || quit "the installer stand-in is not running"
drive close-window "Stand-in: $Z_NAME" || true
wine_settle || true

step "On Windows NT 3.51 the launcher refuses to run."
set_version nt351
launch_in "$DISC"
drive read-refusal 20000 || quit "no refusal"
say "A message box says:"
text=$(sed -n 's/^ok refusal text "\(.*\)"$/\1/p' "$E2E_WORK/driver.out")
printf '%s\n' "${text//\\n/$'\n'}" | sed 's/^/     /'
shot refusal.png
drive refusal-ok || quit "cannot press OK"
rc=$(launcher_exit 10) || quit "setup.exe did not end"
say "After OK, setup.exe ended with exit code $rc."
set_version win95

step "Pictures, in $E2E_BUILD:"
say "menu.png          the menu"
say "refusal.png       the refusal on Windows NT 3.51"
if [ ! -f "$E2E_BUILD/icon-preview.png" ]; then
    preview=$(find "$E2E_BUILD" -name icon-preview.png -not -path "$WINEPREFIX/*" | head -n1)
    [ -z "$preview" ] || cp "$preview" "$E2E_BUILD/icon-preview.png"
fi
if [ -f "$E2E_BUILD/icon-preview.png" ]; then
    say "icon-preview.png  the program's icon, enlarged"
else
    say "(this build made no icon preview)"
fi
echo "The tour has ended."
