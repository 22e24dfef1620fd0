#!/usr/bin/env bash
# The bash completion of cvsysinfo offers -j until it is given, numbers
# after it, file names for the output and nothing after the output; after
# --diff its options, the format's words and two inventories.
set -euo pipefail
export LC_ALL=C
SRC=${CV_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
dir=$(mktemp -d)
trap 'rm -rf -- "$dir"' EXIT
touch "$dir/inventory.xml" "$dir/inside.txt"

# Each case: the words offered | the command line, its last word the one
# being completed (a trailing blank: an empty word). Run in one shell that
# sourced the completion, from within $dir.
cd "$dir"
bash --norc --noprofile -s "$SRC/completion/cvsysinfo" <<'CASES'
source "$1"
complete -p cvsysinfo | grep -q -- '-F _cvsysinfo cvsysinfo' || { echo "FAIL: _cvsysinfo is not registered" >&2; exit 1; }
failed=0
while IFS='|' read -r wanted line; do
  [ -n "$line" ] || continue
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _cvsysinfo
  got=
  ((${#COMPREPLY[@]} == 0)) || got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  if [ "${got% }" != "$wanted" ]; then
    echo "FAIL [cvsysinfo_completion]: [$line]: got [${got% }], expected [$wanted]" >&2
    failed=1
  fi
done <<'LIST'
--diff --help --version -j|cvsysinfo -
--all --format|cvsysinfo --diff -
text xml|cvsysinfo --diff --format 
inside.txt inventory.xml|cvsysinfo --diff --all in
inventory.xml|cvsysinfo --diff --format xml inventory.xml inv
|cvsysinfo --diff inventory.xml inventory.xml 
--help|cvsysinfo --h
1 16 2 4 8|cvsysinfo -j 
1 16|cvsysinfo -j 1
inside.txt inventory.xml|cvsysinfo in
inventory.xml|cvsysinfo -j 4 inv
inventory.xml|cvsysinfo -j4 inv
inventory.xml|cvsysinfo -- inv
|cvsysinfo -j 4 -
|cvsysinfo -- -
|cvsysinfo inventory.xml 
|cvsysinfo -j 4 inventory.xml in
LIST
exit "$failed"
CASES
echo "PASS [cvsysinfo_completion]"
