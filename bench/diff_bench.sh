#!/usr/bin/env bash
# Comparison benchmark: cvsysinfo --diff of two inventories of CONTAINERS
# containers with PACKAGES packages each (bench/make_inventories.sh, about
# 40 MB a document) against xmllint --noout parsing both in one call, in the
# same run. Targets: the comparison, as text and as the change document, at
# most 3 times the parse in CPU time (both are single processes on a shared
# machine; wall time is shown beside it), and at most 64 MB peak memory.
# Before timing, the comparison must find what the generator changed, so
# that a fast run that compares nothing cannot pass.
#
#   bench/diff_bench.sh [CONTAINERS] [PACKAGES] [ROUNDS]   (defaults 1000, 300, 5)
source "$(dirname "$0")/bench_lib.sh"
bench_program bin/cvsysinfo
CVSYSINFO=$PROGRAM
command -v xmllint >/dev/null || { echo "xmllint is not installed" >&2; exit 1; }
containers=${1:-1000}
packages=${2:-300}
rounds=${3:-5}

bench_workdir diffbench
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
count_volatile='count(//item[@kind="volatile"])'
wrong=()
expect() { # WHAT XPATH VALUE: XPATH of the change document is VALUE
  local got
  got=$(xmllint --xpath "$2" "$WORK/changes.xml")
  [ "$got" = "$3" ] || wrong+=("$1: $got, not $3")
}
expect "containers changed" 'string(/cvchanges/summary/@containers-changed)' "$changed"
expect "containers added" 'string(/cvchanges/summary/@containers-added)' "$added"
expect "containers removed" 'string(/cvchanges/summary/@containers-removed)' "$removed"
expect "degraded BIOS RAID sets" 'count(/cvchanges/node/item[@kind="bios-raid"][@new="degraded"])' 1
expect "volatile items without --all" "$count_volatile" 0
volatile=$(xmllint --xpath "$count_volatile" "$WORK/all.xml")
((volatile >= containers / 2)) || wrong+=("volatile items with --all: $volatile, fewer than $((containers / 2))")
[ ${#wrong[@]} = 0 ] || { printf 'the comparison is wrong: %s\n' "${wrong[@]}" >&2; exit 1; }

# --- timing -------------------------------------------------------------
bench_measure parse 0 xmllint --noout "$OLD" "$NEW"
bench_measure text 1 "$CVSYSINFO" --diff "$OLD" "$NEW"
bench_measure xml 1 "$CVSYSINFO" --diff --format xml "$OLD" "$NEW"
bench_measure all 1 "$CVSYSINFO" --diff --all "$OLD" "$NEW"
bytes=$(($(stat -c %s "$OLD") + $(stat -c %s "$NEW")))
echo "two inventories of $containers containers, $packages packages each, $((bytes >> 20)) MiB" \
  "(written in ${generated}s); $changed changed, $added added, $removed removed; median of $rounds runs"
row() { # WHAT RUN TIME_TARGET MEMORY_TARGET
  local cpu=$2_cpu wall=$2_wall peak=$2_peak
  bench_row "$1" "${!cpu}" "$(bench_ratio "${!cpu}" "$parse_cpu")" "${!wall}" \
    "$(bench_ratio "${!wall}" "$parse_wall")" "$3" "$(bench_mb "${!peak}")" "$4"
}
bench_row "" "CPU s" ratio "wall s" ratio target "peak MB" target
row "xmllint --noout, both" parse "" ""
row "cvsysinfo --diff" text "<= 3" "<= 64"
row "cvsysinfo --diff --format xml" xml "<= 3" "<= 64"
row "cvsysinfo --diff --all" all "" ""
bench_verdict "time of --diff to the parse" "$(bench_ratio "$text_cpu" "$parse_cpu")" 3
bench_verdict "time of --diff --format xml to the parse" "$(bench_ratio "$xml_cpu" "$parse_cpu")" 3
bench_verdict "peak memory of --diff, MB" "$(bench_mb "$text_peak")" 64
bench_verdict "peak memory of --diff --format xml, MB" "$(bench_mb "$xml_peak")" 64
bench_end
