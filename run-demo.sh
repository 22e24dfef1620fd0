#!/usr/bin/env bash
# Sets up the machine, builds, and files one console problem report from a
# simulated host to a local support service on loopback (needs root for the
# private mount namespace that keeps the host untouched).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
bash tools/build.sh >/dev/null
exec bash demo/console_report.sh
