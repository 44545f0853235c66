#!/usr/bin/env bash
# Runs the command-tail fuzzer for a bounded time, from the seed corpus, and
# prints how many inputs it ran.  New inputs and any reproducer go to WORKDIR;
# the seeds in the repository are left as they are.
# Usage: run-fuzz.sh FUZZER SECONDS WORKDIR
set -euo pipefail
fuzzer=$1 seconds=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work/corpus"
log=$work/fuzz.log

# -max_len lets inputs grow past 32 KiB; the target also stretches every
# fourth input past 33 KiB.  -timeout turns a scan that spins into a fault.
status=0
"$fuzzer" "$work/corpus" "$here/corpus" -dict="$here/cmdtail.dict" \
    -max_len=65536 -max_total_time="$seconds" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$work/" >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
# A run that ends in a fault prints no final figures: take its last status line.
[ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#' || true)
if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "cmdtail fuzzer: FAULT after ${runs:-?} executions; the reproducer is in $work/"
    echo "(crash-*, leak-* or timeout-*); replay it with: $fuzzer <file>"
    exit "$status"
fi
echo "cmdtail fuzzer: ${runs:-?} executions in $seconds s, corpus of $(ls "$work/corpus" | wc -l) inputs (log: $log)"
