# Shared harness of the end-to-end cases; each case script sources it first.
#
# A case runs in a private mount namespace in which the fixed paths the
# programs use are replaced by the case's own fixtures: /tmp and /var/log are
# bind mounts of empty sandbox directories, /etc and /usr/libexec are overlays
# whose writes land in the sandbox. The programs run with their real paths and
# nothing on the host changes. Exit status 77 tells CTest the case was skipped.

set -euo pipefail

CV_SOURCE_DIR=${CV_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
CV_BUILD_DIR=${CV_BUILD_DIR:-$CV_SOURCE_DIR/build}
CV_CASE=$(basename "$0" .sh)

cv_skip() {
  echo "SKIP [$CV_CASE]: $*"
  exit 77
}

if [ -z "${CV_SANDBOX:-}" ]; then
  [ "$(id -u)" = 0 ] || cv_skip "needs root to make a private mount namespace"
  unshare --mount --propagation private true 2>/dev/null ||
    cv_skip "mount namespaces are not available here"
  # The sandbox lives outside /tmp, which the case replaces. It is removed
  # from out here, once the namespace and its mounts are gone, so removing it
  # can never reach through a mount into the trees it borrowed.
  CV_SANDBOX=$(mktemp -d /var/tmp/cvtest.XXXXXX)
  export CV_SANDBOX CV_SOURCE_DIR CV_BUILD_DIR
  set +e
  unshare --mount --propagation private -- bash "$0" "$@"
  status=$?
  set -e
  if [ "$status" != 0 ] && [ "$status" != 77 ] && [ -n "${CV_KEEP_FAILED:-}" ]; then
    echo "sandbox kept at $CV_SANDBOX" >&2
  else
    rm -rf --one-file-system "$CV_SANDBOX"
  fi
  exit "$status"
fi

# The working directory may lie under a path this namespace is about to
# hide (a checkout under /tmp); programs that look at it must not stumble.
cd /

_cv_cleanup_steps=()
cv_on_exit() { _cv_cleanup_steps+=("$*"); }

# Ends a background process of the case: SIGTERM, up to 10 s to end, then
# SIGKILL, so that a clean-up never waits without a bound.
cv_stop_process() {
  local pid=$1 i state
  kill "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 100; i++)); do
    read -r _ _ state _ 2>/dev/null <"/proc/$pid/stat" || break
    [ "$state" != Z ] || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
_cv_cleanup() {
  local status=$? i
  for ((i = ${#_cv_cleanup_steps[@]} - 1; i >= 0; i--)); do
    eval "${_cv_cleanup_steps[$i]}" >/dev/null 2>&1 || true
  done
  exit "$status"
}
trap _cv_cleanup EXIT

mkdir -p "$CV_SANDBOX"/{src,build,tmp,log,work,upper,overlay-work}
chmod 1777 "$CV_SANDBOX/tmp"
# The trees are reached through the sandbox, since they may lie under /tmp.
mount --bind "$CV_SOURCE_DIR" "$CV_SANDBOX/src"
mount --bind "$CV_BUILD_DIR" "$CV_SANDBOX/build"
SRC=$CV_SANDBOX/src
BIN=$CV_SANDBOX/build/bin
WORK=$CV_SANDBOX/work # the case's scratch space, outside every replaced path
cd "$WORK"

# Replaces a directory by an overlay over itself: the host's files stay
# visible, and what the case writes or deletes there stays in the sandbox.
cv_overlay() {
  local dir=$1 key
  key=$(echo "$dir" | tr / _)
  mkdir -p "$CV_SANDBOX/upper/$key" "$CV_SANDBOX/overlay-work/$key"
  mount -t overlay overlay \
    -o "lowerdir=$dir,upperdir=$CV_SANDBOX/upper/$key,workdir=$CV_SANDBOX/overlay-work/$key" "$dir"
}

# Places a fixture file or directory over an existing path.
cv_bind() { mount --bind "$1" "$2"; }

cv_overlay /etc
cv_overlay /usr/libexec
# Kept reports land under /var/lib: the host's own stay out of reach.
cv_overlay /var/lib
mount --bind "$CV_SANDBOX/tmp" /tmp
mount --bind "$CV_SANDBOX/log" /var/log
rm -f /etc/cvreport.conf /etc/orbelin-release /etc/sysconfig/cv
mkdir -p /usr/libexec/cvreport /etc/sysconfig

# --- fixtures -------------------------------------------------------------

# Writes /etc/cvreport.conf from KEY=value arguments.
cv_config() { printf '%s\n' "$@" >/etc/cvreport.conf; }

cv_release() { printf '%s\n' "$1" >/etc/orbelin-release; }

# Installs a collector at the fixed path: the shipped one, or a test script.
cv_collector() {
  local from=${1:-$SRC/scripts/cvreport_collector}
  install -m 0755 "$from" /usr/libexec/cvreport/cvreport_collector
}

# --- build settings -------------------------------------------------------

# Prints the build's setting NAME, a number of seconds, when it is short
# enough (1 to 10) for a case to wait it out; skips the case otherwise,
# pointing at the sanitized build (tools/sanitize.sh), which sets it short.
cv_short_timeout() {
  local name=$1 value
  value=$(sed -n "s/^$name:[A-Z]*=//p" "$CV_SANDBOX/build/CMakeCache.txt" 2>/dev/null)
  # Run in a command substitution: the skip's exit ends the case through
  # set -e, and its line goes to stderr to be seen.
  [ -n "$value" ] || cv_skip "the build's $name is unknown" >&2
  if [ "$value" = 0 ] || [ "$value" -gt 10 ]; then
    cv_skip "this build's $name is ${value}s (0: for ever); the sanitized build (tools/sanitize.sh) sets it short and runs this case" >&2
  fi
  echo "$value"
}

# --- running the programs -------------------------------------------------

# Runs COMMAND... and keeps its exit status in $STATUS, whatever it is: a
# failure does not end the case. Redirections on the call apply to it.
OUT=$WORK/stdout
ERR=$WORK/stderr
STATUS=
cv_status() {
  set +e
  "$@"
  STATUS=$?
  set -e
}

# Runs COMMAND... with no input; its streams land in $OUT and $ERR, its
# status in $STATUS.
cv_run() { cv_status "$@" >"$OUT" 2>"$ERR" </dev/null; }

run_cvreport() { cv_run "$BIN/cvreport" "$@"; }

# Waits until COMMAND... succeeds, trying it every tenth of a second; when
# it has not after SECONDS, fails the case naming WHAT did not happen.
cv_wait_for() {
  local limit=$1 what=$2
  shift 2
  local deadline=$((${EPOCHREALTIME//[!0-9]/} + limit * 1000000))
  until "$@" >/dev/null; do
    ((${EPOCHREALTIME//[!0-9]/} < deadline)) || cv_fail "timed out after $limit s waiting for: $what"
    sleep 0.1
  done
}

CV_CONTACT=(-n "Ada Admin" -c "Example Hosting" -e "ada@example.net" -s "Containers stop"
  -m "All containers stopped at 3am.")

# --- the support service and the proxy -----------------------------------

CV_SERVICE_USER=reporter
CV_SERVICE_PASSWORD=s3cret-pass
CV_RECORDS=$WORK/service

# Starts the test support service on loopback; sets CV_SERVICE_URL.
cv_service_start() {
  mkdir -p "$CV_RECORDS"
  rm -f "$CV_RECORDS/port"
  # Its streams are its log's: a service that outlived the case must not
  # keep the case's output open for CTest to wait on.
  python3 "$SRC/tests/support/service.py" --record-dir "$CV_RECORDS" \
    --port-file "$CV_RECORDS/port" --user "$CV_SERVICE_USER" \
    --password "$CV_SERVICE_PASSWORD" "$@" </dev/null >>"$CV_RECORDS/service.log" 2>&1 &
  local pid=$!
  cv_on_exit "cv_stop_process $pid"
  cv_wait_for 15 "the support service to write its port" test -s "$CV_RECORDS/port"
  local scheme=http
  case " $* " in *" --https "*) scheme=https ;; esac
  CV_SERVICE_URL="$scheme://127.0.0.1:$(cat "$CV_RECORDS/port")/submit"
}

cv_service_mode() { echo "$1" >"$CV_RECORDS/mode"; }

# A config that reaches the test service with its credentials.
cv_service_config() {
  cv_config "SUBMIT_URI=$CV_SERVICE_URL" "SUBMIT_USER=$CV_SERVICE_USER" \
    "SUBMIT_PASSWORD=$CV_SERVICE_PASSWORD" "$@"
}

# Queries the service's record of requests; see tests/support/records.py.
cv_requests() { python3 "$SRC/tests/support/records.py" "$CV_RECORDS/requests.jsonl" "$@"; }

# Starts tinyproxy on loopback, optionally with basic auth; sets CV_PROXY_PORT.
cv_proxy_start() {
  local dir=$WORK/proxy
  mkdir -p "$dir"
  CV_PROXY_PORT=$(bash "$SRC/tests/support/proxy.sh" start "$dir" "$@") ||
    cv_fail "the proxy did not start"
  CV_PROXY_LOG=$dir/proxy.log
  cv_on_exit "bash '$SRC/tests/support/proxy.sh' stop '$dir'"
}

# Starts a loopback listener that never takes a connection off its queue (a
# TLS service that never answers, an http address that passes the check
# before collecting); sets CV_SILENT_PORT.
cv_silent_start() {
  python3 -c 'import socket, time
s = socket.create_server(("127.0.0.1", 0))
print(s.getsockname()[1], flush=True)
time.sleep(3600)' </dev/null >"$WORK/silent-port" 2>&1 &
  cv_on_exit "cv_stop_process $!"
  cv_wait_for 15 "the silent listener to write its port" test -s "$WORK/silent-port"
  CV_SILENT_PORT=$(cat "$WORK/silent-port")
}
cv_silent_connected() { [ -n "$(ss -Htn state established "( dport = :$CV_SILENT_PORT )")" ]; }

# The line a report prints before collecting when the check before it found
# the service unreachable for REASON.
cv_unreachable_warning() {
  printf 'Warning: the support service cannot be reached (%s); the report will be collected and kept for sending later' "$1"
}

# --- checks ---------------------------------------------------------------

# cv_on_fail COMMAND: a step that shows more of the failed case's state.
_cv_fail_reports=()
cv_on_fail() { _cv_fail_reports+=("$*"); }

cv_fail() {
  echo "FAIL [$CV_CASE]: $*" >&2
  local f step
  for step in "${_cv_fail_reports[@]}"; do eval "$step" >&2 2>/dev/null || true; done
  for f in "$OUT" "$ERR" /var/log/cvreport.log "$CV_RECORDS/service.log"; do
    [ -f "$f" ] && { echo "--- $f" >&2; tail -c 3000 "$f" >&2; }
  done
  exit 1
}

expect_status() { [ "$STATUS" = "$1" ] || cv_fail "exit status $STATUS, expected $1"; }

expect_eq() { [ "$1" = "$2" ] || cv_fail "${3:-values differ}: got [$1], expected [$2]"; }

expect_contains() { grep -qF -- "$2" "$1" || cv_fail "$1 lacks [$2]"; }

expect_lacks() { ! grep -qF -- "$2" "$1" || cv_fail "$1 holds [$2]"; }

expect_empty() { [ ! -s "$1" ] || cv_fail "$1 is not empty"; }

CV_KEPT_STORE=/var/lib/cvreport/kept

# Checks that stderr is [WARNING,] REASON and the two hints naming the newest
# kept report with its contact file, in a root-only entry; sets KEPT to it.
# With WHY the store refused it: WHY follows REASON, and the hints name the
# work directory kept instead, its contact file under files/.
expect_kept_report() {
  local reason=$1 why=${2-} warning=${3-} dir contact=description
  if [ -n "$why" ]; then
    KEPT=$(cv_work_dirs | tail -n 1)
    contact=files/description
    reason+=$'\n'"The report could not be kept in $CV_KEPT_STORE: $why"
  else
    KEPT=$(cv_kept_reports | tail -n 1)
    [[ ${KEPT##*/} =~ ^[0-9]{8}-[0-9]{6}(-[0-9]+)?$ ]] || cv_fail "kept entry name [$KEPT]"
    for dir in "${CV_KEPT_STORE%/*}" "$CV_KEPT_STORE" "$KEPT"; do
      expect_eq "$(stat -c '%U %a' "$dir")" "root 700" "owner and mode of $dir"
    done
    [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left beside the kept report: $(cv_work_dirs)"
  fi
  [ -n "$KEPT" ] || cv_fail "no report kept"
  { [ -z "$warning" ] || printf '%s\n' "$warning"
    printf '%s\nPlease send the %s/cvreport.tgz file containing the generated report manually to support@corvanta.com\nTo send it later, from this host or any other that can reach the service: cvreport --send %s/cvreport.tgz\n' \
      "$reason" "$KEPT" "$KEPT"; } >"$WORK/expected-err"
  diff -u "$WORK/expected-err" "$ERR" >&2 || cv_fail "stderr differs"
  [ -f "$KEPT/$contact" ] || cv_fail "contact file not kept"
}

# Runs a console report once for each ROW against the test service and
# checks what it did; a row is MODE|SETTINGS|ENV|STATUS|RETRIES|COUNTS|STDERR|LOG:
#   MODE      the service's mode for the run
#   SETTINGS  KEY=value words added to the config that reaches the service
#   ENV       NAME=value words in the run's environment (archive size, faults)
#   RETRIES   "PAUSES:REASON", the retries announced, each also logged ("*":
#             any reason); empty: none
#   COUNTS    "QUERY:N" words: the service recorded N requests matching
#             QUERY (FIELD=VALUE joined by ","; empty: any) during the run
#   STDERR    with status 0, a pattern stderr matches, and the report was
#             filed once, with the collector's archive; otherwise the lines
#             before the hints naming the kept report, whose archive is the
#             collector's (one line with "*": a pattern); a reason for not
#             submitting is logged
#   LOG       a line the log holds
# The service's password never shows. Needs the recording collector.
cv_report_rows() {
  local row mode settings envs status retries counts reason log item i
  local -a words before
  for row in "$@"; do
    IFS='|' read -r -d '' mode settings envs status retries counts reason log < <(printf %s "$row") || true
    cv_service_mode "$mode"
    read -ra words <<<"$settings"
    cv_service_config "${words[@]}"
    [ "$status" != 0 ] || counts+=" status=200:1"
    read -ra words <<<"$counts"
    before=()
    for item in "${words[@]}"; do before+=("$(_cv_count "$item")"); done
    read -ra envs <<<"$envs"
    cv_run env "${envs[@]}" "$BIN/cvreport" "${CV_CONTACT[@]}"
    expect_status "$status"
    _cv_expect_retries "$retries"
    for i in "${!words[@]}"; do
      expect_eq "$(($(_cv_count "${words[$i]}") - before[i]))" "${words[$i]##*:}" "$mode: requests ${words[$i]%:*}"
    done
    for item in "$OUT" "$ERR" /var/log/cvreport.log; do expect_lacks "$item" "$CV_SERVICE_PASSWORD"; done
    [ -z "$log" ] || expect_contains /var/log/cvreport.log "$log"
    if [ "$status" = 0 ]; then _cv_expect_filed "$reason"; else _cv_expect_kept "$reason"; fi
  done
}
# A row's checks of a report the service filed; stderr matches PATTERN.
_cv_expect_filed() {
  [[ $(<"$ERR") == $1 ]] || cv_fail "$mode: stderr [$(<"$ERR")], expected [$1]"
  expect_contains "$OUT" "assigned ID 100001"
  expect_eq "$(cv_requests part report sha256)" "$(sha256sum <"$CV_OBSERVE/archive.tgz" | cut -d' ' -f1)" \
    "$mode: the archive filed"
}
# A row's checks of a report kept for REASON.
_cv_expect_kept() {
  local reason=$1 line
  # libcurl's text for a connection cut under way depends on the moment.
  if [[ $reason == *'*'* ]]; then
    line=$(head -n 1 "$ERR")
    [[ $line == $reason ]] || cv_fail "$mode: reason [$line], expected [$reason]"
    reason=$line
  fi
  expect_kept_report "$reason"
  cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "$mode: archive not kept"
  line=$(grep -m 1 "^Can't submit the report to " "$ERR" || true)
  line=${line%" (through the proxy "*}
  [ -z "$line" ] || expect_contains /var/log/cvreport.log "Can't submit report: ${line#*: }"
  rm -rf "$KEPT"
}
_cv_count() {
  local -a query
  IFS=, read -ra query <<<"${1%:*}"
  cv_requests count "${query[@]}"
}
# Checks stdout's retry announcements against "PAUSES:REASON".
_cv_expect_retries() {
  local pauses=${1%%:*} reason=${1#*:} pause next=2 any= line
  : >"$WORK/expected-out"
  for pause in $pauses; do
    echo "Upload failed ($reason); trying again in $pause s (attempt $next of 3)" >>"$WORK/expected-out"
    next=$((next + 1))
  done
  [ "$reason" != "*" ] || any='s/^Upload failed (.*); trying/Upload failed (*); trying/'
  { grep "trying again" "$OUT" || true; } | sed "$any" | diff -u "$WORK/expected-out" - >&2 ||
    cv_fail "$mode: retry announcements differ"
  [ "$reason" = "*" ] || while read -r line; do
    expect_contains /var/log/cvreport.log "$line"
  done <"$WORK/expected-out"
}

# The entries of the kept-report store, oldest first.
cv_kept_reports() { find "$CV_KEPT_STORE" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | sort -V; }

# The work directories cvreport left under /tmp.
cv_work_dirs() { find /tmp -maxdepth 1 -name 'cvreport.??????' -type d | sort; }

cv_pass() {
  echo "PASS [$CV_CASE]"
  exit 0
}
