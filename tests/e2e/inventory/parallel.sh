#!/usr/bin/env bash
# Containers captured several at once (-j) give the same document, byte for
# byte, and cvsysinfo's own messages in the same order, on every fixture
# host; a container that is slow to answer does not let the messages of the
# ones after it come out first.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

# cvsysinfo's own messages, without the tools' standard error, whose
# interleaving with them depends on timing.
own_messages() {
  grep -E "^(Failed to|Unable to|Command is longer|Output of|String is longer|Line of|libxml err)" "$1" || true
}

# Runs cvsysinfo with each number of jobs and compares with the first.
compare_runs() {
  local name=$1 first=
  shift
  for jobs in "$@"; do
    local doc=$WORK/$name-$jobs.xml
    if [ "$jobs" = default ]; then
      run_cvsysinfo "$doc"
    else
      run_cvsysinfo -j "$jobs" "$doc"
    fi
    own_messages "$ERR" >"$WORK/$name-$jobs.messages"
    cp "$ERR" "$WORK/$name-stderr"
    echo "$STATUS" >"$WORK/$name-$jobs.status"
    [ ! -e "$doc" ] || cv_containers_part "$doc" || cv_fail "cannot read $doc"
    if [ -z "$first" ]; then
      first=$jobs
      continue
    fi
    cmp "$WORK/$name-$first.status" "$WORK/$name-$jobs.status" || cv_fail "$name: status differs for -j $jobs"
    # The flood host's df prints random bytes: its documents differ anyway.
    if [ "$name" != flood ] && { [ -e "$WORK/$name-$first.xml" ] || [ -e "$doc" ]; }; then
      cmp "$WORK/$name-$first.xml.containers" "$doc.containers" || cv_fail "$name: the document differs for -j $jobs"
    fi
    diff -u "$WORK/$name-$first.messages" "$WORK/$name-$jobs.messages" >&2 ||
      cv_fail "$name: the messages differ for -j $jobs"
  done
}

for host in "$SRC"/tests/fixtures/hosts/*/; do
  name=$(basename "$host")
  cv_sim_host "$host"
  compare_runs "$name" 1 4 16 default
done
# The hosts above do reach the containers and their messages.
expect_contains "$WORK/hostile-16.messages" "Failed to retrieve Container's 202 root, disk usage skipped!"
expect_contains "$WORK/mixed-16.messages" "Failed to retrieve Container's 105 status, err = 17!"

# The first container answers last: its netstat waits, and its messages
# (a configuration line too long) must still come before the second's.
cp -r "$SRC/tests/fixtures/hosts/hostile" "$WORK/slow"
tools=$WORK/slow/containers/201/tools
mv "$tools/netstat" "$tools/netstat.real"
printf '#!/bin/sh\nsleep 1\nexec "%s" "$@"\n' "$tools/netstat.real" >"$tools/netstat"
chmod +x "$tools/netstat"
head -c 70000 /dev/zero | tr '\0' x | sed 's/^/FILLER=/' >>"$WORK/slow/containers/201/conf"
echo >>"$WORK/slow/containers/201/conf"
cv_sim_host "$WORK/slow"
compare_runs slow 1 4 16
first_201=$(grep -n "Line of /etc/cv/conf/201.conf" "$WORK/slow-4.messages" | cut -d: -f1)
first_202=$(grep -n "Container's 202 root" "$WORK/slow-4.messages" | cut -d: -f1)
[ -n "$first_201" ] && [ -n "$first_202" ] || cv_fail "the slow host's messages are missing"
[ "$first_201" -lt "$first_202" ] || cv_fail "container 202's message came before 201's"

# Not a terminal: no progress line among the messages.
! grep -q "containers [0-9]*/" "$WORK/slow-stderr" || cv_fail "a progress line went to a file"

# On a terminal, the progress line counts the containers and is erased at
# the end; the slow container keeps the run long enough to draw it.
if command -v script >/dev/null; then
  script -qefc "$(printf '%q ' "$BIN/cvsysinfo" -j 4 "$WORK/terminal.xml") 2>&1 >/dev/null" "$WORK/terminal.log" \
    </dev/null >/dev/null || cv_fail "cvsysinfo failed on a terminal"
  grep -qa "containers [0-3]/3, 0:0[0-9]" "$WORK/terminal.log" || cv_fail "no progress line on a terminal"
  # The line is erased after it was last drawn, before what follows.
  python3 -c '
import sys
text = open(sys.argv[1], "rb").read()
sys.exit(0 if text.rfind(b"\r\033[K") > text.rfind(b"containers ") else 1)
' "$WORK/terminal.log" || cv_fail "the progress line was not erased"
  cv_containers_part "$WORK/terminal.xml" || cv_fail "cannot read $WORK/terminal.xml"
  cmp "$WORK/slow-1.xml.containers" "$WORK/terminal.xml.containers" || cv_fail "the document differs on a terminal"
fi

# A bad number of jobs is refused before anything is written.
run_cvsysinfo -j 0 "$WORK/refused.xml"
expect_status 1
expect_contains "$ERR" "usage: cvsysinfo [-j N] OUTPUT"
[ ! -e "$WORK/refused.xml" ] || cv_fail "a document was written for -j 0"
run_cvsysinfo -j x "$WORK/refused.xml"
expect_status 1

cv_pass
