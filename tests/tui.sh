# Helpers of the wizard cases, sourced after common.sh: cvreport runs in a
# detached tmux session of a fixed size inside the case's namespace, on a
# private tmux socket; keys go in through tmux, and the screen comes back as
# text through capture-pane.

command -v tmux >/dev/null || cv_skip "tmux is not installed"

CV_TMUX_SOCKET=$WORK/tmux.sock
_cv_tmux_starts=0
CV_SCREEN=$WORK/screen        # the last captured screen
CV_TUI_STATUS=$WORK/tui-status # cvreport's exit status, once it has ended
CV_TUI_COLS=80
CV_TUI_ROWS=32
CV_TUI_TERM=screen
CV_TUI_LANG=C.UTF-8

tui_tmux() { tmux -u -S "$CV_TMUX_SOCKET" "$@"; }


# Starts cvreport with the given arguments in a fresh session. The pane stays
# after cvreport has ended, so the restored terminal can still be read, and
# everything cvreport writes to the terminal is kept in $CV_TTY_OUTPUT.
# NAME=value words in the array TUI_ENV go to cvreport's environment alone
# (not to tmux or the shell around it).
TUI_ENV=()
CV_TTY_OUTPUT=$WORK/tty-output
# A wizard a failed case leaves behind would wait on its terminal for ever.
cv_on_exit "pkill -KILL -xf '$BIN/cvreport'"
tui_start() {
  tui_tmux kill-server 2>/dev/null || true
  # A fresh socket each time: a client that finds the old server's socket
  # while that server is still going away fails with "server exited
  # unexpectedly".
  _cv_tmux_starts=$((_cv_tmux_starts + 1))
  CV_TMUX_SOCKET=$WORK/tmux.$_cv_tmux_starts.sock
  cv_on_exit "tmux -S '$CV_TMUX_SOCKET' kill-server"
  rm -f "$CV_TUI_STATUS" "$CV_SCREEN" "$CV_TTY_OUTPUT" "$WORK/tui-go"
  local script=$WORK/tui-run.sh arg i
  {
    # cvreport starts once the pane's output is being recorded.
    printf 'for ((i = 0; i < 100; i++)); do [ -e %q ] && break; sleep 0.05; done\n' "$WORK/tui-go"
    printf '[ -e %q ] || { echo "timed out after 5 s waiting for: the pane to be recorded"; exec sleep 3600; }\n' "$WORK/tui-go"
    printf 'export TERM=%q LANG=%q\n' "$CV_TUI_TERM" "$CV_TUI_LANG"
    printf 'env'
    for arg in "${TUI_ENV[@]}"; do printf ' %q' "$arg"; done
    printf ' %q' "$BIN/cvreport"
    for arg in "$@"; do printf ' %q' "$arg"; done
    # The title sequence marks the end of cvreport's output without showing.
    printf '\nstatus=$?\nprintf "\\033]2;cvreport-ended\\033\\\\"\n'
    printf 'echo $status >%q\nexec sleep 3600\n' "$CV_TUI_STATUS"
  } >"$script"
  tui_tmux -f /dev/null new-session -d -s cv -c "$WORK" -x "$CV_TUI_COLS" -y "$CV_TUI_ROWS" \
    "bash $(printf %q "$script")"
  tui_tmux pipe-pane -t cv -o "cat >>$(printf %q "$CV_TTY_OUTPUT")"
  touch "$WORK/tui-go"
}

# Whether cvreport ever wrote text to the terminal, however briefly it was
# on the screen.
tui_wrote() { grep -qF -- "$1" "$CV_TTY_OUTPUT" 2>/dev/null; }

# Captures the screen into $CV_SCREEN.
tui_capture() { tui_tmux capture-pane -p -t cv >"$CV_SCREEN"; }

# Whether the screen, captured afresh, shows text.
tui_shows() { tui_capture && grep -qF -- "$1" "$CV_SCREEN"; }
tui_lacks() { tui_capture && ! grep -qF -- "$1" "$CV_SCREEN"; }

# Waits, at most the given seconds (default 15), until the screen shows text.
tui_wait_for() { cv_wait_for "${2:-15}" "the screen to show [$1]" tui_shows "$1"; }

# Waits until the screen no longer shows text.
tui_wait_gone() { cv_wait_for "${2:-15}" "the screen to stop showing [$1]" tui_lacks "$1"; }

# Sends tmux key names (Enter, Tab, BSpace, Up, F12, C-k, ...).
tui_keys() { tui_tmux send-keys -t cv "$@"; }

# Types text literally.
tui_type() { tui_tmux send-keys -t cv -l -- "$1"; }

# Presses Tab the given number of times.
tui_tabs() {
  local i
  for ((i = 0; i < $1; i++)); do tui_keys Tab; done
}

# Waits until cvreport has ended and all it wrote has been recorded, and
# sets STATUS to its exit status.
tui_ended() { [ -s "$CV_TUI_STATUS" ] && tui_wrote "cvreport-ended"; }
tui_wait_exit() {
  cv_wait_for "${1:-30}" "cvreport to end" tui_ended
  STATUS=$(cat "$CV_TUI_STATUS")
  tui_capture
}

