#!/usr/bin/env bash
# Installs every Debian package Clipmill needs to build, run and test. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev libx11-dev libxcb1-dev
  rapidjson-dev libcurl4-openssl-dev ca-certificates libicu-dev libboost-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev
  chromium fonts-wqy-microhei
  xvfb xdotool xclip x11-utils imagemagick procps ffmpeg
  curl aria2 libssl-dev zlib1g-dev openssl xdg-utils xdg-user-dirs
  clang libclang-rt-14-dev libfuzzer-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
