#!/usr/bin/env bash
# Comparison benchmark: cvsysinfo --diff of two inventories of CONTAINERS
# containers with PACKAGES packages each (bench/make_inventories.sh: one
# container in twenty changed, volatile values changed everywhere, about
# 40 MB a document) against xmllint --noout parsing the same two documents
# in one call, in the same run. Targets: the comparison, as text and as the
# change document, at most 3 times the parse, and at most 64 MB peak
# memory. Each figure is the median of ROUNDS runs; the ratio is of CPU
# time (user and system), as both are single processes on a machine that
# is often shared, and the wall-clock ratio is shown beside it.
#
# Before timing, the comparison must find what the generator changed (the
# containers changed, added and removed, the degraded RAID set, no volatile
# item without --all and some with it), so that a fast run that compares
# nothing cannot pass.
#
#   bench/diff_bench.sh [CONTAINERS] [PACKAGES] [ROUNDS]   (defaults 1000, 300, 5)
source "$(dirname "$0")/bench_lib.sh"
CVSYSINFO=${CV_BUILD_DIR:-$SRC/build}/bin/cvsysinfo
[ -x "$CVSYSINFO" ] || { echo "build first: $CVSYSINFO is missing" >&2; exit 1; }
command -v xmllint >/dev/null || { echo "xmllint is not installed" >&2; exit 1; }
containers=${1:-1000}
packages=${2:-300}
rounds=${3:-5}

WORK=$(mktemp -d /var/tmp/cv-diffbench.XXXXXX)
trap 'rm -rf -- "$WORK"' EXIT
OLD=$WORK/old.xml NEW=$WORK/new.xml

generated=$( { TIMEFORMAT=%R; time bash "$SRC/bench/make_inventories.sh" "$containers" "$packages" \
  "$WORK" >"$WORK/expected"; } 2>&1)
read -r changed added removed <"$WORK/expected"
xmllint --noout --relaxng "$SRC/schema/cvsysinfo.rng" "$OLD" "$NEW" 2>"$WORK/validate" ||
  { cat "$WORK/validate" >&2; echo "the generated inventories do not match the schema" >&2; exit 1; }

# --- what the comparison finds ------------------------------------------
status=0
"$CVSYSINFO" --diff --format xml "$OLD" "$NEW" >"$WORK/changes.xml" || status=$?
[ "$status" = 1 ] || { echo "cvsysinfo --diff --format xml ended with $status, not 1 (changes)" >&2; exit 1; }
"$CVSYSINFO" --diff --all --format xml "$OLD" "$NEW" >"$WORK/all.xml" || true
[ ! -f "$SRC/schema/cvsysinfo-changes.rng" ] ||
  xmllint --noout --relaxng "$SRC/schema/cvsysinfo-changes.rng" "$WORK/changes.xml" "$WORK/all.xml" 2>"$WORK/validate" ||
  { cat "$WORK/validate" >&2; echo "the change documents do not match their schema" >&2; exit 1; }
xpath() { xmllint --xpath "$1" "$2"; }
wrong=()
expect() { # WHAT XPATH DOCUMENT VALUE
  local got
  got=$(xpath "$2" "$3")
  [ "$got" = "$4" ] || wrong+=("$1: $got, not $4")
}
expect "containers changed" 'string(/cvchanges/summary/@containers-changed)' "$WORK/changes.xml" "$changed"
expect "containers added" 'string(/cvchanges/summary/@containers-added)' "$WORK/changes.xml" "$added"
expect "containers removed" 'string(/cvchanges/summary/@containers-removed)' "$WORK/changes.xml" "$removed"
expect "degraded BIOS RAID sets" 'count(/cvchanges/node/item[@kind="bios-raid"][@new="degraded"])' \
  "$WORK/changes.xml" 1
