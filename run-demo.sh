#!/usr/bin/env bash
# Sets up the machine, builds, and files one console problem report from a
# simulated host to a local support service on loopback (needs root for the
# private mount namespace that keeps the host untouched). Each step says
# what it does before it starts: the first run installs packages and builds,
# which takes minutes.
set -euo pipefail
cd "$(dirname "$0")"
step() { printf '\n== %s\n' "$*"; }

step "1/3 Checking the packages the build needs (installing them the first time takes minutes)"
bash tools/setup.sh

step "2/3 Configuring and building in build/ (the first build takes minutes)"
# A line at each quarter of the build's steps rather than a line per file;
# anything else the build prints (a compiler's error) passes through.
bash tools/build.sh | awk -F'[][/]' '
  !/^\[[0-9]+\/[0-9]+\]/ { if ($0 != "ninja: no work to do.") print; next }
  { done = $2; total = $3
    if (total > 0 && done * 4 >= (shown + 1) * total) {
      shown = int(done * 4 / total); printf "   %d of %d build steps done\n", done, total; fflush()
    } }
  END { if (!shown) print "   the build is up to date" }'

step "3/3 A console report from a simulated host to a local support service"
exec bash demo/console_report.sh
