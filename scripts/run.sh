#!/usr/bin/env bash
# Installs what is missing, builds, and starts the container application.
#
# Without a display ($DISPLAY and $WAYLAND_DISPLAY both empty) the application runs in a virtual
# X server through xvfb-run when it is installed (its window is real, only invisible), and with
# the offscreen window backend otherwise. PF_UI_BACKEND, PF_AUDIO_OUTPUT and the other run-time
# switches given by the caller are passed through unchanged.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/install-deps.sh"
# Only the application and what it needs are built; the folder's other settings (tests,
# benchmarks) stay as scripts/test.sh or the developer left them.
"$root/scripts/build.sh" "$build" -DORVEX_BUILD_APP=ON -- Orvex_Compander panelshot
app="$build/Orvex_Compander.app/MacOS/Orvex_Compander"
if [ ! -x "$app" ]; then
  echo "The container application is not built yet." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${PF_UI_BACKEND:-}" ]; then
  if command -v xvfb-run >/dev/null 2>&1; then
    echo "No display: running in a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$app" "$@"
  fi
  echo "No display: running with the offscreen window backend." >&2
  export PF_UI_BACKEND=offscreen
fi
exec "$app" "$@"
