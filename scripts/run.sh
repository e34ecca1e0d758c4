#!/usr/bin/env bash
# Installs what is missing, builds, and starts the container application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build" -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=OFF
app="$build/Orvex_Compander.app/MacOS/Orvex_Compander"
if [ ! -x "$app" ]; then
  echo "The container application is not built yet." >&2
  exit 1
fi
exec "$app" "$@"
