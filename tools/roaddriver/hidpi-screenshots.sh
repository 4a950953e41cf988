#!/usr/bin/env bash
# The demo road's screenshots at a device pixel ratio of 2, as a high-DPI laptop shows the tool:
# every page and dialog at twice the pixels, to check that the artwork is sharp and no text is cut.
#   sudo tools/roaddriver/hidpi-screenshots.sh [DIR]      (default: docs/screenshots/hidpi)
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-docs/screenshots/hidpi}
QT_SCALE_FACTOR=2 exec ./run.sh --demo --screenshots "$out"
