#!/usr/bin/env bash
# Real runs at random: each seed's scenario, drawn by the host's realrun,
# played under Wine by the driver with real keyboard and mouse input, and
# its outcome compared field by field with the same scenario played on the
# simulated platform.
#
#   tests/e2e/random.sh WIN32_BUILD_DIR SEED...            these seeds (a replay)
#   tests/e2e/random.sh WIN32_BUILD_DIR --sample           the fixed sample (part of make test)
#   tests/e2e/random.sh WIN32_BUILD_DIR --runs N [--seed S]  N runs from seed S (make soak-wine)
#
# realrun comes from the host build beside the win32 one (HOST_BUILD to
# name another).  Ends with a tally of outcomes by kind, every difference,
# and "N passed, N failed"; exits 1 on any difference or broken rule.
set -euo pipefail
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "$0")/lib.sh"

usage() {
    echo "usage: $0 WIN32_BUILD_DIR SEED... | --sample | --runs N [--seed S]" >&2
    exit 2
}

# The plan's value for a key: "plan_value dxsetup" gives "3000 0 0".
plan_value() {
    sed -n "s/^$1 //p" "$E2E_WORK/random.plan" | head -n1
}

# The stand-ins' settings for one program: run time, exit code, crash.
standin_env() {
    local name=$1 ms exit crash
    read -r ms exit crash <<<"$(plan_value "${name,,}")"
    export "STANDIN_MS_$name=$ms" "STANDIN_EXIT_$name=$exit"
    if [ "$crash" = 1 ]; then export "STANDIN_CRASH_$name=1"; else unset "STANDIN_CRASH_$name"; fi
}

# The disc as the plan has it, on a drive of its own (D:, read-only) or in
# a directory; prints the top as Windows programs see it.
stage_disc() {
    local case_disc=$E2E_WORK/random-disc
    chmod -R u+w "$case_disc" 2>/dev/null || true
    rm -rf "$case_disc"
    cp -a "$DISC" "$case_disc"
    case $(plan_value disc) in
        no-directx) rm -rf "$case_disc/directx" ;;
        no-installer) rm -f "$case_disc/z.exe" ;;
    esac
    echo "$case_disc" >"$E2E_WORK/case.disc"
    rm -f "$WINEPREFIX/dosdevices/d:"
    if [ "$(plan_value drive)" = own ]; then
        chmod -R a-w "$case_disc"
        ln -s "$case_disc" "$WINEPREFIX/dosdevices/d:"
        echo 'D:\'
    else
        winpath "$case_disc"
    fi
}

# Ends every process of the prefix (the stand-ins that outlive the
# launcher, the desktop) and so has the server write the registry to its
# files: far quicker than waiting for the desktop to go by itself.  The
# driver has already seen the launcher end, or ended it.
flush() {
    wineserver -k 2>/dev/null || true
    timeout 20 wineserver -w 2>/dev/null || true
}

