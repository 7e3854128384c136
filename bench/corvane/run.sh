#!/usr/bin/env bash
# Builds and runs the component benchmark: TestConnect on loopback against a
# bare connect()+close() (median overhead must stay below 200 microseconds) and
# 10,000 create/call/release cycles (resident memory must stay within 1 MB).
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ] && [ ! -f "$build_dir/Makefile" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" --target corvane_bench corvanecom >/dev/null
exec "$build_dir/bench/corvane/corvane_bench" "$build_dir/corvanecom/libcorvanecom.so" "$@"
