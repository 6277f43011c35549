#!/usr/bin/env bash
# Regenerates docs/main-window.png: the main window with a searched term in red,
# drawn under Xvfb by tools/readme_screenshot.cpp.
#   scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target readme-screenshot database
mkdir -p docs
out="$(pwd)/docs/main-window.png"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
(cd "$build/run" && xvfb-run -a -s "-screen 0 1280x1024x24" "../tools/readme-screenshot" "$out")
echo "screenshot: $out"
