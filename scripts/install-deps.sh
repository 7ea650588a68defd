#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those that are missing.
# Safe to run again and again: with everything present it changes nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth
  fonts-ipafont-gothic
  libonig-dev
  dpkg-dev file
  ripgrep bsdutils
  tidy python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
