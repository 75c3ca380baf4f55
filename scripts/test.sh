#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
# Usage: scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" ${KXT_CTEST_ARGS:-}
