#!/usr/bin/env bash
# cvctl runscript runs the shipped services lister with the container's own
# commands: systemd, chkconfig, service or /etc/init.d, whichever the
# container has, and never the host's own service managers; the lister's
# output is bounded in lines and time.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"
# shellcheck source=../../sim_host.sh
source "$SRC/tests/sim_host.sh"

H=$SRC/tests/fixtures/hosts/mixed
cv_sim_host "$H"
LISTER=/usr/libexec/cvreport/list_services
cmp -s "$LISTER" "$SRC/scripts/list_services" || cv_fail "the lister is not installed at $LISTER"
[ -x "$LISTER" ] || cv_fail "$LISTER is not executable"

services() {
  cv_run sh -c "cvctl --quiet runscript $1 $LISTER"
}

services 101 # systemd
expect_status 0
expect_eq "$(cat "$OUT")" "$(bash "$H/containers/101/tools/systemctl" list-units)" "systemd units of 101"

services 102 # chkconfig
expect_status 0
cmp -s "$OUT" "$H/containers/102/tools/chkconfig" || cv_fail "102 does not list chkconfig's services"

services 103 # service --status-all
expect_status 0
cmp -s "$OUT" "$H/containers/103/tools/service" || cv_fail "103 does not list service's statuses"

services 104 # the executable scripts of its own /etc/init.d
expect_status 0
expect_eq "$(cat "$OUT")" $'network\nsshd' "init scripts of 104"

services 106 # systemd without units, with unit files
expect_status 0
expect_eq "$(cat "$OUT")" "$(bash "$H/containers/106/tools/systemctl" list-unit-files)" "unit files of 106"
expect_empty "$ERR"

# No service manager and no init scripts: nothing, though the host has
# systemctl and service of its own.
services 105
expect_status 0
expect_empty "$OUT"

# A stopped container answers too; one that does not exist does not.
services 999
expect_status 1
expect_contains "$ERR" "does not exist"

# Bounds: a systemd that never answers is given up after the time limit,
# and a list of 6000 services is cut at 5000 lines.
D=$WORK/host
mkdir -p "$D/containers/301/tools" "$D/containers/302/tools"
echo running >"$D/containers/301/state"
printf '#!/bin/bash\nexec sleep 60\n' >"$D/containers/301/tools/systemctl"
printf 'sshd 0:off 1:off 2:on 3:on 4:on 5:on 6:off\n' >"$D/containers/301/tools/chkconfig"
echo running >"$D/containers/302/state"
printf '#!/bin/bash\nfor ((i = 1; i <= 6000; i++)); do echo "unit$i.service loaded active running"; done\n' \
  >"$D/containers/302/tools/systemctl"
chmod 0755 "$D/containers/301/tools/systemctl" "$D/containers/302/tools/systemctl"
cv_sim_host "$D"

start=$SECONDS
services 301
expect_status 0
expect_eq "$(cat "$OUT")" "sshd 0:off 1:off 2:on 3:on 4:on 5:on 6:off" "chkconfig after a hung systemctl"
# One time limit (10 s), not one per systemctl query.
((SECONDS - start < 20)) || cv_fail "the hung systemctl held the lister for $((SECONDS - start)) s"

services 302
expect_status 0
expect_eq "$(wc -l <"$OUT")" 5000 "lines of a long service list"
expect_eq "$(tail -n 1 "$OUT")" "unit5000.service loaded active running" "last line kept"

cv_pass
