#!/usr/bin/env bash
# Every golden inventory, and a fresh one of each simulated host, renders to
# a page that an HTML parser accepts and that says what the inventory says;
# a document whose every value is markup renders inert, its markup shown as
# text; so does a change document, whose page says what it says.
# cvfleet-page makes a page per host and a fleet page with one row per
# host, failed and unreadable ones included; a document with a DOCTYPE, or
# of a failed host, is not read, whatever files it names.
source "$(dirname "$0")/../../common.sh"
source "$SRC/tests/sim_host.sh"

command -v xsltproc >/dev/null || cv_skip "xsltproc is not installed"
# Debian's interpreter, which has Debian's html5lib.
PY=/usr/bin/python3
"$PY" -c 'import html5lib' 2>/dev/null || cv_skip "python3-html5lib is not installed"
XSL=$SRC/stylesheets
pages=0

# check PAGE [page_check.py options]
check() {
  "$PY" "$SRC/tests/e2e/pages/page_check.py" "$@" >"$WORK/check.out" 2>&1 ||
    cv_fail "$(cat "$WORK/check.out")"
  pages=$((pages + 1))
}

# render INVENTORY HOST PAGE [STYLESHEET]
render() {
  xsltproc --nonet --stringparam host "$2" -o "$3" "$XSL/${4:-inventory.xsl}" "$1" 2>"$WORK/xslt.err" ||
    cv_fail "xsltproc failed on $1: $(cat "$WORK/xslt.err")"
  [ ! -s "$WORK/xslt.err" ] || cv_fail "xsltproc complained about $1: $(cat "$WORK/xslt.err")"
}

# --- the goldens ---------------------------------------------------------------
for doc in "$SRC"/tests/fixtures/golden/inventory/*.xml; do
  name=$(basename "$doc" .xml)
  render "$doc" "$name" "$WORK/golden-$name.html"
  check "$WORK/golden-$name.html" --inventory "$doc" --text "Inventory of $name at 2026-12-08T10:00:00Z (kit VERSION)"
done
# A node golden holds the NODE alone: it stands in the mixed host's document,
# whose containers it counts.
for doc in "$SRC"/tests/fixtures/golden/node-*.xml; do
  name=$(basename "$doc" .xml)
  "$PY" - "$SRC/tests/fixtures/golden/inventory/mixed.xml" "$doc" >"$WORK/$name.xml" <<'PY'
import re, sys
inventory = open(sys.argv[1], encoding="utf-8").read()
node = re.sub(r"^<\?xml[^>]*\?>\s*", "", open(sys.argv[2], encoding="utf-8").read())
sys.stdout.write(inventory.replace("<NODE/>", node, 1))
PY
  render "$WORK/$name.xml" "$name" "$WORK/$name.html"
  check "$WORK/$name.html" --inventory "$WORK/$name.xml"
done
# What the full node says, where a reader looks for it.
check "$WORK/node-full.html" --text "2 sockets × 4 cores × 2 threads" --text "beta one: degraded" \
  --text "Cluster storage beta one is degraded." --text "vg0: 28.0 GiB free of 278.0 GiB" \
  --text "tcp/80" --text "tcp/22" --text "Container 107: Unable to open file /proc/bc/107/iostat"
# Collapsible details, free's and df's figures in the page's units; df's
# listing with a device name wrapped onto a line of its own is not misread.
for markup in '<details id="ct-101">' '<th>Mem:</th><td class="num">62.9 GiB</td>' \
  '<td>/dev/md0</td><td class="num">9.7 GiB</td><td class="num">1.4 GiB</td>'; do
  grep -qF -- "$markup" "$WORK/node-full.html" || cv_fail "no $markup on the full node's page"
done
sed 's,^/dev/md0 ,/dev/mapper/vg0-data\n ,' "$WORK/node-full.xml" >"$WORK/wrapped.xml"
render "$WORK/wrapped.xml" wrapped "$WORK/wrapped.html"
grep -qF '<h3>Disk usage</h3><pre>Filesystem' "$WORK/wrapped.html" || cv_fail "a wrapped df listing was made a table"

# --- the warnings of the mixed host's document, and of variants of it ------------
# Each case: a sed script for the document, then what the page must (+) and
# must not (-) say. Without a host parameter the title takes the document's.
mixed=$SRC/tests/fixtures/golden/inventory/mixed.xml
physpages='physpages  *61220  *98304  *0  *65536  *0'
warning_cases=(
  "|+Inventory of HOST at 2026-12-08T10:00:00Z (kit VERSION)|+Container 102: the resource numproc failed 3 times\
|+Container 101: the resource physpages holds 61220 of its limit 65536 (93%)|-numproc holds|-kmemsize holds\
|+Container 108 is listed in the platform's container table, not in the containers section|-Container 1 is\
|+each run of characters other than \";\" is written as one \".\" and each \";\" is kept|-in the platform's container table but"
  "/^<CVLIN/s, host=\"[^\"]*\",,;/^<CVLIN/s, version=\"[^\"]*\",,|+Inventory at 2026-12-08T10:00:00Z|-Inventory of|-(kit"
  "s,<STATUS>suspended</STATUS>,<STATUS>running</STATUS>,\
|+Container 103 is running in the platform's container table but suspended in the containers section"
  "s,$physpages,physpages 58983 98304 0 65536 0,|+physpages holds 58983 of its limit 65536 (90%)"
  "s,$physpages,physpages 58982 98304 0 65536 0,|-physpages holds"
  "s,$physpages,physpages 61220 98304 0 0 0,|-physpages holds"
  "s,kmemsize  *[0-9]*,kmemsize 9223372036854775807,|-kmemsize holds"
  "s,>[.;][.;]*</,>x</,g|-masked"
)
for case in "${warning_cases[@]}"; do
  IFS='|' read -r -a parts <<<"$case"
  sed "${parts[0]}" "$mixed" >"$WORK/variant.xml"
  ! cmp -s "$mixed" "$WORK/variant.xml" || [ -z "${parts[0]}" ] || cv_fail "the case changes nothing: ${parts[0]}"
  render "$WORK/variant.xml" "" "$WORK/variant.html"
  args=()
  for want in "${parts[@]:1}"; do
    case $want in +*) args+=(--text "${want#+}") ;; -*) args+=(--no-text "${want#-}") ;; esac
  done
  check "$WORK/variant.html" --inventory "$WORK/variant.xml" "${args[@]}"
done

# --- change documents ---------------------------------------------------------------
for doc in "$SRC"/tests/fixtures/changes/*.xml "$SRC"/tests/fixtures/golden/diff/*.xml; do
  render "$doc" "" "$WORK/changes-${doc##*/}.html" changes.xsl
  check "$WORK/changes-${doc##*/}.html" --changes "$doc"
done

# --- a fresh document of each simulated host, and their fleet ---------------------
fleet=$WORK/fleet
mkdir -p "$fleet"
for host in "$SRC"/tests/fixtures/hosts/*/; do
  host=${host%/}
  name=${host##*/}
  cv_sim_host "$host"
  run_cvsysinfo "$WORK/host-$name.xml"
  if [ -s "$WORK/host-$name.xml" ]; then
    render "$WORK/host-$name.xml" "$name" "$WORK/host-$name.html"
    check "$WORK/host-$name.html" --inventory "$WORK/host-$name.xml"
    cp "$WORK/host-$name.xml" "$fleet/$name.xml"
  else
    tail -n 1 "$ERR" >"$fleet/$name.failed"
  fi
done
compgen -G "/tmp/owned*" >/dev/null && cv_fail "something from the hostile host was run"
[ -s "$fleet/mixed.xml" ] && [ -s "$fleet/hostile.xml" ] || cv_fail "no document of the mixed or hostile host"
# A host whose last two inventories were alike, and one whose last two
# could not be compared.
mkdir -p "$fleet/mixed"
touch "$fleet/mixed/20261201T100000Z.xml" "$fleet/mixed/20261208T100000Z.xml"
echo 'cvsysinfo: previous.xml is not an inventory <b>' >"$fleet/hostile.changes.failed"
# A host whose file name is markup, and one whose document is broken.
cp "$SRC/tests/fixtures/golden/inventory/empty.xml" "$fleet/a&b <i>.xml"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<CVLIN><CVLIST>' >"$fleet/broken.xml"
# Hostile hosts: an entity naming a secret of the controller, in UTF-8 and in
# UTF-16, or a FIFO that no one writes; and a host that failed its schema
# check, whose document holds the secret as text.
marker=cv-secret-$$-$RANDOM
echo "$marker" >"$WORK/secret"
mkfifo "$WORK/fifo"
hostile() { sed -e "1a <!DOCTYPE CVLIN [<!ENTITY e SYSTEM \"file://$1\">]>" -e 's,/var/lib/cv/lock,\&e;,' \
  "$SRC/tests/fixtures/golden/inventory/empty.xml"; }
