#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev qtbase5-dev-tools qtbase5-private-dev libqt5test5
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev   # the Qt 6 build (-DITEMVIEWS_QT_MAJOR_VERSION=6)
    xvfb xauth                # a real display for the viewer on a machine without one
    fonts-dejavu-core         # text in offscreen renders and screenshots
    libkf5itemmodels-dev      # peer model measured by the benchmarks (Qt 5 only: Debian 12 has no Qt 6 build)
    libsimdjson-dev           # the estimate viewer's JSON reader
    libxlsxwriter-dev         # the estimate viewer's workbook export
    poppler-utils unzip       # the export tests read PDFs (pdfinfo, pdftotext) and workbooks back
    doxygen                   # the API reference (the docs target)
    abigail-tools             # the ABI check (scripts/check-abi.sh)
    clang-14 libclang-rt-14-dev   # the reader's fuzz target (scripts/test.sh --fuzz) and libFuzzer
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
