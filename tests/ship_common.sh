# shellcheck shell=bash
# Preamble of the cases that check what the build ships (tests/e2e/ship):
# they read the build tree and install or build only into a scratch
# directory, so they need no namespace. Sets SRC, BUILD, WORK (removed at
# the end, read-only parts included) and fail.
set -euo pipefail
SRC=${CV_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
BUILD=${CV_BUILD_DIR:-$SRC/build}
WORK=$(mktemp -d /var/tmp/cvship.XXXXXX)
trap 'chmod -R u+w "$WORK" 2>/dev/null; rm -rf --one-file-system -- "$WORK"' EXIT
fail() {
  echo "FAIL [$(basename "$0" .sh)]: $*" >&2
  exit 1
}