hostile "$WORK/secret" >"$fleet/leak.xml"
hostile "$WORK/secret" | sed '1s/UTF-8/UTF-16/' | iconv -f UTF-8 -t UTF-16 >"$fleet/leak16.xml"
hostile "$WORK/fifo" >"$fleet/fifo.xml"
sed "s,/var/lib/cv/lock,$marker," "$SRC/tests/fixtures/golden/inventory/empty.xml" >"$fleet/unchecked.xml"
echo "Validate the inventory against the schema: unchecked.xml fails to validate" >"$fleet/unchecked.failed"
status=0
timeout -k 5 120 "$SRC/stylesheets/cvfleet-page" "$fleet" 2>"$WORK/fleet.err" || status=$?
[ "$status" != 124 ] || cv_fail "cvfleet-page did not finish within 120 s: a FIFO named by an entity was read"
expect_eq "$status" 1 "cvfleet-page's status with an unrenderable inventory"
expect_contains "$WORK/fleet.err" "broken.xml could not be rendered"
! grep -rqF -- "$marker" "$fleet"/*.html "$fleet/fleet.xml" || cv_fail "the secret named by an entity is on a page"
rows=(--row "mixed=ok" --row "mixed=7" --row "mixed=none"
  --row "hostile=not compared: cvsysinfo: previous.xml is not an inventory <b>" --row "broken=could not be read" --row "a&b <i>=ok"
  --row "listing-error=The containers section is empty" --row "leak=failed: leak.xml has a DOCTYPE"
  --row "leak16=failed: leak16.xml does not open with" --row "fifo=failed: fifo.xml has a DOCTYPE")
failed_hosts=0
for failed in "$fleet"/*.failed; do
  case $failed in *.changes.failed) continue ;; esac
  [ -e "$failed" ] || continue
  failed_hosts=$((failed_hosts + 1))
  rows+=(--row "$(basename "$failed" .failed)=failed: $(cat "$failed")")
done
check "$fleet/fleet.html" "${rows[@]}" --text "hosts"
hosts=$(ls "$SRC"/tests/fixtures/hosts | wc -l)
expect_eq "$(grep -o '<tr><td>' "$fleet/fleet.html" | wc -l)" $((hosts + 6)) "fleet rows"
# The refused three and the unreadable one count as failed with the failed hosts.
expect_eq "$(grep -o 'id="failed">[0-9]*' "$fleet/fleet.html" | cut -d'>' -f2)" \
  $((failed_hosts + 4)) "failed hosts in the totals"
for doc in "$fleet"/*.xml; do
  name=$(basename "$doc" .xml)
  case $name in fleet | broken | leak | leak16 | fifo) continue ;; esac
  [ ! -e "$fleet/$name.failed" ] || { [ ! -e "$fleet/$name.html" ] || cv_fail "a page of failed $name"; continue; }
  [ -s "$fleet/$name.html" ] || cv_fail "cvfleet-page made no page of $name"
  check "$fleet/$name.html" --inventory "$doc"
done

# --- every value markup ----------------------------------------------------------
# Each text and attribute of the full host's document, and of a change
# document, is replaced by markup that would run, load or link if it were let
# through.
"$PY" - "$WORK/node-full.xml" "$WORK/markup.xml" "$SRC/tests/fixtures/changes/sample.xml" \
  "$WORK/changes-markup.xml" <<'PY'
import sys, xml.etree.ElementTree as ET
payload = ("<script>alert(1)</script><img src=x onerror=alert(2)>\" onmouseover=\"alert(3)' "
           "javascript:alert(4) <a href=\"https://example.net/\">x</a>"
           "<link rel=stylesheet href=//example.net/s.css></style><style>@import url(//example.net)</style>")
for source, target in zip(sys.argv[1::2], sys.argv[2::2]):
    tree = ET.parse(source)
    for el in tree.getroot().iter():
        el.text = payload + "\n" + (el.text or "")
        for key in el.attrib:
            el.attrib[key] = payload + el.attrib[key]
    tree.write(target, encoding="UTF-8", xml_declaration=True)
PY
render "$WORK/markup.xml" '<b onmouseover="alert(5)">host</b>' "$WORK/markup.html"
check "$WORK/markup.html" --inventory "$WORK/markup.xml" --text "<script>alert(1)</script>" \
  --text '<b onmouseover="alert(5)">host</b>' --text '<a href="https://example.net/">x</a>'
render "$WORK/changes-markup.xml" "" "$WORK/changes-markup.html" changes.xsl
check "$WORK/changes-markup.html" --changes "$WORK/changes-markup.xml"

echo "pages checked: $pages"
cv_pass
