#!/usr/bin/env bash
# Configures and builds into build/ (warnings are errors, as in CI).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCV_WERROR=ON >/dev/null
cmake --build build
