// Linked into the sanitized programs only (CV_SANITIZE), so that they
// carry their sanitizer settings themselves: the end-to-end cases start
// them through shells, tmux and namespaces, where an environment variable
// may not reach.
#include <stdio.h>
#include <unistd.h>

extern "C" {

// A report must never pass for one of the programs' own statuses (1 to 7,
// or a libxml error's): every sanitizer ends the program with 86.
const char* __asan_default_options() {
  return "exitcode=86:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:"
         "check_initialization_order=1:detect_invalid_pointer_pairs=1";
}

const char* __ubsan_default_options() { return "exitcode=86:print_stacktrace=1:halt_on_error=1"; }

// Leaks in the C library that the program cannot free: the locale data
// glibc loads for setlocale under LOCPATH.
const char* __lsan_default_suppressions() { return "leak:argz_add_sep\n"; }

// The leak check stops every thread through /proc/PID/task; the simulated
// host's /proc (tests/sim_host.sh) has no entries for processes started
// after it was made, so there the check is skipped rather than ending the
// program with a fatal error. Those paths are covered for leaks by the fuzz
// targets and the valgrind cases.
int __lsan_is_turned_off() {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/task", static_cast<int>(getpid()));
  return access(path, R_OK) == 0 ? 0 : 1;
}

}  // extern "C"
