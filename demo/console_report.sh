#!/usr/bin/env bash
# The main job on a simulated host: a complete console problem report, from
# the collector to the problem ID, sent to a local support service on
# loopback. It runs inside the test harness's private mount namespace, so the
# host's /etc, /tmp and /var/log are never touched.
source "$(dirname "$0")/../tests/common.sh"

# The simulated platform host.
cv_release "Orbelin Nimbus Server 7.0.1 (build 2291)"
mkdir -p /etc/cv
cat >/etc/cv/cv.conf <<'CONF'
# Platform settings of the simulated host
VIRTUOZZO=yes
CT_ROOT=/vz/root
DUMP_PASSWORD="never-leaves-the-host"
CONF
cv_collector

# The vendor's support service, here a local stand-in on loopback.
cv_service_start --repid "$((RANDOM % 90000 + 10000))"
cv_service_config

echo "== cvreport -p -n ... -c ... -e ... -s ... -m ..."
set +e
"$BIN/cvreport" -p -n "Ada Admin" -c "Example Hosting" -e "ada@example.net" \
  -s "Containers stop overnight" -m "All containers on node 7 stopped at 03:00; the log shows OOM." </dev/null
status=$?
set -e
echo "== cvreport exited with status $status"
echo
echo "== What the support service received:"
cv_requests parts | awk -F'\t' '{ v = $4; if (length(v) > 60) v = substr(v, 1, 57) "..."; printf "   %-10s %s\n", $1, ($2 != "-" ? $2 " (" $3 ", " '"$(cv_requests part report size)"' " bytes)" : v) }'
echo
echo "== /var/log/cvreport.log:"
sed 's/^/   /' /var/log/cvreport.log | grep -v '^   [^A-Z]' | head -n 20
exit "$status"
