#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the front end need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config libgtest-dev
  qt6-base-dev libxlsxwriter-dev zlib1g-dev libreoffice-calc-nogui xdg-utils
  xvfb xauth clang libclang-rt-14-dev poppler-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
