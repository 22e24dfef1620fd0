#!/usr/bin/env bash
# The command line and the document's frame: no argument, an unwritable
# path, extra arguments, a library that cannot be opened, and an empty host.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

cv_sim_host "$SRC/tests/fixtures/hosts/empty"

# No argument: nothing at all, status 1.
run_cvsysinfo
expect_status 1
expect_empty "$OUT"
expect_empty "$ERR"

# A path in a directory that does not exist: the writer's message, status 1.
run_cvsysinfo /nonexistent/dir/out.xml
expect_status 1
expect_eq "$(cat "$OUT")" "testXmlwriterFilename: Error creating the xml writer" "stdout"
[ ! -e /nonexistent/dir/out.xml ] || cv_fail "a file was made"

# An empty host: the declaration, all four sections in order, the host
# entry alone, as the golden holds them.
run_cvsysinfo "$WORK/empty.xml"
expect_status 0
expect_empty "$OUT"
expect_inventory_golden "$WORK/empty.xml" empty

# The host's name is outside text: its markup is escaped, and what XML
# cannot hold (a control byte, a byte that is not UTF-8) reads U+FFFD.
cv_run timeout -k 5 120 unshare --uts python3 -c 'import os, socket, sys
socket.sethostname(b"cv<&\x22\x01\xff-node")
os.execv(sys.argv[1], sys.argv[1:])' "$BIN/cvsysinfo" "$WORK/named.xml"
expect_status 0
expect_eq "$(xmllint --xpath 'string(/CVLIN/@host)' "$WORK/named.xml")" $'cv<&"\uFFFD\uFFFD-node' "the host's name"

# Extra arguments change nothing.
run_cvsysinfo "$WORK/again.xml" extra arguments
expect_status 0
expect_inventory_golden "$WORK/again.xml" empty

# The container-control library cannot be opened: its code is the status,
# and a line says what that means.
cv_sim_host "$SRC/tests/fixtures/hosts/failures"
run_cvsysinfo "$WORK/failed.xml"
expect_status 19
expect_eq "$(cat "$ERR")" "Failed to initialize cvctl library, err = 19!
cvsysinfo: the Corvanta platform does not answer on this host; no inventory was written" "stderr"
[ ! -e "$WORK/failed.xml" ] || cv_fail "a document was written"

cv_pass
