#!/usr/bin/env bash
# The Debian package: CPack builds it from the build tree; it declares the
# libraries the programs link and the configuration as a conffile; dpkg
# installs it (in this case's namespace, over overlays of /usr, /var/lib
# and /var/cache, so the host's package database never changes) and both
# programs work from their installed paths: cvreport's usage, a console
# report to the test service through the shipped sample configuration and
# collector, and cvsysinfo on the simulated host. An administrator's changed
# configuration survives a reinstall; a purge takes it and the log along.
# shellcheck source-path=SCRIPTDIR source=../../common.sh
source "$(dirname "$0")/../../common.sh"

for tool in cpack dpkg dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || cv_skip "$tool is not installed"
done
[ -f "$CV_SANDBOX/build/CPackConfig.cmake" ] || cv_skip "the build tree has no CPack configuration"
[ -x "$BIN/cvreport" ] || cv_skip "cvreport is not built"

# CPack's configuration names the trees by their own paths, which this
# namespace may hide (under /tmp); they are put back where it expects them.
for pair in "$CV_SOURCE_DIR:$SRC" "$CV_BUILD_DIR:$CV_SANDBOX/build"; do
  dir=${pair%%:*}
  if [ ! -e "$dir/CMakeLists.txt" ] && [ ! -e "$dir/CMakeCache.txt" ]; then
    mkdir -p "$dir"
    mount --bind "${pair#*:}" "$dir"
  fi
done

# --- the package ------------------------------------------------------------
cpack --config "$CV_BUILD_DIR/CPackConfig.cmake" -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log" >&2; cv_fail "cpack failed"; }
deb=$(find "$WORK/pkg" -maxdepth 1 -name 'cvreport_*.deb' | head -n 1)
[ -n "$deb" ] || cv_fail "cpack made no cvreport_*.deb: $(ls "$WORK/pkg")"

field() { dpkg-deb -f "$deb" "$1"; }
expect_eq "$(field Package)" cvreport "package name"
expect_eq "$(field Version)" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$CV_SANDBOX/build/CMakeCache.txt")" "version"
depends=$(field Depends)
# Every library the programs need, as dpkg-shlibdeps found them.
for lib in libcurl4 libnewt0.52 libc6 libstdc++6; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || cv_fail "Depends lacks $lib: $depends"
done
if [ -x "$BIN/cvsysinfo" ]; then
  [[ $depends == *libxml2* ]] || cv_fail "Depends lacks libxml2: $depends"
  [[ $depends == *libboost-regex* ]] || cv_fail "Depends lacks Boost.Regex: $depends"
fi
# The package's own libraries (the simulated platform's) are not a dependency.
[[ $depends != *cvctl* ]] || cv_fail "Depends names the package's own libraries: $depends"

dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles >"$WORK/conffiles"
expect_eq "$(cat "$WORK/conffiles")" /etc/cvreport.conf "conffiles"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's,^\./,/,' >"$WORK/contents"
for path in /usr/sbin/cvreport /usr/libexec/cvreport/cvreport_collector /etc/cvreport.conf \
  /usr/share/man/man8/cvreport.8 /usr/share/man/man5/cvreport.conf.5 \
  /usr/share/bash-completion/completions/cvreport /usr/share/cvreport/cvreport.pot; do
  grep -qxF "$path" "$WORK/contents" || cv_fail "the package lacks $path"
done
if [ -x "$BIN/cvsysinfo" ]; then
  for path in /usr/sbin/cvsysinfo /usr/libexec/cvreport/list_services /usr/share/man/man8/cvsysinfo.8 \
    /usr/share/doc/cvreport/cvsysinfo.rng; do
    grep -qxF "$path" "$WORK/contents" || cv_fail "the package lacks $path"
  done
fi
! grep -q '^/usr/local/' "$WORK/contents" || cv_fail "the package installs below /usr/local"

# --- installing it ------------------------------------------------------------
# dpkg writes the package database in /var/lib, /usr, /etc (already an
# overlay) and, for triggers, /var/cache; all of it lands in the sandbox.
cv_overlay /usr
cv_overlay /var/lib
[ ! -d /var/cache ] || cv_overlay /var/cache
rm -rf /usr/libexec/cvreport # common.sh's empty directory; the package brings its own

dpkg -i --no-triggers "$deb" >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log" >&2; cv_fail "dpkg -i failed"; }
expect_eq "$(dpkg-query -W -f='${Status}' cvreport)" "install ok installed" "package state"
dpkg-query -W -f='${Conffiles}\n' cvreport | grep -q '^ /etc/cvreport.conf ' ||
  cv_fail "dpkg does not hold /etc/cvreport.conf as a conffile"
[ -x /usr/sbin/cvreport ] && [ -x /usr/libexec/cvreport/cvreport_collector ] ||
  cv_fail "the programs are not in place"
