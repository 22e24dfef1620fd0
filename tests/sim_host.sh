# shellcheck shell=bash
# The simulated platform host, for cases, the demo and benchmarks that run
# cvsysinfo; sourced after tests/common.sh, inside its mount namespace.
#
#   cv_sim_host DIR     makes this namespace the host that the description
#                       DIR tells of (format: platform/sim/README.md): the
#                       simulated cvlist, cvps and cvctl in /usr/sbin, the
#                       description's host tools at their paths, a /proc
#                       with /proc/bc (and the description's own /proc
#                       files), its /sys directories, an /etc/cv of
#                       cv.conf and conf/ID.conf (none of the host's files
#                       there), the container roots, the services lister at
#                       /usr/libexec/cvreport/list_services and the files of
#                       DIR/files. It may be called again, with the same or
#                       another description, to apply it afresh; host tools
#                       of an earlier description stay and answer from the
#                       current one (so, usually, "command not found").
#   run_cvsysinfo ARG...
#                       runs cvsysinfo (time-limited), its streams in $OUT
#                       and $ERR, its status in $STATUS, like run_cvreport.
#
# Exported: CVSIM_HOST (the description, read by the simulated libraries and
# tools at every call) and CVSIM_LOG (each simulated tool appends a line per
# call: the tool and its arguments, shell-quoted). cvsysinfo finds the
# simulated libraries through its own RUNPATH ($ORIGIN/../lib), so nothing
# else is needed to run it.
#
# What the tools and libraries answer, and which programs a container has,
# is read from the description at every call; what lies in files (proc,
# sys, /etc/cv, roots, other files, the host's programs) is written by
# cv_sim_host, so a case that changes its description after that calls
# cv_sim_host again. A case is skipped when the simulated programs are not
# built (a build against the real platform libraries).

[ -n "${CV_SANDBOX:-}" ] && [ -n "${SRC:-}" ] || {
  echo "tests/sim_host.sh is sourced after tests/common.sh" >&2
  exit 1
}

CVSIM_LIBEXEC=/usr/libexec/cvsim   # the simulated tools and their helpers
CVSIM_REALPROC=$CV_SANDBOX/realproc # the real /proc, behind the simulated one
CVSIM_LOG=$WORK/cvsim-calls.log
export CVSIM_LOG

# Utilities that a container's scripts find on PATH under runscript; the
# host's service managers are not among them, since a container has its own.
_cvsim_basic_tools=(sh bash cat head tail sort uniq sed awk grep cut tr wc ls printf echo env
  timeout true false test "[" basename dirname readlink stat sleep id uname date)

# Where a host tool of the description is installed when the host has no
# program of that name: the platform's and the check tools in /usr/sbin,
# these in /usr/bin.
_cvsim_usr_bin_tools=" yum numactl quorix memdedup free df "

# Directories whose writes already land in the sandbox.
_cvsim_sandboxed=(/etc /usr/libexec /var/lib /tmp /var/log)
_cvsim_proc_done=
_cvsim_etc_cv_done=
_cvsim_sys_replaced=()

