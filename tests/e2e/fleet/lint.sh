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


# The role's own copies of the schemas lead to the checkout's.
for link in roles/cvfleet/files/*.rng; do
  [ -f "$link" ] || { echo "FAIL [lint]: $link leads nowhere" >&2; exit 1; }
done
# Every task runs under the tags install, inventory, report or pages: the
# role's top tasks name theirs, and each included file gets them by apply.
python3 - roles/cvfleet/tasks/main.yml <<'PY' || exit 1
import sys, yaml
known = {"install", "inventory", "report", "pages"}
def walk(tasks, inherited):
    for t in tasks:
        tags = set(t.get("tags", [])) | inherited
        if not tags & known:
            sys.exit(f"FAIL [lint]: task {t.get('name')!r} has none of the tags {sorted(known)}")
        for part in ("block", "rescue", "always"):
            walk(t.get(part, []), tags)
        inc = t.get("ansible.builtin.include_tasks")
        if inc is not None:
            applied = set((inc.get("apply") or {}).get("tags", [])) if isinstance(inc, dict) else set()
            if not applied & known:
                sys.exit(f"FAIL [lint]: {t.get('name')!r} includes its tasks without applying a tag")
            walk(yaml.safe_load(open(f"roles/cvfleet/tasks/{inc['file']}")), applied)
walk(yaml.safe_load(open(sys.argv[1])), set())
PY
echo "PASS [lint]"