# One seed: stage, play, settle, compare.  The report holds what the
# driver saw, the stand-ins' log and what the harness found afterwards.
play_seed() {
    local seed=$1 root report=$E2E_WORK/random.report log=$E2E_WORK/standin.log written=no rc=0
    "$REALRUN" plan "$seed" >"$E2E_WORK/random.plan"
    rm -f "$log" "$E2E_WORK/keylock.raw"
    KEY_UNREADABLE=
    want_base_registry
    case $(plan_value key) in
        present) given_key ;;
        locked) given_key_unreadable ;;
    esac
    given_version "$(plan_value version)"
    apply_registry
    root=$(stage_disc)
    # The run before has left no process and the registry on disk; a
    # change made here is written by ending the server.
    [ -z "$REGISTRY_CHANGED" ] || flush
    registry_state >"$E2E_WORK/registry.before"
    disc_state "$(cat "$E2E_WORK/case.disc")" >"$E2E_WORK/disc.before"
    [ "$KEY_UNREADABLE" != yes ] || lock_key >/dev/null

    standin_env DXSETUP
    standin_env Z
    export STANDIN_LOG
    STANDIN_LOG=$(winpath "$log")
    {
        cat "$E2E_WORK/random.plan"
        echo "dir $root"
        echo "log $STANDIN_LOG"
    } >"$E2E_WORK/random.driverplan"
    "$WINE" "$DRIVER" play "$(winpath "$E2E_WORK/random.driverplan")" >"$E2E_WORK/driver.raw" 2>&1 || true

    if [ "$KEY_UNREADABLE" = yes ]; then
        "$WINE" "$KEYLOCK" release >/dev/null 2>&1 || true
        sleep 0.5 # the holder puts the key's own security back
    fi
    flush
    registry_state >"$E2E_WORK/registry.after"
    disc_state "$(cat "$E2E_WORK/case.disc")" >"$E2E_WORK/disc.after"
    if ! cmp -s "$E2E_WORK/registry.before" "$E2E_WORK/registry.after" ||
        ! cmp -s "$E2E_WORK/disc.before" "$E2E_WORK/disc.after"; then
        written=yes
    fi
    {
        echo "root $root"
        echo "bound $(plan_value bound)"
        tr -d '\r' <"$E2E_WORK/driver.raw"
        [ ! -f "$log" ] || tr -d '\r' <"$log" | sed 's/^/log /'
        echo "written $written"
        if [ "$written" = yes ]; then
            diff -u "$E2E_WORK/registry.before" "$E2E_WORK/registry.after" | head -n 30 | sed 's/^/diff /' || true
            diff -u "$E2E_WORK/disc.before" "$E2E_WORK/disc.after" | head -n 30 | sed 's/^/diff /' || true
        fi
    } >"$report"
    "$REALRUN" compare "$seed" "$report" >"$E2E_WORK/random.compare" || rc=$?
    if [ "$rc" = 0 ]; then
        sed -n 's/.*kind: \(.*\)$/\1/p' "$E2E_WORK/random.compare" >>"$E2E_WORK/random.kinds"
        echo "PASS seed $seed: $(cat "$E2E_WORK/random.compare")"
    else
        echo "FAIL seed $seed"
        sed 's/^/    /' "$E2E_WORK/random.compare"
        echo "    the run under Wine, as recorded:"
        sed 's/^/    | /' "$report"
        failed+=("$seed")
    fi
    rm -f "$WINEPREFIX/dosdevices/d:"
}

main() {
    [ $# -ge 2 ] || usage
    local build=$1 seeds=() runs=0 first=1
    shift
    case $1 in
        --sample) ;;
        --runs)
            runs=${2:?}
            [ "${3:-}" != --seed ] || first=${4:?}
            ;;
        *) seeds=("$@") ;;
    esac
    HOST_BUILD=${HOST_BUILD:-$(dirname "$(cd "$build" && pwd)")/host}
    REALRUN=$HOST_BUILD/tests/realrun
    [ -x "$REALRUN" ] || { echo "missing $REALRUN: build the host preset first" >&2; exit 1; }
    if [ "$1" = --sample ]; then
        mapfile -t seeds < <("$REALRUN" sample)
    elif [ "$runs" -gt 0 ]; then
        mapfile -t seeds < <(seq "$first" $((first + runs - 1)))
    fi

    e2e_setup "$build"
    rm -f "$E2E_WORK"/have.*
    failed=()
    : >"$E2E_WORK/random.kinds"
    local start seed
    start=$(date +%s)
    for seed in "${seeds[@]}"; do
        play_seed "$seed"
    done
    want_base_registry
    apply_registry
    flush

    echo "outcomes by kind:"
    sort "$E2E_WORK/random.kinds" | uniq -c | sort -rn | sed 's/^/  /'
    echo "real runs: ${#seeds[@]} in $(($(date +%s) - start)) s"
    [ ${#failed[@]} -eq 0 ] || echo "differences or broken rules in seeds: ${failed[*]}"
    echo "$((${#seeds[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
    [ ${#failed[@]} -eq 0 ]
}

main "$@"
