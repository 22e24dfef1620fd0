#!/usr/bin/env bash
# The RPM spec builds: rpmbuild (Debian's rpm package) makes the binary
# package from a tarball of this source tree, against the simulated platform
# (a platform host builds against its own libraries). The package holds the
# layout of `cmake --install`, marks the configuration %config(noreplace)
# and carries the version of the project. Builds only below a scratch
# _topdir, with no package database of the host touched; needs no root.
source "$(dirname "$0")/../../ship_common.sh"
command -v rpmbuild >/dev/null || { echo "SKIP: rpmbuild is not installed"; exit 77; }
SPEC=$SRC/packaging/rpm/cvreport.spec
version=$(sed -n 's/^Version: *//p' "$SPEC")
project_version=$(sed -n 's/^project(cvreport-kit VERSION \([0-9.]*\).*/\1/p' "$SRC/CMakeLists.txt")
[ "$version" = "$project_version" ] || fail "the spec's version $version is not the project's $project_version"

# The source tarball: the tree's files as they are (tracked and new ones),
# without build trees.
top=cvreport-$version
mkdir -p "$WORK/rpm/SOURCES" "$WORK/src/$top" "$WORK/tmp" "$WORK/db"
if git -C "$SRC" rev-parse --git-dir >/dev/null 2>&1; then
  git -C "$SRC" ls-files -z --cached --others --exclude-standard |
    (cd "$SRC" && xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' _) |
    tar -C "$SRC" --null -T - -cf - | tar -C "$WORK/src/$top" -xf -
else
  tar -C "$SRC" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$WORK/src/$top" -xf -
fi
tar -C "$WORK/src" -czf "$WORK/rpm/SOURCES/$top.tar.gz" "$top"

rpm_() { rpm --dbpath "$WORK/db" "$@"; }
rpmbuild -bb "$SPEC" --nodeps \
  --dbpath "$WORK/db" \
  --define "_topdir $WORK/rpm" \
  --define "_tmppath $WORK/tmp" \
  --define "debug_package %{nil}" \
  --define "cv_platform_sim ON" \
  --define "_smp_mflags -j$(nproc)" >"$WORK/rpmbuild.log" 2>&1 ||
  { status=$?; tail -n 60 "$WORK/rpmbuild.log" >&2; fail "rpmbuild failed ($status)"; }
pkg=$(find "$WORK/rpm/RPMS" -name "cvreport-$version-*.rpm" | head -n 1)
[ -n "$pkg" ] || fail "rpmbuild made no cvreport-$version package"

expect_eq() { [ "$1" = "$2" ] || fail "$3: got [$1], expected [$2]"; }
expect_eq "$(rpm_ -qp --qf '%{NAME} %{VERSION}' "$pkg")" "cvreport $version" "name and version"
rpm_ -qpl "$pkg" >"$WORK/files"
for path in /usr/sbin/cvreport /usr/sbin/cvsysinfo /usr/libexec/cvreport/cvreport_collector \
  /usr/libexec/cvreport/list_services /etc/cvreport.conf /usr/share/bash-completion/completions/cvreport \
  /usr/share/bash-completion/completions/cvsysinfo \
  /usr/share/cvreport/cvreport.pot /usr/share/doc/cvreport/cvsysinfo.rng; do
  grep -qxF "$path" "$WORK/files" || fail "the package lacks $path"
done
for page in man5/cvreport.conf.5 man8/cvreport.8 man8/cvsysinfo.8; do
  grep -qE "^/usr/share/man/$page(\.gz)?$" "$WORK/files" || fail "the package lacks the manual $page"
done
grep -qE '^/usr/lib64/cvreport/libcvctl\.so$' "$WORK/files" || fail "the simulated libraries are not in the package"
# The configuration is %config(noreplace): an administrator's file stays.
rpm_ -qp --qf '[%{FILEFLAGS:fflags} %{FILENAMES}\n]' "$pkg" >"$WORK/flags"
grep -qE '^[a-z]*c[a-z]*n[a-z]* /etc/cvreport\.conf$' "$WORK/flags" ||
  fail "/etc/cvreport.conf is not %config(noreplace): $(grep cvreport.conf "$WORK/flags")"
# What the programs are linked with is required, found by rpm from the ELF files.
rpm_ -qp --requires "$pkg" >"$WORK/requires"
for lib in libcurl.so.4 libnewt.so.0.52 libxml2.so.2; do
  grep -q "^$lib" "$WORK/requires" || fail "the package does not require $lib: $(tr '\n' ' ' <"$WORK/requires")"
done
! grep -q '^libcvctl' "$WORK/requires" || fail "the package requires its own libraries"

echo "PASS [rpm]"
