#!/usr/bin/env bash
# Installs the build dependencies from Debian 12's packages (needs root; no prompts).
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libgl-dev socat)
# The fuzz targets: clang with its sanitizer and libFuzzer runtimes, and the
# symbolizer that puts file names and lines into sanitizer reports.
packages+=(clang libclang-rt-14-dev llvm)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q </dev/null
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi
