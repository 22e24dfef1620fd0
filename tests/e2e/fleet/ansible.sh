#!/usr/bin/env bash
# The Ansible role over three hosts at once, each a simulated platform host of
# its own (mixed, hostile, and one whose description is missing): the good
# hosts' inventories land on the controller, valid, with their pages; the bad
# host fails with its reason and stops nobody, keeping its last good
# inventory; the summary names both; one selected host files a report with
# the vaulted password, which is never logged, and only once; -j reaches
# cvsysinfo only where cvfleet_jobs is set. A fourth
# host's inventory has a DOCTYPE whose entities name a secret and a FIFO of
# the controller: it fails, unread. The settings replace the sample's lines
# and their own when they change; a setting with a line end or a double
# quote is refused; a missing program is a reason like any other. A check
# run changes nothing, nor does a second run; a changed host has its changes
# on the fleet page, and its dated inventories are pruned to cvfleet_keep.
source "$(dirname "$0")/../../common.sh"

command -v ansible-playbook >/dev/null || cv_skip "ansible-core is not installed"
command -v xsltproc >/dev/null || cv_skip "xsltproc is not installed"
[ -x "$BIN/cvsysinfo" ] && [ -x "$BIN/cvsim-tool" ] || cv_skip "the simulated platform is not built"
PY=/usr/bin/python3
"$PY" -c 'import html5lib' 2>/dev/null || cv_skip "python3-html5lib is not installed"
started=$(date +%s)

# Ansible keeps its own files under HOME; they stay in the sandbox.
export HOME=$WORK/home ANSIBLE_LOCAL_TEMP=$WORK/ansible-local ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0
mkdir -p "$HOME"

cv_collector "$SRC/tests/fixtures/collectors/recording_collector.sh"
export CV_OBSERVE=$WORK/observed
cv_service_start --repid 4242

# --- the simulated hosts -------------------------------------------------------
# Each host's cvsysinfo is a wrapper that enters a mount namespace of its own
# and makes it the simulated host, so the three can run side by side. It
# records its arguments and waits (60 s at most: a loaded machine starts
# Ansible's forks slowly) until all three have started, which they only do
# together if the role runs them in parallel.
fleet=$WORK/fleet
mkdir -p "$fleet/hosts"
cat >"$fleet/sim-cvsysinfo" <<'SH'
#!/usr/bin/env bash
# sim-cvsysinfo FLEET NAME DESCRIPTION CVSYSINFO-ARGS...; in its own namespace.
set -euo pipefail
fleet=$1 name=$2 desc=$3
shift 3
# Comparing needs no simulated host.
[ "${1:-}" != --diff ] || { source "$fleet/env"; exec "$REAL_BUILD/bin/cvsysinfo" "$@"; }
host=$fleet/hosts/$name
printf '%s\n' "$@" >"$host/args"
touch "$host/started"
together=alone
for _ in $(seq 600); do
  if [ "$(find "$fleet/hosts" -name started | wc -l)" -ge 3 ]; then together=together; break; fi
  sleep 0.1
done
echo "$together" >"$host/together"
source "$fleet/env"
# A sandbox of its own for each run: overlays take no used upper directory.
CV_SANDBOX=$(mktemp -d "$host/sandbox.XXXXXX")
WORK=$CV_SANDBOX/work
BIN=$CV_SANDBOX/build/bin
mkdir -p "$CV_SANDBOX/upper" "$CV_SANDBOX/overlay-work" "$WORK"
ln -sfn "$REAL_BUILD" "$CV_SANDBOX/build"
cv_fail() { echo "sim-cvsysinfo: $*" >&2; exit 1; }
cv_skip() { cv_fail "$@"; }
# What the simulation writes to /etc, /usr/libexec, /var/lib and /var/log
# stays with this host: the simulation takes the last two for the case's
# own, which all hosts would share, racing to make /var/lib/cvsim.
for dir in /etc /usr/libexec /var/lib /var/log; do cv_overlay "$dir"; done
source "$SRC/tests/sim_host.sh"
cv_sim_host "$desc"
# The recorded arguments tell whether the role passed -j; cvsysinfo gets
# them as they came.
exec timeout -k 5 120 "$BIN/cvsysinfo" "$@"
SH
{
  printf 'SRC=%q\nREAL_BUILD=%q\n' "$SRC" "$CV_SANDBOX/build"
  declare -f cv_overlay # the harness's, over this host's sandbox
} >"$fleet/env"
# node-a's description changes between runs.
cp -r "$SRC/tests/fixtures/hosts/mixed" "$WORK/mixed"
declare -A desc=([node-a]=$WORK/mixed [node-b]=$SRC/tests/fixtures/hosts/hostile
  [node-c]=$SRC/tests/fixtures/hosts/no-such-host)
# node-d's inventory would copy the controller's secret into its pages, or
# hang the controller on a FIFO, if anything parsed it.
marker=cv-secret-$$-$RANDOM
echo "$marker" >"$WORK/secret"
mkfifo "$WORK/fifo"
mkdir -p "$fleet/hosts/node-d"
cat >"$fleet/hosts/node-d/cvsysinfo" <<SH
#!/bin/sh
sed -e '1a <!DOCTYPE CVLIN [<!ENTITY s SYSTEM "file://$WORK/secret"><!ENTITY f SYSTEM "file://$WORK/fifo">]>' \\
  -e 's,/var/lib/cv/lock,\\&s;\\&f;,' "$SRC/tests/fixtures/golden/inventory/empty.xml" >"\$1"
SH
chmod +x "$fleet/hosts/node-d/cvsysinfo"
for name in node-a node-b node-c; do
  mkdir -p "$fleet/hosts/$name"
  printf '#!/bin/sh\nexec unshare --mount --propagation private -- bash %q %q %q %q "$@"\n' \
    "$fleet/sim-cvsysinfo" "$fleet" "$name" "${desc[$name]}" >"$fleet/hosts/$name/cvsysinfo"
  chmod +x "$fleet/hosts/$name/cvsysinfo"
done

# --- the inventory and the secret ------------------------------------------------
inventories=$WORK/inventories
cat >"$WORK/hosts.yml" <<YAML
cv_hosts:
  hosts:
    node-a:
      cvfleet_cvsysinfo: "$fleet/hosts/node-a/cvsysinfo"
    node-b:
      cvfleet_cvsysinfo: "$fleet/hosts/node-b/cvsysinfo"
      cvfleet_jobs: 2
    node-c:
      cvfleet_cvsysinfo: "$fleet/hosts/node-c/cvsysinfo"
    node-d:
      cvfleet_cvsysinfo: "$fleet/hosts/node-d/cvsysinfo"
  vars:
    ansible_connection: local
    ansible_python_interpreter: $PY
    ansible_become: false
    cvfleet_inventory_dir: "$inventories"
    cvfleet_cvreport: "$BIN/cvreport"
    cvfleet_report_hosts: [node-a]
    cvfleet_contact_name: "Ada Admin"
    cvfleet_contact_company: "Example Hosting"
    cvfleet_contact_email: "ada@example.net"
    cvfleet_contact_subject: "Containers stop; \"quoted\" \$(touch /tmp/owned)"
    cvfleet_contact_description: "All containers stopped at 3am."
    cvfleet_submit_uri: "$CV_SERVICE_URL"
    cvfleet_submit_user: "$CV_SERVICE_USER"
YAML
echo "vault-word" >"$WORK/vault-pass"
ansible-vault encrypt_string --vault-password-file "$WORK/vault-pass" --name cvfleet_submit_password \
  -- "$CV_SERVICE_PASSWORD" >"$WORK/secret.yml" 2>"$WORK/vault.err" || cv_fail "ansible-vault: $(cat "$WORK/vault.err")"
expect_lacks "$WORK/secret.yml" "$CV_SERVICE_PASSWORD"
mkdir -p "$inventories"
# node-c's inventory of an earlier run outlives its failure.
cp "$SRC/tests/fixtures/golden/inventory/empty.xml" "$inventories/node-c.xml"
# The settings go into the installed sample.
cp "$SRC/etc/cvreport.conf" /etc/cvreport.conf

# --- the run ---------------------------------------------------------------------
# play OUT ARGS...: ansible-playbook ARGS..., its output in OUT, ended if it
# hangs.
play() {
  local out=$1
  shift
  cv_status timeout -k 10 240 ansible-playbook "$@" >"$out" 2>&1
  [ "$STATUS" != 124 ] || cv_fail "the play did not end within 240 s: $(tail -n 3 "$out")"
}
play "$OUT" -vv -i "$WORK/hosts.yml" -e "@$WORK/secret.yml" --vault-password-file "$WORK/vault-pass" \
  "$SRC/contrib/ansible/site.yml"
echo "the play took $(($(date +%s) - started)) s"
# Failed hosts make the play fail, after everything else has been done.
expect_status 2
grep -Eq '^node-a +: ok=[0-9]+ +changed=[0-9]+ +unreachable=0 +failed=0' "$OUT" || cv_fail "node-a did not succeed"
grep -Eq '^node-b +: ok=[0-9]+ +changed=[0-9]+ +unreachable=0 +failed=0' "$OUT" || cv_fail "node-b did not succeed"
grep -Eq '^node-c +: .* failed=1 ' "$OUT" || cv_fail "node-c did not fail"
expect_contains "$OUT" '"done (2): node-a node-b"'
expect_contains "$OUT" '"failed (2)"'
grep -q '"  node-c: Run cvsysinfo: sim-cvsysinfo: no host description at .*no-such-host"' "$OUT" ||
  cv_fail "the summary lacks node-c's reason"
expect_contains "$OUT" '"  node-d: Check the inventory for a DOCTYPE: cvfleet-page: node-d.xml has a DOCTYPE'

# In parallel, with -j only where it was asked for.
for name in node-a node-b node-c; do
  expect_eq "$(cat "$fleet/hosts/$name/together")" together "$name ran beside the others"
done
expect_eq "$(head -n 2 "$fleet/hosts/node-b/args" | tr '\n' ' ')" "-j 2 " "node-b's arguments"
expect_eq "$(wc -l <"$fleet/hosts/node-a/args")" 1 "node-a's arguments: $(cat "$fleet/hosts/node-a/args")"

# The controller has what the good hosts wrote, valid; the bad host's reason.
for name in node-a node-b; do
  xmllint --noout --relaxng "$SRC/schema/cvsysinfo.rng" "$inventories/$name.xml" 2>"$WORK/rng.err" ||
    cv_fail "$name.xml: $(cat "$WORK/rng.err")"
done
expect_eq "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/CT[CTID!=0])' "$inventories/node-a.xml")" 7 "node-a's containers"
expect_eq "$(xmllint --xpath 'string(/CVLIN/CONTAINERS/CT[2]/CTID)' "$inventories/node-b.xml")" 201 "node-b's first container"
cmp -s "$SRC/tests/fixtures/golden/inventory/empty.xml" "$inventories/node-c.xml" ||
  cv_fail "node-c's last good inventory was not kept"
expect_eq "$(ls "$inventories/node-a")" "$(cd "$inventories/node-a" && ls -- [0-9]*T[0-9]*Z.xml)" "node-a's dated inventories"
cmp -s "$inventories/node-a.xml" "$inventories/node-a/$(ls "$inventories/node-a")" || cv_fail "node-a.xml is not its dated one"
grep -q '^Run cvsysinfo: sim-cvsysinfo: no host description at' "$inventories/node-c.failed" ||
  cv_fail "node-c.failed: $(cat "$inventories/node-c.failed")"
[ -z "$(find /tmp -maxdepth 1 -name 'cvfleet.*')" ] || cv_fail "work directories left on the hosts"

# The pages: one per good host, and the fleet.
check=("$PY" "$SRC/tests/e2e/pages/page_check.py")
for name in node-a node-b; do
  "${check[@]}" "$inventories/$name.html" --inventory "$inventories/$name.xml" --text "Inventory of $name" >&2 ||
    cv_fail "the page of $name"
done
taken=$(xmllint --xpath 'string(/CVLIN/@time)' "$inventories/node-a.xml")
kit=$(xmllint --xpath 'string(/CVLIN/@version)' "$inventories/node-a.xml")
[ -n "$taken" ] && [ -n "$kit" ] || cv_fail "node-a.xml lacks its time or version"
"${check[@]}" "$inventories/fleet.html" --row "node-a=ok" --row "node-a=7" --row "node-b=ok" --row "node-a=first run" \
  --row "node-a=$taken" --row "node-a=$kit" \
  --row "node-c=failed: Run cvsysinfo" --row "node-d=failed: Check the inventory for a DOCTYPE" >&2 ||
  cv_fail "the fleet page"
[ ! -e "$inventories/node-d.html" ] || cv_fail "a page of node-d's refused inventory"
! grep -rqF -- "$marker" "$OUT" "$inventories" || cv_fail "node-d's entity was read"
compgen -G "/tmp/owned*" >/dev/null && cv_fail "a value was run by a shell"

# One report, from node-a alone, with the vaulted password and the contact
# as given; the password is in the configuration and nowhere in the output.
expect_eq "$(cv_requests count auth=ok)" 1 "reports filed"
expect_eq "$(cv_requests last digest_user)" "$CV_SERVICE_USER" "user"
expect_eq "$(cv_requests count auth=bad)" 0 "refused requests"
expect_contains "$CV_OBSERVE/description" "Containers stop; \"quoted\" \$(touch /tmp/owned)"
expect_contains /etc/cvreport.conf "SUBMIT_PASSWORD=\"$CV_SERVICE_PASSWORD\""
expect_contains /etc/cvreport.conf "SUBMIT_URI=\"$CV_SERVICE_URL\""
expect_eq "$(grep -c '^SUBMIT_URI=' /etc/cvreport.conf)" 1 "SUBMIT_URI lines"
expect_eq "$(stat -c %a /etc/cvreport.conf)" 600 "mode of /etc/cvreport.conf"
expect_contains "$OUT" "\"report from node-a: problem ID 4242\""
! grep -rqF -- "$CV_SERVICE_PASSWORD" "$OUT" "$ERR" "$inventories" || cv_fail "the password was logged"

# recap OUT WHAT: every host's recap line in OUT matches WHAT.
recap() {
  local name
  for name in node-a node-b node-c node-d; do
    grep -Eq "^$name +: .*$2" "$1" || cv_fail "$name's recap lacks $2: $(grep "^$name " "$1")"
  done
}
# The controller's folder: every file with its content.
snapshot() { (cd "$inventories" && find . -type f -print0 | sort -z | xargs -0 sha1sum); }

# A check changes nothing on the controller, and fails only the hosts that
# fail for real: a previous inventory that the comparison refuses fails the
# comparison alone. Then a second run finds nothing to do, nor to report.
cp "$inventories/node-b.xml" "$WORK/node-b.xml"
echo '<?xml version="1.0" encoding="UTF-8"?><CVCHANGES/>' >"$inventories/node-b.xml"
for mode in --check ""; do
  snapshot >"$WORK/before"
  play "$WORK/again.out" -i "$WORK/hosts.yml" -e "@$WORK/secret.yml" --vault-password-file "$WORK/vault-pass" \
    $mode "$SRC/contrib/ansible/site.yml"
  expect_status 2
  snapshot >"$WORK/after"
  cmp -s "$WORK/before" "$WORK/after" || cv_fail "a run ($mode) changed: $(diff "$WORK/before" "$WORK/after")"
  expect_contains "$WORK/again.out" '"done (2): node-a node-b"'
  grep -Eq '^node-[ab] +: .* failed=0 ' "$WORK/again.out" || cv_fail "a good host failed a run ($mode)"
  [ -n "$mode" ] || recap "$WORK/again.out" " changed=0 "
  [ -z "$mode" ] || grep -q '"not compared with the previous inventory: node-b: .*is not an inventory' "$WORK/again.out" ||
    cv_fail "the summary lacks node-b's failed comparison"
  cp "$WORK/node-b.xml" "$inventories/node-b.xml"
