#!/usr/bin/env bash
# The main job on a simulated host: a complete console problem report, from
# the collector to the problem ID, sent to a local support service on
# loopback, and the host's inventory document. It runs inside the test
# harness's private mount namespace, so the host's /etc, /tmp and /var/log
# are never touched; the inventory is left in demo-output/ of the checkout.
source "$(dirname "$0")/../tests/common.sh"
source "$SRC/tests/sim_host.sh"

echo "   Making a simulated platform host (tests/fixtures/hosts/mixed) in a mount namespace"
# The simulated platform host, with cvsysinfo installed for the collector.
cv_sim_host "$SRC/tests/fixtures/hosts/mixed"
cv_release "Orbelin Nimbus Server 7.0.1 (build 2291)"
cv_collector
export PATH=$PATH:$BIN

# The vendor's support service, here a local stand-in on loopback.
echo "   Starting a local support service on loopback"
cv_service_start --repid "$((RANDOM % 90000 + 10000))"
cv_service_config
echo "   Running cvreport: its collector packs the host's files, then it uploads the archive"
echo

echo "== cvreport -p -n ... -c ... -e ... -s ... -m ..."
set +e
"$BIN/cvreport" -p -n "Ada Admin" -c "Example Hosting" -e "ada@example.net" \
  -s "Containers stop overnight" -m "All containers on node 7 stopped at 03:00; the log shows OOM." </dev/null
status=$?
set -e
echo "== cvreport exited with status $status"
echo
echo "== What the support service received:"
size=$(cv_requests part report size)
cv_requests parts | while IFS=$'\t' read -r name file type value; do
  [ "$file" != - ] && value="$file ($type, $size bytes)"
  [ ${#value} -gt 60 ] && value="${value:0:57}..."
  printf '   %-10s %s\n' "$name" "$value"
done
echo
echo "== /var/log/cvreport.log:"
grep -E '^[A-Z][a-z]{2} [0-9]{2} ' /var/log/cvreport.log | sed 's/^/   /' | head -n 20

echo
echo "== cvsysinfo demo-output/inventory.xml"
mkdir -p "$SRC/demo-output"
"$BIN/cvsysinfo" "$SRC/demo-output/inventory.xml" 2>"$WORK/cvsysinfo.err" || status=$?
xmllint --noout "$SRC/demo-output/inventory.xml" && echo "   well-formed XML, $(wc -c <"$SRC/demo-output/inventory.xml") bytes:"
xmllint --xpath 'concat("   ", count(//CONTAINERS/CT[CTID!=0]), " containers, ", count(//CONTAINERS/CT[STATE="running"]), " running, ", count(//CVTEMPLATES/TEMPLATE), " templates")' \
  "$SRC/demo-output/inventory.xml"
echo
echo "   The document is in demo-output/inventory.xml of this checkout."
exit "$status"