_cvsim_in_sandbox() {
  local dir=$1 top
  for top in "${_cvsim_sandboxed[@]}"; do
    [[ $dir == "$top" || $dir == "$top"/* ]] && return 0
  done
  return 1
}

# Makes DIR exist and take writes into the sandbox: a directory outside the
# sandboxed trees becomes an overlay of itself; a missing one is made inside
# its (so treated) parent.
_cvsim_writable() {
  local dir=$1 real
  if [ -d "$dir" ]; then
    real=$(cd -P -- "$dir" && pwd)
    _cvsim_in_sandbox "$real" && return 0
    [ "$real" != / ] || cv_fail "cannot place simulated files in /"
    case "$CV_SANDBOX/" in "$real"/*) cv_fail "cannot overlay $real: it holds the sandbox" ;; esac
    # An overlay would hide the mounts below it.
    if awk -v d="$real/" 'index($5, d) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
      cv_fail "cannot overlay $real: there are mounts below it"
    fi
    cv_overlay "$real"
    _cvsim_sandboxed+=("$real")
  else
    [ ! -e "$dir" ] && [ ! -L "$dir" ] || cv_fail "$dir is in the way of a simulated directory"
    local parent=$dir
    while [[ $parent == */ ]]; do parent=${parent%/}; done
    parent=${parent%/*}
    _cvsim_writable "${parent:-/}"
    mkdir -- "$dir"
  fi
}

# The simulated programs are one, cvsim-tool, which knows which one it is
# by the path it is started by (platform/sim/tools/cvsim_tool.cc).
_cvsim_install_tools() {
  local t path
  [ -x "$CV_SANDBOX/build/bin/cvsim-tool" ] || cv_skip "the simulated platform is not built"
  _cvsim_writable "$CVSIM_LIBEXEC"
  install -m 0755 "$CV_SANDBOX/build/bin/cvsim-tool" "$CVSIM_LIBEXEC/cvsim-tool"
  install -m 0755 "$SRC/platform/sim/tools/cvlist-table" "$CVSIM_LIBEXEC/cvlist-table"
  # Where cvctl runscript mounts the container's programs, in its own
  # mount namespace.
  mkdir -p "$CVSIM_LIBEXEC/ct"
  _cvsim_writable /usr/sbin
  mkdir -p "$CVSIM_LIBEXEC/basebin"
  for t in "${_cvsim_basic_tools[@]}"; do
    path=$(type -P -- "$t") || continue
    ln -sfn -- "$path" "$CVSIM_LIBEXEC/basebin/$t"
  done
  install -m 0755 "$SRC/scripts/list_services" /usr/libexec/cvreport/list_services
}

# /proc: procfs takes neither overlays nor new files, so a tmpfs takes its
# place, holding a link to every entry of the real /proc (mounted aside in
# the sandbox; /proc/self and /proc/mounts keep working through the links)
# and the simulated files. Entries of processes started later are missing.
_cvsim_fake_proc() {
  [ -z "$_cvsim_proc_done" ] || return 0
  mkdir -p "$CVSIM_REALPROC"
  mount --rbind /proc "$CVSIM_REALPROC"
  mount -t tmpfs -o mode=0555 cvsim-proc /proc
  _cvsim_proc_done=1
  _cvsim_sandboxed+=(/proc)
}

# Puts every entry of the real /proc back as a link, dropping what a
# description placed there.
_cvsim_reset_proc() {
  local entry name
  for entry in /proc/*; do
    [ -L "$entry" ] || rm -rf --one-file-system -- "$entry"
  done
  for entry in "$CVSIM_REALPROC"/*; do
    name=${entry##*/}
    [ -L "/proc/$name" ] || ln -s -- "$entry" "/proc/$name"
  done
}

# Places the description's file at /proc/REL: a top-level entry it names
# is replaced as a whole.
_cvsim_proc_file() {
  local src=$1 rel=$2 top=${2%%/*}
  [ ! -L "/proc/$top" ] || rm -f -- "/proc/$top"
  mkdir -p -- "$(dirname -- "/proc/$rel")"
  cp -- "$src" "/proc/$rel"
}

# /sys takes no new files either. Walking the description's files/sys from
# the top, a directory that has a file, or an entry the real one lacks, is
# replaced by a tmpfs holding the description's entries only (a file named
# .keep is not copied; it lets a directory be replaced by an empty one).
_cvsim_sys_dir() {
  local rel=$1 src="$CVSIM_HOST/files/sys/$1" entry name replace=0
  local target="/sys${rel:+/$rel}"
  for entry in "$src"/* "$src"/.[!.]*; do
    [ -e "$entry" ] || continue
    name=${entry##*/}
    if [ ! -d "$entry" ] || [ ! -e "$target/$name" ]; then
      replace=1
      break
    fi
  done
  if [ "$replace" = 0 ]; then
    for entry in "$src"/*; do
      if [ -d "$entry" ]; then _cvsim_sys_dir "${rel:+$rel/}${entry##*/}"; fi
    done
    return 0
  fi
  [ -n "$rel" ] || cv_fail "a description cannot replace /sys as a whole"
  [ -d "$target" ] || cv_fail "$target is not a directory"
  mount -t tmpfs -o mode=0755 cvsim-sys "$target"
  _cvsim_sys_replaced+=("$target")
  cp -R -- "$src/." "$target/"
  find "$target" -name .keep -type f -delete
}

