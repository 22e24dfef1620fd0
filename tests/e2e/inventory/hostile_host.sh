#!/usr/bin/env bash
# A hostile host: whatever its tools and containers print, the document is
# well-formed XML, nothing they print is run, and odd values reach the
# tools as single arguments.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_sim_host "$SRC/tests/fixtures/hosts/hostile"
run_cvsysinfo "$WORK/hostile.xml"
expect_status 0
xmllint --noout "$WORK/hostile.xml" || cv_fail "the document is not well-formed"
python3 - "$WORK/hostile.xml" <<'PY' || cv_fail "the document fails a strict parser"
import sys, xml.etree.ElementTree as ET
ET.parse(sys.argv[1])
PY
compgen -G "/tmp/owned*" >/dev/null && cv_fail "a command from a container was run"
# Invalid bytes became U+FFFD; the 5000-byte line stopped its parse.
grep -q $'\xef\xbf\xbd' "$WORK/hostile.xml" || cv_fail "no replaced characters"
expect_contains "$ERR" "String is longer than limit, fail to parse!"
# The hostile Docker ids were handed over quoted, as one argument each.
grep -q "^cvctl exec 201 docker inspect 'x; touch /tmp/owned" "$CVSIM_LOG" ||
  cv_fail "a hostile id was not passed as one argument: $(grep inspect "$CVSIM_LOG" | head -3)"
# The sections after the broken tool XML are still in place.
expect_eq "$(xmllint --xpath 'count(/CVLIN/*)' "$WORK/hostile.xml")" 4 "sections"
expect_eq "$(xmllint --xpath 'name(/CVLIN/*[4])' "$WORK/hostile.xml")" CVTEMPLATES "last section"

cv_pass
