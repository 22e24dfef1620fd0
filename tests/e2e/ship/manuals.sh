#!/usr/bin/env bash
# The manual pages: man and groff find nothing to warn about, and what they
# document is what the programs do: every option of `cvreport -h`, the exit
# statuses, every configuration key the program reads, every log record it
# writes, and the manual-send sentence with this build's address. Reads the
# pages the build made (man/*.in with the build settings filled in).
source "$(dirname "$0")/../../ship_common.sh"
command -v man >/dev/null || { echo "SKIP: man is not installed"; exit 77; }
[ -x "$BUILD/bin/cvreport" ] || { echo "SKIP: cvreport is not built"; exit 77; }
MAN=$BUILD/man
pages=(cvreport.8 cvreport.conf.5)
[ ! -x "$BUILD/bin/cvsysinfo" ] || pages+=(cvsysinfo.8)

for page in "${pages[@]}"; do
  [ -f "$MAN/$page" ] || fail "the build made no $page"
  ! grep -n '@[A-Z_]*@' "$MAN/$page" || fail "$page has a setting left unfilled"
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -E UTF-8 -l "$MAN/$page" 2>"$WORK/warnings" >/dev/null ||
    fail "man cannot format $page"
  [ ! -s "$WORK/warnings" ] || { cat "$WORK/warnings" >&2; fail "man warns about $page"; }
  if command -v groff >/dev/null; then
    groff -man -t -ww -z "$MAN/$page" 2>"$WORK/warnings" || fail "groff cannot format $page"
    [ ! -s "$WORK/warnings" ] || { cat "$WORK/warnings" >&2; fail "groff warns about $page"; }
  fi
done

# The pages as text on one line each: no hyphenation, no line ends, plain
# ASCII, so that phrases can be looked up whole.
text() {
  LC_ALL=C MANWIDTH=250 MANROFFOPT=-rHY=0 man -E ascii -l "$MAN/$1" 2>/dev/null | col -b | tr -s ' \t\n' '   '
}
text cvreport.8 >"$WORK/cvreport.txt"
text cvreport.conf.5 >"$WORK/conf.txt"
has() { grep -qF -- "$2" "$1" || fail "${1##*/} lacks: $2"; }

# Every option of the usage text, short and long.
"$BUILD/bin/cvreport" -h >"$WORK/usage" || true
mapfile -t options < <(grep -oE '(^|[ ,\[])--?[a-z][a-z-]*' "$WORK/usage" | grep -oE -- '--?[a-z][a-z-]*' | sort -u)
[ ${#options[@]} -ge 16 ] || fail "the usage names only ${#options[@]} options: ${options[*]}"
for option in "${options[@]}"; do
  grep -qE -- "(^| )$option([ ,=]|$)" "$WORK/cvreport.txt" || fail "cvreport.8 does not document $option"
done

# The exit statuses 0 to 7, each a row of the table.
sed -n '/EXIT STATUS/,/WHEN THE UPLOAD FAILS/p' "$MAN/cvreport.8" >"$WORK/exit-section"
for status in 0 1 2 3 4 5 6 7 8 9; do
  grep -q "^$status|" "$WORK/exit-section" || fail "cvreport.8 has no row for exit status $status"
done

# Every configuration key the program reads, in both pages.
mapfile -t keys < <(grep -rhoE '(configValue|lookup)\((config, )?"[A-Z_]+"' "$SRC/cvreport" --include='*.cc' |
  grep -oE '"[A-Z_]+"' | tr -d '"' | sort -u)
[ ${#keys[@]} -ge 7 ] || fail "found only ${#keys[@]} keys in the program"
for key in "${keys[@]}"; do
  has "$WORK/conf.txt" "$key"
  has "$WORK/cvreport.txt" "$key"
done

# Every log record the program writes: the fixed pieces of each format.
grep -rhoE '(logMessage\("|message = ")[^"]*"' "$SRC/cvreport" --include='*.cc' --exclude='*_test.cc' |
  sed -E 's/^(logMessage\(|message = )"//; s/"$//' | sort -u >"$WORK/records"
[ "$(wc -l <"$WORK/records")" -ge 15 ] || fail "found only $(wc -l <"$WORK/records") log texts in the program"
while IFS= read -r record; do
  # %s, %m and the like stand for texts the page names in words.
  while IFS= read -r piece; do
    piece=$(printf '%s' "$piece" | sed 's/^[ :]*//; s/[ :]*$//')
    [ ${#piece} -ge 4 ] || continue
    has "$WORK/cvreport.txt" "$piece"
  done < <(printf '%s\n' "$record" | sed 's/%z\?[a-z]/\n/g')
done <"$WORK/records"

# The manual-send sentence, as the program builds it for this build.
email=$(sed -n 's/^CVREPORT_SUPPORT_EMAIL:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
[ -n "$email" ] || fail "the build has no CVREPORT_SUPPORT_EMAIL"
grep -qF "Please send the {REP_PATH} file containing the generated report manually to" \
  "$SRC/cvreport/run/report_run.cc" || fail "the program's sentence changed; the page must follow"
has "$WORK/cvreport.txt" "Please send the /var/lib/cvreport/kept/YYYYMMDD-HHMMSS/cvreport.tgz file containing the generated report manually to $email"
has "$WORK/cvreport.txt" "To send it later, from this host or any other that can reach the service: cvreport --send /var/lib/cvreport/kept/"
has "$WORK/cvreport.txt" "cvreport.tgz.sha256"
has "$WORK/cvreport.txt" "/var/log/cvreport.log"

if [ -x "$BUILD/bin/cvsysinfo" ]; then
  text cvsysinfo.8 >"$WORK/cvsysinfo.txt"
  for name in CVLIN CVLIST CONTAINERS NODE CVTEMPLATES "Failed to initialize cvctl library" "libxml err" \
    "testXmlwriterFilename: Error creating the xml writer" "not read to its end" "disk usage skipped"; do
    has "$WORK/cvsysinfo.txt" "$name"
  done
fi

echo "PASS [manuals]"
