#!/usr/bin/env bash
# The role and the example playbook pass ansible-lint's strictest profile.
set -euo pipefail
SRC=${CV_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
command -v ansible-lint >/dev/null || { echo "SKIP: ansible-lint is not installed"; exit 77; }
# Its caches go to a scratch HOME, not the caller's.
HOME=$(mktemp -d /var/tmp/cvlint.XXXXXX)
export HOME NO_COLOR=1
trap 'rm -rf --one-file-system -- "$HOME"' EXIT
cd "$SRC/contrib/ansible"
if ! ansible-lint --offline --profile production site.yml roles/cvfleet >"$HOME/lint.out" 2>&1; then
  cat "$HOME/lint.out" >&2
  echo "FAIL [lint]: ansible-lint found faults" >&2
  exit 1
fi
grep -q 'Passed with production profile: 0 failure(s), 0 warning(s)' "$HOME/lint.out" || {
  cat "$HOME/lint.out" >&2
  echo "FAIL [lint]: ansible-lint did not pass cleanly" >&2
  exit 1
}
echo "PASS [lint]"
