# shellcheck shell=bash
# The host node of the simulated platform, for cvsysinfo's node cases;
# sourced after tests/common.sh and tests/sim_host.sh, inside the case's
# mount namespace.
#
#   cv_sim_node_host BASE   makes this namespace the fixture host BASE
#                           together with its node data, BASE/node (tools/
#                           and files/ in the description format of
#                           platform/sim/README.md, taking the place of
#                           BASE's own entries of the same names; its
#                           files/sys replaces BASE's as a whole).
#   cv_node_mount SOURCE    a real mount in this namespace whose source
#                           reads SOURCE ("quorix://alpha", "/dev/md0"), so
#                           that /proc/mounts lists it. Options such as
#                           "memdedup=" no file system keeps; the unit tests
#                           give those sections their own table.
#   cv_node_remove_tools    the node's tools are missing from this
#                           namespace, also those the host has of its own.
#   cv_node_golden XML NAME checks the NODE element of the report XML
#                           against tests/fixtures/golden/node-NAME.xml
#                           (with CV_UPDATE_GOLDEN=1, writes it instead, to
#                           be reviewed by hand).

[ -n "${CVSIM_LIBEXEC:-}" ] || {
  echo "tests/sim_node.sh is sourced after tests/sim_host.sh" >&2
  exit 1
}

# The programs of the NODE element, by name (found through PATH) and by
# the absolute paths cvsysinfo runs or tests them at.
_cv_node_tool_names=(free df yum cvmemcheck cvcpucheck cvdiskcheck numactl lvs vgs mdadm dmraid
  quorix sentrel memdedup chipcaps)
_cv_node_tool_paths=(/sbin/lvs /sbin/vgs /sbin/mdadm /sbin/dmraid /usr/bin/numactl /usr/bin/quorix
  /usr/sbin/sentrel /usr/bin/memdedup /usr/sbin/chipcaps)
_cv_node_mounts=0

cv_sim_node_host() {
  local base=${1:?cv_sim_node_host needs a fixture host}
  [ -d "$base/node" ] || cv_fail "no node data at $base/node"
  local host=$WORK/hosts/${base##*/}
  # The composed description lives in the case's scratch space.
  if [ -e "$host" ]; then rm -rf --one-file-system -- "$host"; fi
  mkdir -p -- "$host"
  cp -R -- "$base/." "$host/"
  rm -rf --one-file-system -- "$host/node"
  if [ -d "$base/node/files/sys" ]; then rm -rf --one-file-system -- "$host/files/sys"; fi
  cp -R -- "$base/node/." "$host/"
  cv_sim_host "$host"
  _cv_node_sbin_links
}

# cvsysinfo runs the LVM, md and dmraid tools from /sbin; where /sbin is a
# directory of its own rather than a link to /usr/sbin, they are linked in.
_cv_node_sbin_links() {
  local name
  for name in lvs vgs mdadm dmraid; do
    [ -e "$CVSIM_HOST/tools/$name" ] || continue
    [ ! -e "/sbin/$name" ] || continue
    _cvsim_writable /sbin
    ln -s -- "$CVSIM_LIBEXEC/cvsim-tool" "/sbin/$name"
  done
}

cv_node_mount() {
  local source=${1:?cv_node_mount needs a source}
  _cv_node_mounts=$((_cv_node_mounts + 1))
  local dir=$WORK/mnt/$_cv_node_mounts
  mkdir -p -- "$dir"
  mount -t tmpfs -o size=1m,mode=0755 -- "$source" "$dir"
}

cv_node_remove_tools() {
  local name dir path real
  local -a dirs
  IFS=: read -r -a dirs <<<"$PATH"
  dirs+=(/usr/local/sbin /usr/local/bin /usr/sbin /usr/bin /sbin /bin)
  for name in "${_cv_node_tool_names[@]}"; do
    for dir in "${dirs[@]}"; do
      path=$dir/$name
      [ -e "$path" ] || [ -L "$path" ] || continue
      real=$(cd -P -- "$dir" && pwd)
      _cvsim_writable "$real"
      rm -f -- "$real/$name"
    done
  done
  for path in "${_cv_node_tool_paths[@]}"; do
    if [ -e "$path" ] || [ -L "$path" ]; then cv_fail "$path is still there"; fi
  done
}

# The report's NODE element as the golden files hold it (tests/e2e/node/
# node_element.py): what varies from machine to machine is set aside.
cv_node_element() {
  python3 "$SRC/tests/e2e/node/node_element.py" "$1"
}

cv_node_golden() {
  local xml=$1 golden=$SRC/tests/fixtures/golden/node-$2.xml
  local got=$WORK/node-$2.xml
  cv_node_element "$xml" >"$got" || cv_fail "no NODE element in $xml"
  if [ -n "${CV_UPDATE_GOLDEN:-}" ]; then
    cp -- "$got" "$golden"
    echo "wrote $golden: review it by hand"
    return 0
  fi
  [ -f "$golden" ] || cv_fail "no golden file $golden"
  diff -u -- "$golden" "$got" >"$WORK/golden.diff" || {
    cat "$WORK/golden.diff" >&2
    cv_fail "the NODE element differs from $golden"
  }
}
