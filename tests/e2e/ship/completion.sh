#!/usr/bin/env bash
# The bash completion offers exactly the options of `cvreport -h`, each not
# yet given, and nothing for the free-text arguments of the contact options.
set -euo pipefail
export LC_ALL=C
SRC=${CV_SOURCE_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)}
BUILD=${CV_BUILD_DIR:-$SRC/build}
fail() {
  echo "FAIL [completion]: $*" >&2
  exit 1
}
[ -x "$BUILD/bin/cvreport" ] || { echo "SKIP: cvreport is not built"; exit 77; }

# The words offered for a command line whose last word is being completed.
complete_line() {
  bash --norc --noprofile -c '
    source "$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    _cvreport
    [ ${#COMPREPLY[@]} = 0 ] || printf "%s\n" "${COMPREPLY[@]}" | sort
  ' complete "$SRC/completion/cvreport" "$@"
}
expect() { # WANTED WORDS...
  local wanted=$1 got
  shift
  got=$(complete_line "$@" | tr '\n' ' ')
  [ "$got" = "$wanted" ] || fail "completing [$*]: got [$got], expected [$wanted]"
}

bash --norc --noprofile -c 'source "$1" && complete -p cvreport' _ "$SRC/completion/cvreport" |
  grep -q -- '-F _cvreport cvreport' || fail "the script does not register _cvreport for cvreport"

# The options of the usage text, and nothing else, for a lone "-".
usage=$("$BUILD/bin/cvreport" -h || true)
usage_options=$(printf '%s\n' "$usage" | grep -oE '(^|[ ,\[])--?[a-z][a-z-]*' | grep -oE -- '--?[a-z][a-z-]*' |
  sort -u | tr '\n' ' ')
expect "$usage_options" cvreport -
[ "$(wc -w <<<"$usage_options")" = 22 ] || fail "the usage has options the completion may lack: $usage_options"

expect "--name " cvreport --na
expect "--message " cvreport -q --m
# Free text after a contact option.
for option in -n --name -c --company -e --email -s --subject -m --message; do
  expect "" cvreport "$option" ""
done
expect "" cvreport --name=A
# What is given is not offered again, in either form.
expect "--progress " cvreport -q --pro
expect "" cvreport -q --q
expect "" cvreport --name=Ada --n
expect "" cvreport -n Ada --n
expect "--collect-only --company --email --help --kept --message --obfuscate --progress --quiet --review --send --subject --version -c -e -h -m -p -q -s " cvreport -n Ada -
expect "" cvreport --version --v
# File names after --send, in either form.
files=$(mktemp -d)
trap 'rm -rf -- "$files"' EXIT
touch "$files/report.tgz" "$files/other.tgz"
expect "$files/report.tgz " cvreport --send "$files/rep"
expect "--send=$files/report.tgz " cvreport "--send=$files/rep"

echo "PASS [completion]"