expect "volatile items without --all" 'count(//item[@kind="volatile"])' "$WORK/changes.xml" 0
volatile=$(xpath 'count(//item[@kind="volatile"])' "$WORK/all.xml")
((volatile >= containers / 2)) || wrong+=("volatile items with --all: $volatile, fewer than $((containers / 2))")
if [ ${#wrong[@]} -gt 0 ]; then
  printf 'the comparison is wrong: %s\n' "${wrong[@]}" >&2
  exit 1
fi

# --- timing -------------------------------------------------------------
# measure STATUS COMMAND...: "CPU_SECONDS WALL_SECONDS PEAK_KIB", the
# medians of $rounds runs; the command must end with STATUS.
measure() {
  local expected=$1 r got
  shift
  for ((r = 1; r <= rounds; r++)); do
    got=0
    /usr/bin/time -f '%U %S %e %M' -o "$WORK/time" "$@" >/dev/null 2>"$WORK/stderr" || got=$?
    [ "$got" = "$expected" ] || { cat "$WORK/stderr" >&2; echo "failed ($got): $*" >&2; exit 1; }
    tail -n 1 "$WORK/time"
  done | python3 -c '
import statistics, sys
runs = [list(map(float, line.split())) for line in sys.stdin]
median = lambda i: statistics.median(r[i] for r in runs)
print(f"{statistics.median(r[0] + r[1] for r in runs):.3f} {median(2):.3f} {int(median(3))}")'
}
read -r c_parse w_parse p_parse < <(measure 0 xmllint --noout "$OLD" "$NEW")
read -r c_text w_text p_text < <(measure 1 "$CVSYSINFO" --diff "$OLD" "$NEW")
read -r c_xml w_xml p_xml < <(measure 1 "$CVSYSINFO" --diff --format xml "$OLD" "$NEW")
read -r c_all w_all p_all < <(measure 1 "$CVSYSINFO" --diff --all "$OLD" "$NEW")

ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
mb() { python3 -c "print(f'{$1 / 1024:.1f}')"; }
row() { printf '%-32s %8s %8s %8s %8s %8s %8s %8s\n' "$@"; }
bytes=$(($(stat -c %s "$OLD") + $(stat -c %s "$NEW")))
echo "two inventories of $containers containers, $packages packages each, $((bytes >> 20)) MiB" \
  "(written in ${generated}s); $changed changed, $added added, $removed removed; median of $rounds runs"
row "" "CPU s" "ratio" "wall s" "ratio" "target" "peak MB" "target"
row "xmllint --noout, both" "$c_parse" 1.00 "$w_parse" 1.00 "" "$(mb "$p_parse")" ""
row "cvsysinfo --diff" "$c_text" "$(ratio "$c_text" "$c_parse")" "$w_text" "$(ratio "$w_text" "$w_parse")" \
  "<= 3" "$(mb "$p_text")" "<= 64"
row "cvsysinfo --diff --format xml" "$c_xml" "$(ratio "$c_xml" "$c_parse")" "$w_xml" \
  "$(ratio "$w_xml" "$w_parse")" "<= 3" "$(mb "$p_xml")" "<= 64"
row "cvsysinfo --diff --all" "$c_all" "$(ratio "$c_all" "$c_parse")" "$w_all" \
  "$(ratio "$w_all" "$w_parse")" "" "$(mb "$p_all")" ""

missed=0
verdict() { # WHAT VALUE LIMIT
  if python3 -c "import sys; sys.exit(0 if $2 <= $3 else 1)"; then
    echo "PASS $1: $2 (target <= $3)"
  else
    echo "FAIL $1: $2 (target <= $3)"
    missed=1
  fi
}
verdict "time of --diff to the parse" "$(ratio "$c_text" "$c_parse")" 3
verdict "time of --diff --format xml to the parse" "$(ratio "$c_xml" "$c_parse")" 3
verdict "peak memory of --diff, MB" "$(mb "$p_text")" 64
verdict "peak memory of --diff --format xml, MB" "$(mb "$p_xml")" 64
[ "$missed" = 0 ] || { echo "benchmark target missed"; exit 1; }
