#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ and runs
# each for a set time, starting from seeds taken from the test fixtures.
#
#   tools/fuzz.sh [-b | -n] [-t SECONDS] [-j JOBS] [TARGET...]
#
#   -b          build the targets into build-fuzz/ and stop
#   -n          no build: fuzz with the targets build-fuzz/ has
#   -t SECONDS  time per target (default: $CV_FUZZ_SECONDS, else 10)
#   -j JOBS     targets fuzzed at once (default: the number of processors)
#   TARGET      names as in fuzz/ (keyvalue, cvlist, ...); default all
#
# The corpus of each target grows in build-fuzz/corpus/TARGET across runs, so
# a long run on demand (tools/fuzz.sh -t 3600) goes on from what earlier
# runs found. Before fuzzing, every input once found to break a target
# (fuzz/regressions/TARGET/) is run again. A crash, leak, time-out or failed
# check leaves its input in build-fuzz/artifacts/ and makes the script fail.
# The table of executions, time and coverage goes to stdout and to
# build-fuzz/fuzz-summary.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${CV_FUZZ_SECONDS:-10}
jobs=$(nproc)
step=all
while getopts "bnt:j:" opt; do
  case $opt in
    b) step=build ;;
    n) step=fuzz ;;
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) sed -n '2,20p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

all_targets=(keyvalue release reply layout report_archive attention obfuscate split_lines cvlist df lvs dmraid mdadm yum memdedup
  imgtrim docker conf command_xml cpuinfo inventory_diff)
targets=("${@:-${all_targets[@]}}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz: no target $t" >&2; exit 2; }
done

