#!/usr/bin/env bash
# Runs the transfer benchmark from an existing build tree (it builds nothing):
#   bench/transfer/run.sh [calls]        default 200 calls of each kind
# BUILD_DIR names the build tree (default: build). Build it first with
#   scripts/build.sh -DWITH_TESTS=ON
set -euo pipefail
cd "$(dirname "$0")/../.."
program="${BUILD_DIR:-build}/bench/transfer/transfer_bench"
if [ ! -x "$program" ]; then
    echo "$program is missing: build the tree with tests first (scripts/build.sh -DWITH_TESTS=ON)." >&2
    exit 2
fi
exec "$program" "$@"
