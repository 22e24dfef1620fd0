#!/usr/bin/env bash
# `cmake --install` lays out the conventional tree: the programs in sbin
# below the prefix, the collector and the services lister at the fixed
# /usr/libexec/cvreport, the sample /etc/cvreport.conf (never over an
# administrator's file), the manuals, the completion and the translation
# template. The sample holds every key the program reads. Installs only into
# scratch directories (DESTDIR), so it needs no root.
source "$(dirname "$0")/../../ship_common.sh"
[ -f "$BUILD/cmake_install.cmake" ] || { echo "SKIP: no build tree at $BUILD"; exit 77; }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
has_cvsysinfo=0
[ -x "$BUILD/bin/cvsysinfo" ] && has_cvsysinfo=1

install_into() { # DESTDIR PREFIX
  DESTDIR=$1 cmake --install "$BUILD" --prefix "$2" >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }
}

# --- the tree under /usr -------------------------------------------------------
root=$WORK/root
install_into "$root" /usr
expected=(
  /etc/cvreport.conf
  /usr/sbin/cvreport
  /usr/libexec/cvreport/cvreport_collector
  /usr/share/man/man8/cvreport.8
  /usr/share/man/man5/cvreport.conf.5
  /usr/share/bash-completion/completions/cvreport
  /usr/share/bash-completion/completions/cvsysinfo
  /usr/share/cvreport/cvreport.pot
  /usr/share/cvreport/inventory.xsl
  /usr/share/cvreport/fleet.xsl
  /usr/share/cvreport/changes.xsl
  /usr/share/cvreport/cvfleet-page
  /usr/share/doc/cvreport/README.md
)
[ "$has_cvsysinfo" = 0 ] || expected+=(
  /usr/sbin/cvsysinfo
  /usr/libexec/cvreport/list_services
  /usr/share/man/man8/cvsysinfo.8
  /usr/share/doc/cvreport/cvsysinfo.rng
  /usr/share/doc/cvreport/cvsysinfo-changes.rng
  /usr/share/cvreport/cvsysinfo-changes.rng
  /usr/share/doc/cvreport/inventory.md
)
for path in "${expected[@]}"; do
  [ -f "$root$path" ] || fail "$path was not installed"
done
for path in /usr/sbin/cvreport /usr/libexec/cvreport/cvreport_collector /usr/share/cvreport/cvfleet-page; do
  [ -x "$root$path" ] || fail "$path is not executable"
done
expect_mode() { [ "$(stat -c %a "$root$1")" = "$2" ] || fail "$1 has mode $(stat -c %a "$root$1"), not $2"; }
expect_mode /etc/cvreport.conf 644
expect_mode /usr/libexec/cvreport/cvreport_collector 755
cmp -s "$root/usr/libexec/cvreport/cvreport_collector" "$SRC/scripts/cvreport_collector" ||
  fail "the installed collector is not scripts/cvreport_collector"
# Nothing lands outside the prefix but the two fixed places.
stray=$(cd "$root" && find . -type f | sed 's,^\.,,' | grep -v -e '^/usr/' -e '^/etc/cvreport\.conf$' || true)
[ -z "$stray" ] || fail "installed outside /usr and /etc/cvreport.conf: $stray"
cmp -s "$root/usr/share/cvreport/cvreport.pot" "$BUILD/po/cvreport.pot" || fail "the template is not the built one"
# The installed stylesheets find each other: cvfleet-page renders a folder
# with what lies beside it.
if command -v xsltproc >/dev/null; then
  mkdir -p "$WORK/pages"
  cp "$SRC/tests/fixtures/golden/inventory/mixed.xml" "$WORK/pages/node-a.xml"
  "$root/usr/share/cvreport/cvfleet-page" "$WORK/pages" || fail "the installed cvfleet-page failed"
  grep -q '>node-a</a>' "$WORK/pages/fleet.html" || fail "the fleet page has no row of node-a"
  grep -q 'Container 101' "$WORK/pages/node-a.html" || fail "the page of node-a lacks container 101"
  xsltproc --nonet -o "$WORK/pages/changes.html" "$root/usr/share/cvreport/changes.xsl" \
    "$SRC/tests/fixtures/changes/sample.xml" || fail "the installed changes.xsl failed"
  grep -q '<h1>Changes on node-east-1</h1>' "$WORK/pages/changes.html" || fail "the change page lacks its title"
fi

# --- the sample configuration --------------------------------------------------
conf=$root/etc/cvreport.conf
# The only setting in force is the service of this build.
active=$(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$conf")
[ "$active" = "SUBMIT_URI=$(cache CVREPORT_SUBMIT_URI)" ] || fail "settings in force in the sample: $active"
# Every key the program reads is in the sample, with a comment above it.
mapfile -t keys < <(grep -rhoE '(configValue|lookup)\((config, )?"[A-Z_]+"' "$SRC/cvreport" --include='*.cc' |
  grep -oE '"[A-Z_]+"' | tr -d '"' | sort -u)
[ ${#keys[@]} -ge 7 ] || fail "found only ${#keys[@]} keys in the program: ${keys[*]}"
for key in "${keys[@]}"; do
  line=$(grep -nE "^#?$key=" "$conf" | head -n 1 | cut -d: -f1)
  [ -n "$line" ] || fail "the sample lacks $key"
  sed -n "$((line - 1))p" "$conf" | grep -q '^#' || fail "$key has no comment in the sample"
done

# --- an administrator's file is never replaced ---------------------------------
printf 'SUBMIT_URI=https://support.example.net/x\n' >"$conf"
cp "$conf" "$WORK/admin.conf"
install_into "$root" /usr
cmp -s "$conf" "$WORK/admin.conf" || fail "cmake --install replaced the administrator's /etc/cvreport.conf"
grep -q 'Keeping: .*/etc/cvreport.conf' "$WORK/install.log" || fail "the kept file is not mentioned"

# --- another prefix: the fixed paths stay, the rest moves -----------------------
other=$WORK/other
install_into "$other" /opt/cvkit
[ -x "$other/opt/cvkit/sbin/cvreport" ] || fail "sbin does not follow the prefix"
[ -x "$other/usr/libexec/cvreport/cvreport_collector" ] || fail "the collector left its fixed path"
[ -f "$other/etc/cvreport.conf" ] || fail "the configuration left its fixed path"
if [ "$has_cvsysinfo" = 1 ] && [ "$(cache CV_PLATFORM_SIMULATED)" = TRUE ]; then
  # The simulated libraries are found beside the installed program, wherever
  # the tree was put, and never in the build tree.
  ldd "$other/opt/cvkit/sbin/cvsysinfo" >"$WORK/ldd"
  for lib in libcvctl.so libcvtt.so; do
    loaded=$(awk -v lib="$lib" '$1 == lib { print $3 }' "$WORK/ldd")
    loaded=$(realpath -e -- "$loaded" 2>/dev/null) || fail "$lib is not found: $(cat "$WORK/ldd")"
    [[ $loaded == "$other/opt/cvkit/"* ]] || fail "$lib is loaded from $loaded"
  done
fi

echo "PASS [install_tree]"
