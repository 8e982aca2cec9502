#!/usr/bin/env bash
# Installs what is missing and builds the library, its tests and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build --parallel "$(nproc)"
