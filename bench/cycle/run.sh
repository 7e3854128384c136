#!/usr/bin/env bash
# Runs the cycle benchmark from an existing build tree (it builds nothing):
#   bench/cycle/run.sh [--cycles N] [--processes N] [--idle-seconds S] [--headless-cycles N]
#                      [--no-strace] [--settings-only] [--program PATH]
# BUILD_DIR names the build tree (default: build). Build it first with
#   scripts/build.sh -DWITH_TESTS=ON
# Takes about three minutes: two idle windows of 60 s are part of it.
# --settings-only takes seconds: a full save of the settings and "tarnwick --set".
set -euo pipefail
cd "$(dirname "$0")/../.."
program="${BUILD_DIR:-build}/bench/cycle/cycle_bench"
if [ ! -x "$program" ]; then
    echo "$program is missing: build the tree with tests first (scripts/build.sh -DWITH_TESTS=ON)." >&2
    exit 2
fi
exec "$program" "$@"