build=$root/build-fuzz
if [ "$step" != fuzz ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCV_FUZZ=ON -DCV_BUILD_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target cv_fuzz_targets >/dev/null
fi
[ "$step" != build ] || exit 0

# --- seeds from the fixtures -----------------------------------------------

hosts=$root/tests/fixtures/hosts
seeds=$build/seeds
rm -rf --one-file-system "$seeds"
mkdir -p "$seeds"

# seed TARGET NAME FILE...: one seed, the files joined by the byte 0x1e
# (the targets' separator between the parts of one input).
seed() {
  local target=$1 name=$2 first=1 f
  shift 2
  mkdir -p "$seeds/$target"
  for f in "$@"; do
    [ -n "$first" ] || printf '\036'
    first=
    [ -f "$f" ] && cat -- "$f"
  done >"$seeds/$target/$name"
}
# each TARGET FILE...: every file a seed of its own.
each() {
  local target=$1 f n=0
  shift
  for f in "$@"; do
    [ -f "$f" ] || continue
    n=$((n + 1))
    seed "$target" "fixture-$n" "$f"
  done
}

for t in keyvalue release reply layout attention command_xml; do
  if [ -d "fuzz/seeds/$t" ]; then mkdir -p "$seeds/$t" && cp fuzz/seeds/$t/* "$seeds/$t/"; fi
done
# A report archive as the collector packs it.
mkdir -p "$build/seed-report/collector" "$build/seed-report/system"
echo "# manifest" >"$build/seed-report/collector/manifest.txt"
printf 'Full name: A\nCompany:   B\nE-mail:    c@d\nSubject:   E\nIssue: F\n' \
  >"$build/seed-report/description"
echo "Orbelin Nimbus Server 6.0.1-42" >"$build/seed-report/system/orbelin-release"
tar czf "$build/seed-report.tgz" -C "$build/seed-report" .
each report_archive "$build/seed-report.tgz"
shopt -s nullglob
each keyvalue "$hosts"/*/cv.conf
each split_lines "$hosts"/*/cvlist/table "$hosts"/*/containers/*/ps "$hosts"/*/node/tools/free \
  "$hosts"/*/node/tools/lvs "$hosts"/*/node/tools/yum "$hosts"/*/containers/*/iostat
each cvlist "$hosts"/*/cvlist/table
each df "$hosts"/*/node/tools/df/*.out
each lvs "$hosts"/*/node/tools/lvs "$hosts"/*/node/tools/vgs
n=0
for dev in "$hosts"/*/node/tools/dmraid/-r*.out; do
  n=$((n + 1))
  seed dmraid "fixture-$n" "$dev" "$(dirname "$dev")"/-s*.out
done
printf '/dev/md0 /srv ext4 rw,relatime 0 0\n/dev/md127 /mnt/b xfs rw 0 0\nquorix://alpha /q fuse rw 0 0\n' \
  >"$build/mounts"
n=0
for out in "$hosts"/*/node/tools/mdadm/*.out; do
  n=$((n + 1))
  seed mdadm "fixture-$n" "$build/mounts" "$out"
done
each yum "$hosts"/*/node/tools/yum
each memdedup "$hosts"/*/node/tools/memdedup/*.out
each imgtrim "$hosts"/*/files/var/log/imgtrim.log "$hosts"/*/node/files/var/log/imgtrim.log
n=0
for docker in "$hosts"/*/containers/*/tools/docker/; do
  [ -f "$docker/info.out" ] || continue
  n=$((n + 1))
  awk 'FNR > 1 {print $1" "$2" "$3}' "$docker/images.out" >"$build/images-$n"
  inspect=$(ls "$docker"/inspect*.out | head -n 1)
  seed docker "fixture-$n" "$docker/info.out" "$build/images-$n" "$docker/ps -a -q.out" "$inspect"
done
each conf "$hosts"/*/cv.conf "$hosts"/*/containers/*/conf "$hosts"/*/node/files/etc/cv/memdedup.conf
each command_xml "$hosts"/*/node/tools/cvmemcheck "$hosts"/*/node/tools/cvcpucheck \
  "$hosts"/*/node/tools/cvdiskcheck "$hosts"/hostile/tools/cvmemcheck "$hosts"/*/node/tools/quorix/*.out \
  "$hosts"/*/node/tools/sentrel/*.out
n=0
for cpu in "$hosts"/*/node/files/proc/cpuinfo "$hosts"/*/files/proc/cpuinfo; do
  n=$((n + 1))
  seed cpuinfo "fixture-$n" "$cpu" "$(dirname "$cpu")/zoneinfo"
done
golden=$root/tests/fixtures/golden
for old in "$golden"/inventory/*.xml; do
  seed inventory_diff "$(basename "$old" .xml)" "$old" "$golden/inventory/mixed.xml"
done
shopt -u nullglob

# --- the runs --------------------------------------------------------------

mkdir -p "$build/artifacts" "$build/logs"
status_dir=$build/status
rm -rf --one-file-system "$status_dir"
mkdir -p "$status_dir"

run_target() {
  # One assignment a line: the words of a single `local` are expanded before
  # any of them is set, so a later word would read the caller's t.
  local t=$1
  local bin=$build/fuzz/fuzz_$t corpus=$build/corpus/$t log=$build/logs/$t.log
  mkdir -p "$corpus"
  if [ -d "$seeds/$t" ]; then cp -n "$seeds/$t"/* "$corpus/" 2>/dev/null || true; fi
  : >"$log"
  # Inputs that once broke the target must pass before anything else.
  if compgen -G "fuzz/regressions/$t/*" >/dev/null; then
    if ! "$bin" -runs=1 fuzz/regressions/"$t"/* >>"$log" 2>&1; then
      echo "regression" >"$status_dir/$t"
      return
    fi
  fi
  local start=$SECONDS dict=()
  # Tokens the fuzzer cannot find by coverage alone (XML for libxml2, which
  # is not instrumented; the words the parsers look for).
  if [ -f "fuzz/dicts/$t.dict" ]; then dict=(-dict="fuzz/dicts/$t.dict"); fi
  if "$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "${dict[@]}" "$corpus" >>"$log" 2>&1; then
    echo "ok $((SECONDS - start))" >"$status_dir/$t"
  else
    echo "failed $((SECONDS - start))" >"$status_dir/$t"
  fi
}

for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$t" &
done
wait

summary=$build/fuzz-summary.txt
failed=()
{
  printf '%-12s %10s %6s %7s %8s %7s  %s\n' target executions time edges features corpus result
  for t in "${targets[@]}"; do
    log=$build/logs/$t.log
    read -r result time <"$status_dir/$t" || result=missing
    done_line=$(grep -a 'DONE ' "$log" | tail -n 1 || true)
    execs=$(grep -a 'stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -n 1)
    edges=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
    features=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
    corpus=$(find "$build/corpus/$t" -type f | wc -l)
    printf '%-12s %10s %5ss %7s %8s %7s  %s\n' "$t" "${execs:--}" "${time:--}" "${edges:--}" \
      "${features:--}" "$corpus" "$result"
  done
} >"$summary"
cat "$summary"
for t in "${targets[@]}"; do
  read -r result _ <"$status_dir/$t" || result=missing
  [ "$result" = ok ] || failed+=("$t")
done

if [ ${#failed[@]} != 0 ]; then
  for t in "${failed[@]}"; do
    echo "--- $t ($build/logs/$t.log)" >&2
    grep -a -E 'FINDING|ERROR|SUMMARY|runtime error|Test unit written' "$build/logs/$t.log" | head -n 20 >&2 || true
  done
  echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets passed, ${seconds}s each"
