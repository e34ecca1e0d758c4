#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Usage: scripts/test.sh [BUILD_DIR] [cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build" -DORVEX_BUILD_TESTS=ON "$@"
cd "$build"
ctest --output-on-failure --no-tests=error -j"$(nproc)" --timeout 300
