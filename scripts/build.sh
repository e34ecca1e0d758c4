#!/usr/bin/env bash
# Configures and builds.
# Usage: scripts/build.sh [BUILD_DIR] [cmake arguments...] [-- targets...]
# Without targets everything the configuration enables is built; with them, only those and what
# they need. Options already in BUILD_DIR's cache that are not given stay as they are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
configure=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--" ]; then
    shift
    targets=("$@")
    break
  fi
  configure+=("$1")
  shift
done
if [ "${CI:-}" = "true" ]; then configure=(-DORVEX_WERROR=ON "${configure[@]}"); fi
cmake -S "$root" -B "$build" "${configure[@]}"
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
else
  cmake --build "$build" -j"$(nproc)"
fi
