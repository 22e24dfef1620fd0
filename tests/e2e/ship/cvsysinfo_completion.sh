#!/usr/bin/env bash
# The bash completion of cvsysinfo offers -j until it is given, numbers
# after it, file names for the output and nothing after the output.
set -euo pipefail
export LC_ALL=C
SRC=${CV_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
fail() {
  echo "FAIL [cvsysinfo_completion]: $*" >&2
  exit 1
}
dir=$(mktemp -d)
trap 'rm -rf -- "$dir"' EXIT
touch "$dir/inventory.xml" "$dir/inside.txt"

# The words offered for a command line whose last word is being completed,
# from within $dir.
complete_line() {
  (cd "$dir" && bash --norc --noprofile -c '
    source "$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    _cvsysinfo
    [ ${#COMPREPLY[@]} = 0 ] || printf "%s\n" "${COMPREPLY[@]}" | sort
  ' complete "$SRC/completion/cvsysinfo" "$@")
}
expect() { # WANTED WORDS...
  local wanted=$1 got
  shift
  got=$(complete_line "$@" | tr '\n' ' ')
  [ "$got" = "$wanted" ] || fail "completing [$*]: got [$got], expected [$wanted]"
}

bash --norc --noprofile -c 'source "$1" && complete -p cvsysinfo' _ "$SRC/completion/cvsysinfo" |
  grep -q -- '-F _cvsysinfo cvsysinfo' || fail "the script does not register _cvsysinfo for cvsysinfo"

expect "-j " cvsysinfo -
expect "1 16 2 4 8 " cvsysinfo -j ""
expect "1 16 " cvsysinfo -j 1
expect "inside.txt inventory.xml " cvsysinfo in
expect "inventory.xml " cvsysinfo -j 4 inv
expect "inventory.xml " cvsysinfo -j4 inv
expect "inventory.xml " cvsysinfo -- inv
# -j once; after "--" a leading "-" is a file name.
expect "" cvsysinfo -j 4 -
expect "" cvsysinfo -- -
# Nothing is read after the output.
expect "" cvsysinfo inventory.xml ""
expect "" cvsysinfo -j 4 inventory.xml in

echo "PASS [cvsysinfo_completion]"
