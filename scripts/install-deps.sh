#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the application need, when any is
# missing. When another package installation holds the package manager's lock, it waits for it
# (ORVEX_APT_LOCK_TIMEOUT seconds, 300 by default) and then gives up with a clear message.
set -euo pipefail

packages=(
  cmake g++ pkg-config make libgtest-dev libgmock-dev libbenchmark-dev
  libplist-dev libcairo2-dev libpango1.0-dev libsdl2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libjpeg62-turbo-dev libcurl4-openssl-dev fonts-urw-base35 fonts-dejavu-core python3
  xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
lock_timeout=${ORVEX_APT_LOCK_TIMEOUT:-300}

# apt-get with its arguments, tried again while another installation holds a lock (apt-get
# waits for the dpkg lock itself; the package lists' lock it does not wait for).
apt_get() {
  local deadline=$((SECONDS + lock_timeout)) output status
  while :; do
    status=0
    output=$("${sudo_cmd[@]}" apt-get -o "DPkg::Lock::Timeout=$lock_timeout" "$@" 2>&1) || status=$?
    if [ "$status" -eq 0 ]; then
      return 0
    fi
    if ! grep -qiE "could not get lock|unable to (acquire|lock)" <<<"$output"; then
      printf '%s\n' "$output" >&2
      return "$status"
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      printf '%s\n' "$output" >&2
      echo "install-deps: another package installation has held the package lock for" \
        "${lock_timeout} s; run this again once it has finished." >&2
      return 1
    fi
    echo "install-deps: waiting for another package installation to finish..." >&2
    sleep 5
  done
}

apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
