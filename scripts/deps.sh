#!/usr/bin/env bash
# Installs from Debian 12's packages what a build or test needs (needs root or
# sudo; no prompts). Usage: deps.sh GROUP...
#   window   the compiler, CMake and Qt's development packages: enough to build
#            and start the desktop tool (scripts/run.sh);
#   tests    the window's packages, poppler-utils (pdfinfo, pdftotext),
#            with which the tests open the reports' PDF (QtTest comes with
#            qt6-base-dev), and ser2net, the serial device server the tests
#            of the network ports run in front of a simulated unit;
#   fuzz     clang with its sanitizer and libFuzzer runtimes, and the
#            symbolizer that puts file names and lines into sanitizer reports
#            (scripts/test.sh's one build, which also holds the fuzz targets);
#   package  what `cpack -G DEB` runs (dpkg-shlibdeps, file) and the checks of
#            the package: lintian, desktop-file-validate, appstreamcli.
set -euo pipefail
[ $# -gt 0 ] || set -- window
packages=()
for group in "$@"; do
    case "$group" in
        window) packages+=(cmake g++ make qt6-base-dev qt6-serialport-dev libqt6svg6) ;;
        tests) packages+=(cmake g++ make qt6-base-dev qt6-serialport-dev libqt6svg6 poppler-utils ser2net) ;;
        fuzz) packages+=(clang libclang-rt-14-dev llvm) ;;
        package) packages+=(dpkg-dev file lintian desktop-file-utils appstream) ;;
        *) echo "deps.sh: unknown group $group (window, tests, fuzz, package)" >&2; exit 2 ;;
    esac
done
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
    echo "deps.sh: installed ${missing[*]}"
else
    echo "deps.sh: all ${#packages[@]} packages present (${packages[*]})"
fi
