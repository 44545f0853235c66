#!/usr/bin/env bash
# The end-to-end tests: the real setup.exe under Wine, on the staged disc,
# driven by the test driver as a user would drive it.
#
#   tests/e2e/run.sh WIN32_BUILD_DIR [GROUP|CASE]...
#
# GROUP is gates, menu or faults (every case when none is given).  Cases run
# one at a time, each a function below; after each, every Wine process must
# have ended, and the Wine registry and the disc must be as they were before
# the launcher ran.  Ends with "N passed, N failed".
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

DX_WINDOW='Stand-in: dxsetup.exe'
Z_WINDOW='Stand-in: z.exe'
TICK_SLACK_MS=1000 # a menu that comes back "within about a timer tick" (250 ms)

# --- What a case uses ------------------------------------------------------

# A copy of the disc without the path given, in which the case runs.
given_disc_without() {
    CASE_DISC=$E2E_WORK/disc-without-${1//\//-}
    rm -rf "$CASE_DISC"
    cp -a "$DISC" "$CASE_DISC"
    rm -rf "${CASE_DISC:?}/$1"
}

# A copy of the disc on a drive of its own, D:, read-only, as a disc in
# its drive; the launcher is started from its top, D:\.
given_disc_on_drive_d() {
    CASE_DISC=$E2E_WORK/disc-on-d
    CASE_ROOT='D:\'
    chmod -R u+w "$CASE_DISC" 2>/dev/null || true
    rm -rf "$CASE_DISC"
    cp -a "$DISC" "$CASE_DISC"
    chmod -R a-w "$CASE_DISC"
    ln -sfn "$CASE_DISC" "$WINEPREFIX/dosdevices/d:"
}

snapshot() {
    registry_state >"$E2E_WORK/registry.$1"
    disc_state "$(cat "$E2E_WORK/case.disc")" >"$E2E_WORK/disc.$1"
}

# Starts the launcher with the arguments given, on the case's disc, once
# everything earlier has ended and the registry is on disk.
launch() {
    apply_registry
    wine_settle || fail "processes left running before the launcher started"
    echo "${CASE_DISC:-$DISC}" >"$E2E_WORK/case.disc"
    snapshot before
    [ "${KEY_UNREADABLE:-}" != yes ] || lock_key
    step "setup.exe${*:+ $*} (in $(basename "${CASE_DISC:-$DISC}"))"
    launch_in "${CASE_DISC:-$DISC}" "$@"
}

# The launcher ends within the seconds given, with the exit code given.
expect_exit() {
    local code=$1 seconds=$2 rc
    rc=$(launcher_exit "$seconds") || fail "the launcher is still running after ${seconds}s"
    [ "$rc" = "$code" ] || fail "the launcher ended with $rc, not $code"
    step "the launcher ended with $rc"
}

expect() {
    drive "$@" || fail "driver $*"
}

# The stand-ins' log: lines "event|program|current directory|ms[|code]".
log_lines() {
    [ -f "$E2E_WORK/standin.log" ] || return 0
    tr -d '\r' <"$E2E_WORK/standin.log" | EVENT=$1 PROGRAM=$2 awk -F'|' \
        'tolower($1) == ENVIRON["EVENT"] && tolower($2) == tolower(ENVIRON["PROGRAM"])'
}

# Waits up to 10 s for a program's line in the log: a child started just
# before the launcher ended may not have written it yet.
wait_log() {
    local _
    for _ in $(seq 200); do
        [ -z "$(log_lines "$1" "$2")" ] || return 0
        sleep 0.05
    done
    fail "no '$1' line for $2 in the stand-ins' log"
}

expect_log_count() {
    local count=$1 event=$2 program=$3 got
    got=$(log_lines "$event" "$program" | grep -c . || true)
    [ "$got" = "$count" ] || fail "$got '$event' lines for $program in the stand-ins' log, not $count"
}

# Every start of a program was in the directory given.
expect_started_in() {
    local program=$1 dir=$2 cwd
    while IFS='|' read -r _ _ cwd _; do
        [ "${cwd,,}" = "${dir,,}" ] || fail "$program started in $cwd, not $dir"
    done < <(log_lines started "$program")
    step "$(basename "${program//\\//}") started in $dir"
}

# When the last start or end of a program was logged.
log_time() {
    log_lines "$1" "$2" | tail -n1 | cut -d'|' -f4
}

# The case's disc as Windows programs see it: a directory on Z:, or the
# top of a drive of its own.
disc_dir() { if [ -n "${CASE_ROOT:-}" ]; then echo "$CASE_ROOT"; else winpath "${CASE_DISC:-$DISC}"; fi; }
in_disc() { echo "$(disc_dir | sed 's/\\$//')\\$1"; }
dxsetup_path() { in_disc 'directx\redist\directx\dxsetup.exe'; }
dxsetup_dir() { in_disc 'directx\redist\directx'; }
installer_path() { in_disc z.exe; }

# Waits for the menu to come back after a DirectX stand-in has ended (or,
# given "crashing", crashed), and checks that it came after the end, within
# about a timer tick.
expect_menu_back_after_dxsetup() {
    local event=${1:-ended} ended back what
    what=${event/crashing/crashed}
    expect wait-menu 15000
    back=$(driver_at)
    ended=$(log_time "$event" "$(dxsetup_path)")
    [ -n "$ended" ] || fail "the menu came back before the DirectX stand-in $what"
    [ "$back" -ge "$ended" ] || fail "the menu came back before the DirectX stand-in $what"
    [ $((back - ended)) -le "$TICK_SLACK_MS" ] ||
        fail "the menu came back $((back - ended)) ms after the DirectX stand-in $what"
    step "menu back $((back - ended)) ms after the DirectX stand-in $what"
}

# --- Gates -----------------------------------------------------------------
# In an order that changes the registry as seldom as possible.

# Cases in which the gates let the menu through: the menu and its owner are
# up, and EXIT ends the launcher with 0.
gate_lets_menu_through() {
    local key=$1 version=$2
    shift 2
    if [ "$key" = key ]; then
        given_key
    fi
    given_version "$version"
    launch "$@"
    expect wait-menu
    expect check-anchor
    expect press 2
    expect_exit 0 10
}

# Product installed and the switch in the tail: the launcher ends at once
# with 0 and shows nothing.  A menu or a box would keep it running.
quiet_exit() {
    given_key
    given_version "$2"
    launch "$1"
    expect_exit 0 10
    expect absent launcher
}

gates_win95_menu() { gate_lets_menu_through nokey win95; }
gates_update_without_key_menu() { gate_lets_menu_through nokey win95 /UPDATE; }
gates_key_without_switch_menu() { gate_lets_menu_through key win95; }
gates_update_lowercase_menu() { gate_lets_menu_through key win95 /update; }
gates_update_quiet() { quiet_exit /UPDATE win95; }
gates_update_inside_word_quiet() { quiet_exit x/UPDATEy win95; }
gates_nt351_update_quiet() { quiet_exit /UPDATE nt351; }

gates_nt351_refusal() {
    given_version nt351
    launch
    expect read-refusal
    expect refusal-ok
    expect_exit 0 10
    expect absent launcher
}

gates_nt40_menu() { gate_lets_menu_through nokey nt40; }
gates_win10_menu() { gate_lets_menu_through nokey win10; }

# --- Menu ------------------------------------------------------------------

menu_controls_and_exit() {
    launch
    expect wait-menu
    expect check-menu
    expect check-anchor
    expect press 2
    expect wait-gone
    expect_exit 0 10
}

menu_escape() {
    launch
    expect escape
    expect wait-gone
    expect_exit 0 10
}

menu_close_box() {
    launch
    expect close-box
    expect wait-gone
    expect_exit 0 10
}

# "Install DirectX 3a" twice: each time the stand-in runs in the DirectX
# directory with the menu gone, and the menu comes back once it has ended.
# Then "Install VUNT" finds z.exe in the starting directory, and the
# launcher ends while the installer runs on.
menu_directx_twice_then_install() {
    export STANDIN_MS_DXSETUP=1500 STANDIN_MS_Z=forever
    launch
    local round
    for round in 1 2; do
        expect press 1000
        expect wait-gone
        expect has-window "$DX_WINDOW"
        expect absent menu
        expect check-anchor
        expect_menu_back_after_dxsetup
        expect_log_count "$round" ended "$(dxsetup_path)"
    done
    expect_started_in "$(dxsetup_path)" "$(dxsetup_dir)"
    expect press 1001
    expect_exit 0 10
    expect has-window "$Z_WINDOW"
    expect absent launcher
    wait_log started "$(installer_path)"
    expect_log_count 1 started "$(installer_path)"
    expect_log_count 0 ended "$(installer_path)"
    expect_started_in "$(installer_path)" "$(disc_dir)"
    step "the installer runs on after the launcher has ended"
    expect close-window "$Z_WINDOW"
    wine_settle 10 || fail "the installer stand-in did not end"
    expect_log_count 1 ended "$(installer_path)"
}

# A DirectX setup that ends at once: the menu is back within about a tick.
menu_directx_instant() {
    export STANDIN_MS=0
    launch
    expect press 1000
    expect_menu_back_after_dxsetup
    expect press 2
    expect_exit 0 10
}

# --- Faults ----------------------------------------------------------------

# While the launcher waits for the DirectX setup, the user clicks the
# anchor window's taskbar button (it stays minimised), then closes it from
# the taskbar: the launcher ends with 0, the setup runs on.
faults_close_anchor_during_wait() {
    export STANDIN_MS=forever
    launch
    expect press 1000
    expect wait-gone
    expect has-window "$DX_WINDOW"
    expect_log_count 1 started "$(dxsetup_path)"
    expect click-taskbar
    expect check-anchor
    expect close-anchor
    expect_exit 0 10
    expect absent launcher
    expect has-window "$DX_WINDOW"
    expect_log_count 0 ended "$(dxsetup_path)"
    step "the DirectX stand-in runs on"
    expect close-window "$DX_WINDOW"
    wine_settle 10 || fail "the DirectX stand-in did not end"
}

# The anchor window closed while the menu is up (disabled by the menu, it
# takes the close request from the task list, not from the taskbar): the
# launcher ends, and the menu does not come back.
faults_close_anchor_with_menu() {
    launch
    expect wait-menu
    expect end-task-anchor
    expect wait-gone
    expect_exit 0 10
    expect absent launcher
}

# A DirectX setup that ends with the code that also means "still running".
faults_exit_code_259() {
    export STANDIN_MS=500 STANDIN_EXIT=259
    launch
    expect press 1000
    expect_menu_back_after_dxsetup
    log_lines ended "$(dxsetup_path)" | grep -q '|259$' || fail "the stand-in did not end with 259"
    expect press 2
    expect_exit 0 10
}

# A DirectX setup that crashes (an access violation; the prefix shows no
# crash dialog): the menu comes back once the crash has ended it.
faults_directx_crash() {
    export STANDIN_MS=500 STANDIN_CRASH=1
    launch
    expect press 1000
    expect wait-gone
    expect_menu_back_after_dxsetup crashing
    expect_log_count 0 ended "$(dxsetup_path)"
    step "the DirectX stand-in crashed instead of ending"
    expect press 2
    expect_exit 0 10
}

# No DirectX directory: nothing is started, the menu comes back, and
# "Install VUNT" still finds z.exe where the launcher started.
faults_no_directx_dir() {
    export STANDIN_MS=forever
    given_disc_without directx
    launch
    expect press 1000
    expect wait-menu 5000
    [ ! -s "$E2E_WORK/standin.log" ] || fail "something was started"
    step "nothing started; the menu is back"
    expect press 1001
    expect_exit 0 10
    wait_log started "$(installer_path)"
    expect_log_count 1 started "$(installer_path)"
    expect_started_in "$(installer_path)" "$(disc_dir)"
    expect close-window "$Z_WINDOW"
    wine_settle 10 || fail "the installer stand-in did not end"
}

# The disc on a drive of its own, read-only, the launcher started from its
# top: the DirectX stand-in runs in D:\directx\redist\directx, the menu comes
# back, and the installer starts in D:\.  (Wine maps the directory that
# d: links to onto D:\, so starting there starts from D:\.)
faults_disc_on_drive_d() {
    export STANDIN_MS_DXSETUP=500 STANDIN_MS_Z=forever
    given_disc_on_drive_d
    launch
    expect press 1000
    expect_menu_back_after_dxsetup
    expect_started_in "$(dxsetup_path)" "$(dxsetup_dir)"
    expect press 1001
    expect_exit 0 10
    wait_log started "$(installer_path)"
    expect_started_in "$(installer_path)" 'D:\'
    expect close-window "$Z_WINDOW"
    wine_settle 10 || fail "the installer stand-in did not end"
}

# No z.exe: "Install VUNT" starts nothing and the launcher ends with 0.
faults_no_installer() {
    given_disc_without z.exe
    launch
    expect press 1001
    expect_exit 0 10
    [ ! -s "$E2E_WORK/standin.log" ] || fail "something was started"
    expect absent launcher
}

# The product key exists but may not be opened for reading (on a system with
# registry security, hence NT 4.0): with "/UPDATE" the product counts as not
# installed and the menu comes up.  Last in the group, so that the registry
# changes once.
faults_key_unreadable_update() {
    given_key_unreadable
    given_version nt40
    launch /UPDATE
    expect wait-menu
    expect check-anchor
    expect press 2
    expect_exit 0 10
    expect absent launcher
}

# --- The runner --------------------------------------------------------------

# Once a case's processes have ended: the registry and the disc are as
# before the launcher ran.
after_case() {
    local good=0
    if [ -f "$E2E_WORK/keylock.raw" ]; then
        "$WINE" "$KEYLOCK" release >/dev/null 2>&1 || true
    fi
    wine_settle 20 || good=1
    if [ -f "$E2E_WORK/keylock.raw" ]; then
        if tr -d '\r' <"$E2E_WORK/keylock.raw" | tail -n1 | grep -q '^ok .* readable again$'; then
            step "the product key readable again"
        else
            echo "    FAIL: keylock did not put the product key back:"
            tr -d '\r' <"$E2E_WORK/keylock.raw" | sed 's/^/    | /'
            good=1
        fi
    fi
    if [ -f "$E2E_WORK/case.disc" ]; then
        snapshot after
        if ! diff -u "$E2E_WORK/registry.before" "$E2E_WORK/registry.after" >"$E2E_WORK/registry.diff"; then
            echo "    FAIL: the registry changed:"
            head -n 40 "$E2E_WORK/registry.diff" | sed 's/^/    | /'
            good=1
        fi
        if ! diff -u "$E2E_WORK/disc.before" "$E2E_WORK/disc.after" >"$E2E_WORK/disc.diff"; then
            echo "    FAIL: the disc changed:"
            head -n 40 "$E2E_WORK/disc.diff" | sed 's/^/    | /'
            good=1
        fi
        [ "$good" = 1 ] || step "nothing written: registry and disc unchanged"
    fi
    return "$good"
}

run_case() {
    local name=$1 start rc
    start=$(date +%s%N)
    echo "== $name"
    rm -f "$E2E_WORK/standin.log" "$E2E_WORK/case.disc" "$E2E_WORK/keylock.raw"
    want_base_registry
    set +e
    (
        set -e
        export STANDIN_LOG
        STANDIN_LOG=$(winpath "$E2E_WORK/standin.log")
        "$name"
    )
    rc=$?
    after_case || rc=1
    rm -f "$WINEPREFIX/dosdevices/d:"
    set -e
    if [ "$rc" = 0 ]; then
        echo "PASS $name ($(( ($(date +%s%N) - start) / 1000000 )) ms)"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        failed+=("$name")
    fi
}

main() {
    [ $# -ge 1 ] || { echo "usage: $0 WIN32_BUILD_DIR [gates|menu|faults|CASE]..." >&2; exit 2; }
    e2e_setup "$1"
    shift
    local selected=("$@") cases=() name s
    [ ${#selected[@]} -gt 0 ] || selected=(gates menu faults)
    for s in "${selected[@]}"; do
        if declare -F "$s" >/dev/null; then
            cases+=("$s")
        else
            # The group's cases, in the order they are written.
            for name in $(grep -oE "^${s}_[a-z0-9_]+\(\)" "$0" | tr -d '()' || true); do
                cases+=("$name")
            done
        fi
    done
    [ ${#cases[@]} -gt 0 ] || { echo "no case matches: ${selected[*]}" >&2; exit 2; }

    passed=0
    failed=()
    local start
    start=$(date +%s)
    rm -f "$E2E_WORK"/have.*
    for name in "${cases[@]}"; do
        run_case "$name"
    done
    # The prefix is left as the cases found it.
    want_base_registry
    apply_registry
    wine_settle || true
    echo "e2e ${selected[*]}: $(($(date +%s) - start)) s"
    [ ${#failed[@]} -eq 0 ] || echo "failed: ${failed[*]}"
    echo "${passed} passed, ${#failed[@]} failed"
    [ ${#failed[@]} -eq 0 ]
}

main "$@"