done
expect_eq "$(cv_requests count auth=ok)" 1 "reports filed after the second run"

# A line end in a service setting would start a setting of its own, and a
# double quote would end the value early: the host fails before anything is
# written, and the value is not shown.
cp /etc/cvreport.conf "$WORK/conf-before"
for bad in '\n' '\"'; do
  play "$WORK/second.out" -i "$WORK/hosts.yml" -e "@$WORK/secret.yml" --vault-password-file "$WORK/vault-pass" \
    -e "{\"cvfleet_submit_password\": \"x${bad}COLLECTOR_SCRIPT=/tmp/owned\"}" --limit node-a \
    "$SRC/contrib/ansible/site.yml"
  expect_status 2
  grep -q '"  node-a: Check the service settings: ' "$WORK/second.out" ||
    cv_fail "no reason for node-a ($bad): $(cat "$WORK/second.out")"
  cmp -s /etc/cvreport.conf "$WORK/conf-before" || cv_fail "/etc/cvreport.conf was changed ($bad)"
  expect_lacks "$WORK/second.out" "COLLECTOR_SCRIPT=/tmp/owned"
done
expect_eq "$(cv_requests count auth=ok)" 1 "reports filed after the refused ones"

# A new password takes the old one's line. node-a changed meanwhile: its
# changes are on the fleet page, and only the last two of its inventories,
# earlier ones included, are kept.
sed -i 's/^evr=4.2.46-19.el7$/evr=4.2.46-20.el7/' "$WORK/mixed/containers/101/packages"
first=$(ls "$inventories/node-a")
for old in 20200101T000000Z 20200102T000000Z; do cp "$inventories/node-a.xml" "$inventories/node-a/$old.xml"; done
play "$WORK/new.out" -i "$WORK/hosts.yml" --limit node-a -e cvfleet_submit_password=second-word \
  -e cvfleet_cvreport=/bin/true -e cvfleet_keep=2 "$SRC/contrib/ansible/site.yml"
expect_status 0
expect_eq "$(grep -c 'SUBMIT_PASSWORD=' /etc/cvreport.conf)" 1 "SUBMIT_PASSWORD lines"
expect_contains /etc/cvreport.conf 'SUBMIT_PASSWORD="second-word"'
kept=$(cd "$inventories/node-a" && ls)
expect_eq "$(head -n 1 <<<"$kept")" "$first" "node-a's older inventory"
expect_eq "$(wc -l <<<"$kept")" 2 "node-a's dated inventories: $kept"
cmp -s "$inventories/node-a.xml" "$inventories/node-a/$(tail -n 1 <<<"$kept")" || cv_fail "node-a.xml is not the newest"
# The page says what the change document says, the package change included.
"${check[@]}" "$inventories/node-a.changes.html" --changes "$inventories/node-a.changes.xml" --text "4.2.46-20.el7" >&2 ||
  cv_fail "node-a's change page"
"${check[@]}" "$inventories/fleet.html" --row "node-a=1 container changed" --row "node-b=first run" >&2 ||
  cv_fail "the fleet page's changes"
grep -q 'href="./node-a.changes.html"' "$inventories/fleet.html" || cv_fail "no link to node-a's changes"

# A host without the program, into a folder that does not exist yet.
play "$WORK/third.out" -i "$WORK/hosts.yml" --limit node-c -e "cvfleet_inventory_dir=$WORK/fresh" \
  -e "cvfleet_cvsysinfo=$WORK/no-such-program" "$SRC/contrib/ansible/site.yml"
expect_status 2
grep -q '^Run cvsysinfo: .*No such file or directory' "$WORK/fresh/node-c.failed" ||
  cv_fail "node-c.failed: $(cat "$WORK/fresh/node-c.failed" 2>&1)"
expect_contains "$WORK/third.out" '"done (0): "'

echo "fleet case: $(($(date +%s) - started)) s"
cv_pass
