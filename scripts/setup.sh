#!/usr/bin/env bash
# Installs the Debian 12 packages this project needs. Idempotent; run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git python3 locales
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcurl4-openssl-dev libcli11-dev
  lv2-dev liblilv-dev libsuil-dev lilv-utils sordi jalv jackd2
  clang-format dpf-source libstb-dev fonts-roboto-unhinted
  libegl-dev libgl-dev libgl1-mesa-dri libx11-dev xvfb xauth xdotool imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
