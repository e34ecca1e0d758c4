#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

packages=(
  cmake g++ pkg-config make libgtest-dev libgmock-dev libbenchmark-dev
  libplist-dev libcairo2-dev libpango1.0-dev libsdl2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libjpeg62-turbo-dev libcurl4-openssl-dev fonts-urw-base35 fonts-dejavu-core python3
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
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
