#!/usr/bin/env bash
# Help, the version, bad options and a partial set of contact options end
# before any run.
source "$(dirname "$0")/../../common.sh"

check_nothing_started() {
  [ ! -e /var/log/cvreport.log ] || cv_fail "a log was written for [$*]"
  [ -z "$(cv_work_dirs)" ] || cv_fail "a work directory was made for [$*]"
}

run_cvreport -h
expect_status 1
expect_eq "$(wc -c <"$OUT")" 1196 "usage text length"
expect_contains "$OUT" "Usage: cvreport [-h] [-q] [-p] [-n <name>  -c <company>  -e <email>"
expect_contains "$OUT" "  -m DESCRIPTION, --message=DESCRIPTION  the problem description"
expect_empty "$ERR"
cp "$OUT" "$WORK/usage"
check_nothing_started -h

# The kit's version and which platform libraries it was built with; the
# tests always build with the simulation.
run_cvreport --version
expect_status 0
expect_eq "$(cat "$OUT")" "cvreport $(sed -n 's/^project(cvreport-kit VERSION \([0-9.]*\).*/\1/p' "$SRC/CMakeLists.txt") (Corvanta problem report kit)
Platform libraries: the simulation (not for production hosts)"
expect_empty "$ERR"
check_nothing_started --version

# Options take effect in order; the mode is chosen after the last one.
run_cvreport "${CV_CONTACT[@]}" --help
expect_status 1
cmp -s "$OUT" "$WORK/usage" || cv_fail "help after contact options differs"

run_cvreport --bogus
expect_status 1
cmp -s "$OUT" "$WORK/usage" || cv_fail "unknown option: usage not on stdout"
expect_contains "$ERR" "unrecognized option"

run_cvreport -n
expect_status 1
cmp -s "$OUT" "$WORK/usage" || cv_fail "missing argument: usage not on stdout"
expect_contains "$ERR" "requires an argument"

run_cvreport -n A -c B --email=C -s D operand
expect_status 1
expect_empty "$OUT"
printf 'Error: All contact information and problem description\n       arguments are mandatory.\n' >"$WORK/partial"
cat "$WORK/usage" >>"$WORK/partial"
cmp -s "$ERR" "$WORK/partial" || cv_fail "partial options: wrong stderr"
check_nothing_started partial

cv_pass