# /etc/cv holds what the description says and nothing of the host's own.
_cvsim_etc_cv() {
  local id confs=()
  if [ -z "$_cvsim_etc_cv_done" ]; then
    _cvsim_writable /etc/cv
    mount -t tmpfs -o mode=0755 cvsim-etc-cv /etc/cv
    _cvsim_etc_cv_done=1
  fi
  rm -rf --one-file-system -- /etc/cv/* /etc/cv/.[!.]*
  mkdir /etc/cv/conf
  [ ! -f "$CVSIM_HOST/cv.conf" ] || cp -- "$CVSIM_HOST/cv.conf" /etc/cv/cv.conf
  for id in "${_cvsim_ids[@]}"; do
    [ ! -f "$CVSIM_HOST/containers/$id/conf" ] || confs+=("$id/conf")
  done
  # All at once, ID/conf becoming ID.conf on the way: a host may have
  # thousands of containers.
  if [ ${#confs[@]} != 0 ]; then
    tar -C "$CVSIM_HOST/containers" -cf - -- "${confs[@]}" |
      tar -C /etc/cv/conf --transform 's,^\([0-9]*\)/conf$,\1.conf,' -xf -
  fi
}

_cvsim_proc_bc() {
  local id f files=()
  for id in "${_cvsim_ids[@]}"; do
    for f in iostat resources; do
      [ ! -f "$CVSIM_HOST/containers/$id/$f" ] || files+=("$id/$f")
    done
  done
  [ ${#files[@]} != 0 ] || return 0
  mkdir /proc/bc
  (cd "$CVSIM_HOST/containers" && cp --parents -- "${files[@]}" /proc/bc/)
}

# Every container's root (what `cvlist -H -o root ID` prints, trimmed as
# cvsysinfo trims it) exists, so that the real df answers for it. A root
# that is not an absolute path is left alone.
_cvsim_roots() {
  local id root parent file
  local -A ready=()
  local plain=()
  # The default roots live on a file system of their own with a fixed size,
  # so that df reports the same figures on every machine.
  if ! mountpoint -q /var/lib/cvsim/root; then
    _cvsim_writable /var/lib/cvsim
    mkdir -p /var/lib/cvsim/root
    mount -t tmpfs -o size=64m,nr_inodes=200000,mode=0755 cvsim-roots /var/lib/cvsim/root
  fi
  for id in "${_cvsim_ids[@]}"; do
    file=$CVSIM_HOST/containers/$id/root
    root=/var/lib/cvsim/root/$id
    if [ -e "$file" ]; then
      root=
      IFS= read -r -d '' root <"$file" || true
    fi
    root=${root#"${root%%[![:space:]]*}"}
    root=${root%"${root##*[![:space:]]}"}
    [[ $root == /* ]] || continue
    [ ! -d "$root" ] || continue
    parent=${root%/*}
    # Roots beside each other are made in one go once their parent is
    # ready; odd paths take the careful way.
    if [[ $root =~ /\.\.?(/|$)|//|/$ ]] || [ -z "$parent" ]; then
      _cvsim_writable "$root"
      continue
    fi
    if [ -z "${ready[$parent]:-}" ]; then
      _cvsim_writable "$parent"
      ready[$parent]=1
    fi
    plain+=("$root")
  done
  if [ ${#plain[@]} != 0 ]; then mkdir -p -- "${plain[@]}"; fi
}

# The host's programs: the simulated platform tools, and every entry of the
# description's tools/ at the path where the host has that program, or else
# at its platform path. A program installed by an earlier description stays
# and answers from the current one.
_cvsim_host_tools() {
  local entry name path dir
  for name in cvlist cvps cvctl; do
    [ -e "$CVSIM_HOST/tools/$name" ] || ln -sfn -- "$CVSIM_LIBEXEC/cvsim-tool" "/usr/sbin/$name"
  done
  for entry in "$CVSIM_HOST"/tools/*; do
    [ -e "$entry" ] || continue
    name=${entry##*/}
    path=$(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin type -P -- "$name") || path=
    if [ -n "$path" ] && [ "$path" != "/usr/sbin/$name" ]; then
      dir=$(cd -P -- "$(dirname -- "$path")" && pwd)
    elif [[ $_cvsim_usr_bin_tools == *" $name "* ]]; then
      dir=/usr/bin
    else
      dir=/usr/sbin
    fi
    _cvsim_writable "$dir"
    rm -f -- "$dir/$name"
    ln -s -- "$CVSIM_LIBEXEC/cvsim-tool" "$dir/$name"
  done
}

