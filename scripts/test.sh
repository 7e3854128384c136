#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DWITH_TESTS=ON
cd "${BUILD_DIR:-build}"
# Tests start their own servers on free loopback ports, so two may run at once.
ctest --output-on-failure -j2 --timeout 300