# The row of the screen that shows text (first match), from 0.
tui_row_of() { grep -nF -- "$1" "$CV_SCREEN" | head -n 1 | cut -d: -f1 | awk '{print $1 - 1}'; }

# The cursor's position as "column row".
tui_cursor() { tui_tmux display-message -p -t cv '#{cursor_x} #{cursor_y}'; }

# A failed case shows the screen as it was last.
tui_show_screen() {
  tui_capture
  echo "--- screen, the cursor at column and row $(tui_cursor)"
  cat "$CV_SCREEN"
}
cv_on_fail tui_show_screen

# --- the wizard's road ----------------------------------------------------

# Installs the paced collector; what it records lands in $CV_OBSERVE. Its
# processes do not outlive the case.
tui_paced_collector() {
  cv_collector "$SRC/tests/fixtures/collectors/paced_collector.sh"
  export CV_OBSERVE=$WORK/observed
  cv_on_exit "cat '$CV_OBSERVE'/collector-pids '$CV_OBSERVE'/helper-pids | xargs -r kill -9"
}

# On the contact page with the focus on "Next" (as the page opens): types
# the four fields and the description into empty entries and presses Next.
tui_fill_contact() {
  tui_tabs 2
  tui_type "$1"
  tui_keys Enter
  tui_type "$2"
  tui_keys Enter
  tui_type "$3"
  tui_keys Enter
  tui_type "$4"
  tui_keys Enter
  tui_type "$5"
  tui_tabs 2
  tui_keys Enter
}

# Starts the wizard and walks it to the collection page with valid details
# (or to the screen TUI_AFTER_CONTACT names).
tui_to_collection() {
  tui_start "$@"
  tui_wait_for "Welcome to Corvanta Problem Report wizard!"
  tui_keys Enter
  tui_wait_for "Problem Description:"
  tui_fill_contact "Ada Admin" "Example Hosting" "ada@example.net" "Containers stop" \
    "All containers stopped."
  tui_wait_for "${TUI_AFTER_CONTACT:-Gathering information...}" 20
}

# Whether the cursor stands on the first screen line that shows text,
# within that text or up to two columns before it.
tui_cursor_on() {
  local text=$1 row col at cursor_row
  tui_capture
  row=$(tui_row_of "$text")
  [ -n "$row" ] || return 1
  at=$(python3 -c 'import sys; print(open(sys.argv[1], encoding="utf-8").read().splitlines()[int(sys.argv[2])].find(sys.argv[3]))' \
    "$CV_SCREEN" "$row" "$text")
  read -r col cursor_row < <(tui_cursor)
  [ "$cursor_row" = "$row" ] && [ "$col" -ge $((at - 2)) ] && [ "$col" -le $((at + ${#text})) ]
}
tui_expect_cursor_on() {
  cv_wait_for 5 "the cursor to stand on [$1]" tui_cursor_on "$1"
}

# Prints the text of a window: the screen from the first line that shows
# text down to the window's buttons or bottom edge, each line cut from
# text's column to the window's right edge, so that what lies around the
# window does not show.
tui_window_text() {
  python3 - "$CV_SCREEN" "$1" <<'PY'
import sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
for row, line in enumerate(lines):
    col = line.find(sys.argv[2])
    if col >= 0:
        break
else:
    sys.exit(0)
for line in lines[row:]:
    inside = line[col:].split("\u2502")[0]
    if "\u2514" in line[:col] or "\u250c" in inside:
        break
    print(inside.rstrip())
PY
}

# Checks the newest kept entry, set in KEPT: it holds the collector's
# archive, no work directory is left beside it, and the screen shows the
# command that sends it.
tui_expect_kept() {
  KEPT=$(cv_kept_reports | tail -n 1)
  [ -n "$KEPT" ] || cv_fail "no report kept"
  cmp -s "$KEPT/cvreport.tgz" "$CV_OBSERVE/archive.tgz" || cv_fail "the kept archive differs"
  [ -z "$(cv_work_dirs)" ] || cv_fail "work directory left: $(cv_work_dirs)"
  tr -d '\n' <"$CV_SCREEN" | grep -qF "cvreport --send $KEPT/cvreport.tgz" || cv_fail "no send command"
}

# Whether a process is still running (a zombie has ended).
tui_running() { [ -e "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }

tui_ended_process() { ! tui_running "$1"; }

# Hangs up cvreport's terminal with no shell left to pass SIGHUP on (the
# session's leader dies first), and waits for cvreport to end.
tui_hang_up() {
  local pid
  pid=$(pgrep -xf "$BIN/cvreport") || cv_fail "cvreport is not running"
  kill -KILL "$(tui_tmux display-message -p -t cv '#{pane_pid}')"
  tui_tmux kill-server 2>/dev/null || true
  cv_wait_for 30 "cvreport to end once its terminal hung up" tui_ended_process "$pid"
}

# Fails when a process the paced collector recorded is still running.
tui_expect_collectors_gone() {
  local pid
  for pid in $(cat "$CV_OBSERVE/collector-pids" "$CV_OBSERVE/helper-pids" 2>/dev/null); do
    cv_wait_for 2 "collector process $pid to end $*" tui_ended_process "$pid"
  done
}
