#!/usr/bin/env bash
# docs/inventory.md is the page schema/reference.py writes from the schema:
# a change of the grammar that is not carried into the page, or an edit of
# the page by hand, fails here. The page must also name every element the
# grammar names.
set -euo pipefail
SRC=${CV_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
WORK=$(mktemp -d)
trap 'rm -rf -- "$WORK"' EXIT
fail() {
  echo "FAIL [reference]: $*" >&2
  exit 1
}

python3 "$SRC/schema/reference.py" "$SRC/schema/cvsysinfo.rng" >"$WORK/inventory.md" ||
  fail "schema/reference.py failed"
if ! diff -u "$SRC/docs/inventory.md" "$WORK/inventory.md" >"$WORK/diff"; then
  head -n 60 "$WORK/diff" >&2
  fail "docs/inventory.md is not what schema/reference.py writes; run: python3 schema/reference.py >docs/inventory.md"
fi

# Every element name of the grammar is on the page, as a name of the tree.
missing=()
while IFS= read -r name; do
  grep -qF -- "\`$name\`" "$SRC/docs/inventory.md" || missing+=("$name")
done < <(grep -o '<element name="[^"]*"' "$SRC/schema/cvsysinfo.rng" | sed 's/.*name="//; s/"$//' | sort -u)
[ ${#missing[@]} = 0 ] || fail "elements of the schema missing from the page: ${missing[*]}"

# The page's tree shows the four sections under CVLIN, in their order.
order=$(grep -E '^  - `(CVLIST|CONTAINERS|NODE|CVTEMPLATES)`' "$SRC/docs/inventory.md" | sed 's/^  - `\([A-Z]*\)`.*/\1/' | tr '\n' ' ')
[ "$order" = "CVLIST CONTAINERS NODE CVTEMPLATES " ] || fail "the sections on the page: $order"

echo "PASS [reference]"