man -w cvreport.conf >"$WORK/man-path" 2>&1 || cv_fail "man does not find cvreport.conf(5): $(cat "$WORK/man-path")"
expect_eq "$(cat "$WORK/man-path")" /usr/share/man/man5/cvreport.conf.5 "manual path"
bash -c 'source /usr/share/bash-completion/completions/cvreport && complete -p cvreport' >"$WORK/complete" ||
  cv_fail "the installed completion does not load"
expect_contains "$WORK/complete" "-F _cvreport cvreport"

# --- running the installed programs ---------------------------------------------
cv_run /usr/sbin/cvreport -h
expect_status 1
expect_contains "$OUT" "Usage: cvreport [-h] [-q] [-p]"

if [ -x "$BIN/cvsysinfo" ] && [ -x "$BIN/cvsim-tool" ]; then
  # shellcheck source=../../sim_host.sh
  source "$SRC/tests/sim_host.sh"
  cv_sim_host "$SRC/tests/fixtures/hosts/mixed"
  ldd /usr/sbin/cvsysinfo >"$WORK/ldd"
  if grep -q '^CV_PLATFORM_SIMULATED:INTERNAL=TRUE$' "$CV_SANDBOX/build/CMakeCache.txt"; then
    for lib in libcvctl.so libcvtt.so; do
      loaded=$(awk -v lib="$lib" '$1 == lib { print $3 }' "$WORK/ldd")
      loaded=$(realpath -e -- "$loaded" 2>/dev/null) || loaded=
      [ -n "$loaded" ] && grep -qxF "$loaded" "$WORK/contents" ||
        cv_fail "the installed cvsysinfo does not load the packaged $lib: $(cat "$WORK/ldd")"
    done
  fi
  ! grep -qF "$CV_BUILD_DIR" "$WORK/ldd" || cv_fail "the installed cvsysinfo loads from the build tree"
  cv_run /usr/sbin/cvsysinfo "$WORK/inventory.xml"
  expect_status 0
  expect_eq "$(xmllint --xpath 'count(/CVLIN/CONTAINERS/CT[STATE="running"])' "$WORK/inventory.xml")" 3 \
    "running containers of the simulated host"
  xmllint --noout --relaxng /usr/share/doc/cvreport/cvsysinfo.rng "$WORK/inventory.xml" 2>"$ERR" ||
    cv_fail "the inventory does not hold to the installed schema"
fi

# The shipped sample, with the test service's address and account put in.
cv_service_start --repid 424242
sed -i -e "s|^SUBMIT_URI=.*|SUBMIT_URI=$CV_SERVICE_URL|" \
  -e "s|^#SUBMIT_USER=.*|SUBMIT_USER=$CV_SERVICE_USER|" \
  -e "s|^#SUBMIT_PASSWORD=.*|SUBMIT_PASSWORD=$CV_SERVICE_PASSWORD|" /etc/cvreport.conf
cv_run /usr/sbin/cvreport -q "${CV_CONTACT[@]}"
expect_status 0
expect_contains "$OUT" "ProblemID: 424242"
expect_eq "$(cv_requests count auth=ok)" 1 "accepted uploads"
stored=$(cv_requests part report stored)
[ "$stored" != - ] && [ -f "$CV_RECORDS/$stored" ] || cv_fail "the service stored no archive"
tar -tzf "$CV_RECORDS/$stored" >"$WORK/archive-list" || cv_fail "the uploaded archive does not unpack"
expect_contains "$WORK/archive-list" "collector/manifest.txt"
if [ -x "$BIN/cvsysinfo" ] && [ -x "$BIN/cvsim-tool" ]; then
  # The packaged collector found the packaged cvsysinfo.
  expect_contains "$WORK/archive-list" "inventory/cvsysinfo.xml"
fi
expect_contains /var/log/cvreport.log "Session finished"

# --- an administrator's file survives; a purge clears up ------------------------
echo "# kept by the administrator" >>/etc/cvreport.conf
cp /etc/cvreport.conf "$WORK/admin.conf"
dpkg -i --no-triggers "$deb" >"$WORK/dpkg.log" 2>&1 </dev/null ||
  { cat "$WORK/dpkg.log" >&2; cv_fail "reinstalling failed"; }
cmp -s /etc/cvreport.conf "$WORK/admin.conf" || cv_fail "reinstalling replaced the administrator's configuration"

dpkg --purge --no-triggers cvreport >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log" >&2; cv_fail "purge failed"; }
for path in /usr/sbin/cvreport /etc/cvreport.conf /var/log/cvreport.log /usr/libexec/cvreport/cvreport_collector; do
  [ ! -e "$path" ] || cv_fail "$path is still there after the purge"
done

cv_pass
