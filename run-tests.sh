#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the unit tests and the
# end-to-end cases (which start their own support service and proxy on
# loopback inside private mount namespaces; they need root).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
bash tools/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
