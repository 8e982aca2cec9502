#!/usr/bin/env bash
# Installs what is missing, builds everything, and opens the estimate viewer on the
# bundled sample (or on the arguments given, e.g. a file or --generate 1000000).
# --qt6 first: the viewer built against Qt 6, in build-qt6/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=build qt=5
[ "${1:-}" = --qt6 ] && build=build-qt6 qt=6 && shift
cmake -S . -B $build -G Ninja -DITEMVIEWS_QT_MAJOR_VERSION=$qt
cmake --build $build --parallel "$(nproc)"

viewer=$build/apps/estimate-viewer/estimate-viewer
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # No screen to open a window on: show what the viewer would, as pictures.
    mkdir -p $build/screenshots
    QT_QPA_PLATFORM=offscreen "$viewer" "$@" --screenshot $build/screenshots/viewer.png
    echo "No display: the viewer's tabs were rendered to $build/screenshots/viewer-*.png"
    exit 0
fi
exec "$viewer" "$@"
