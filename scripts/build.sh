#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
extra=()
if [ "${CI:-}" = "true" ]; then extra+=(-DORVEX_WERROR=ON); fi
cmake -S "$root" -B "$build" "${extra[@]}" "$@"
cmake --build "$build" -j"$(nproc)"
