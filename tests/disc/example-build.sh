#!/usr/bin/env bash
# Builds the launcher from the example disc description, as
# `make disc DISC=examples/orbital/disc.json` does: its win32 build, and the
# win64 one where this machine runs the Wine tests on that (scripts/wine-arch.sh).
#   example-build.sh EXAMPLE_WIN32_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$1
description=$PWD/examples/orbital/disc.json
presets=(win32)
[ "$(scripts/wine-arch.sh)" = win32 ] || presets+=(win64)
for preset in "${presets[@]}"; do
    dir=$(dirname "$build")/$preset
    cmake --preset "$preset" -B "$dir" -DDISC="$description" >/dev/null
    cmake --build "$dir" -j2 >/dev/null
    echo "ok built $dir/setup.exe ($(stat -c %s "$dir/setup.exe") bytes)"
done
