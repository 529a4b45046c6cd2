#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those not yet present.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libfreetype-dev libpng-dev libpixman-1-dev libcairo2-dev pkg-config
          libfontconfig-dev fonts-dejavu-core fonts-liberation
          libmupdf-dev libjbig2dec0-dev libopenjp2-7-dev libharfbuzz-dev libgumbo-dev libmujs-dev libjpeg-dev zlib1g-dev
          fonts-urw-base35)
# The CUPS filter: its build, its tests (a private cupsd, lp, cupstestppd) and the benchmark baseline.
packages+=(libcups2-dev cups cups-client cups-filters ghostscript)
# Vendor requests to real USB printers (loaded at run time; without it they simply fail).
packages+=(libusb-1.0-0)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