# files/PATH of the description becomes /PATH.
_cvsim_files() {
  local base="$CVSIM_HOST/files" src rel
  [ -d "$base" ] || return 0
  if [ -d "$base/sys" ]; then _cvsim_sys_dir ""; fi
  while IFS= read -r -d '' src; do
    rel=${src#"$base"/}
    case $rel in
      sys/*) ;;
      proc/*) _cvsim_proc_file "$src" "${rel#proc/}" ;;
      *)
        _cvsim_writable "$(dirname -- "/$rel")"
        rm -f -- "/$rel"
        cp -- "$src" "/$rel"
        ;;
    esac
  done < <(find "$base" -type f -print0 | sort -z)
}

cv_sim_host() {
  local desc=${1:?cv_sim_host needs a host description}
  [ -d "$desc" ] || cv_fail "no host description at $desc"
  CVSIM_HOST=$(cd -P -- "$desc" && pwd)
  export CVSIM_HOST
  local i
  for ((i = ${#_cvsim_sys_replaced[@]} - 1; i >= 0; i--)); do
    umount -- "${_cvsim_sys_replaced[$i]}"
  done
  _cvsim_sys_replaced=()
  _cvsim_ids=()
  local dir
  for dir in "$CVSIM_HOST"/containers/*/; do
    dir=${dir%/}
    if [[ ${dir##*/} =~ ^[0-9]+$ ]]; then _cvsim_ids+=("${dir##*/}"); fi
  done
  _cvsim_install_tools
  _cvsim_fake_proc
  _cvsim_reset_proc
  _cvsim_etc_cv
  _cvsim_proc_bc
  _cvsim_roots
  _cvsim_host_tools
  _cvsim_files
  # The simulation's default location leads to the description too.
  _cvsim_writable /var/lib/cvsim
  ln -sfn -- "$CVSIM_HOST" /var/lib/cvsim/host
}

run_cvsysinfo() {
  [ -x "$BIN/cvsysinfo" ] || cv_skip "cvsysinfo is not built"
  cv_run timeout -k 5 120 "$BIN/cvsysinfo" "$@"
}

# The document FILE without the time of its run, for comparing runs that
# the clock may have moved on between.
cv_without_time() {
  sed '0,/<CVLIN/s/\(<CVLIN[^>]*\) time="[^"]*"/\1/' "$1"
}

# What runs on the same host share: the document FILE without the time and
# without the node's element, which reads the live machine, written to
# FILE.containers.
cv_containers_part() {
  cv_without_time "$1" | python3 -c '
import re, sys
data = sys.stdin.buffer.read()
sys.stdout.buffer.write(re.sub(rb"<NODE>.*</NODE>|<NODE/>", b"<NODE/>", data, count=1, flags=re.S))
' >"$1.containers"
}

# Compares the document OUTPUT, without the node's element, with the golden
# document tests/fixtures/golden/inventory/NAME.xml (both pretty-printed by
# xmllint, which also proves the output well-formed). The document's host,
# time and version must be this host's name, a time of the last ten minutes
# and the kit's version; the golden holds them as HOST, 2026-12-08T10:00:00Z
# and VERSION. CV_UPDATE_GOLDEN=1 writes the golden file instead, for review
# by hand.
expect_inventory_golden() {
  local output=$1 name=$2 golden=$SRC/tests/fixtures/golden/inventory/$2.xml version
  xmllint --noout "$output" || cv_fail "$output is not well-formed XML"
  version=$("$BIN/cvsysinfo" --version | sed -n '1s/^cvsysinfo \([^ ]*\) .*/\1/p')
  python3 - "$output" "$version" >"$WORK/$name.actual.xml" 2>"$WORK/$name.identity" <<'PY' ||
import calendar, re, socket, sys, time
text = open(sys.argv[1], "rb").read().decode("utf-8")
root = re.search(r"<CVLIN( [^>]*)?>", text)
attrs = dict(re.findall(r'(\w+)="([^"]*)"', root.group(1) or "")) if root else {}
stamp = attrs.get("time", "")
age = time.time() - calendar.timegm(time.strptime(stamp, "%Y-%m-%dT%H:%M:%SZ")) \
    if re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", stamp) else None
wrong = [what for what, ok in (("host", attrs.get("host") == socket.gethostname()),
                               ("time", age is not None and -5 <= age <= 600),
                               ("version", attrs.get("version") == sys.argv[2])) if not ok]
if wrong:
    sys.exit("the document element's %s: %s" % (", ".join(wrong), root.group(0) if root else "none"))
text = text.replace(root.group(0), '<CVLIN host="HOST" time="2026-12-08T10:00:00Z" version="VERSION">', 1)
text = re.sub(r"<NODE>.*</NODE>|<NODE/>", "<NODE/>", text, count=1, flags=re.S)
sys.stdout.write(text)
PY
    cv_fail "cannot set aside the identity and node of $output: $(cat "$WORK/$name.identity")"
  xmllint --format "$WORK/$name.actual.xml" >"$WORK/$name.formatted.xml"
  if [ -n "${CV_UPDATE_GOLDEN:-}" ]; then
    cp "$WORK/$name.formatted.xml" "$golden"
    return 0
  fi
  diff -u "$golden" "$WORK/$name.formatted.xml" >&2 || cv_fail "the document differs from $golden"
}
