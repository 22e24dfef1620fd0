// The simulated platform programs, answering from the host description
// (README.md): cvlist, cvps, cvctl, and every program of the host and of
// its containers that the description provides. One program, installed by
// the runner (tests/sim_host.sh) under each name; it tells which one it is
// by the path it was started by:
//   .../cvlist, .../cvps, .../cvctl           the platform tools;
//   /usr/libexec/cvsim/ct/ID/bin/NAME         program NAME of container ID
//                                             (on PATH under runscript);
//   any other .../NAME                        the host's program NAME;
//   .../cvsim-tool TOOL ARG...                any of these, named:
//       cvlist|cvps|cvctl ARG..., host NAME ARG..., ct ID NAME ARG....
// It is small and compiled because cvsysinfo starts a dozen of these per
// container, and a benchmark should measure cvsysinfo, not its stand-ins.
// Everything handed over, by the caller or by the description, is data:
// nothing is ever evaluated.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/auxv.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "host.h"

using cvsim::hostPath;
using cvsim::isDirectory;

namespace {

using Args = std::vector<std::string>;

const std::string kLibexec = "/usr/libexec/cvsim";
const std::string kDefaultRoots = "/var/lib/cvsim/root";

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool isRegular(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isId(const std::string& text) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (!isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string containerDir(const std::string& id) { return hostPath("containers/" + id); }

void writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void writeText(int fd, const std::string& text) { writeAll(fd, text.data(), text.size()); }

bool copyFile(const std::string& path, int to) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    writeAll(to, buffer, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

// The exit status a file names: 0 without the file, 1 when it holds no
// number of at most three digits.
int statusFile(const std::string& path) {
  std::optional<std::string> text = cvsim::readFile(path);
  if (!text) return 0;
  size_t start = text->find_first_not_of(" \t\r\n");
  size_t end = text->find_last_not_of(" \t\r\n");
  if (start == std::string::npos) return 1;
  std::string word = text->substr(start, end - start + 1);
  if (word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos) return 1;
  return atoi(word.c_str()) & 255;
}

// One argument as a shell would read it back: bare when it is made of safe
// characters only, else in single quotes, or in $'...' when it holds
// control characters (so that a call is always one line).
std::string quote(const std::string& arg) {
  static const char kSafe[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./:=,%+@-";
  if (!arg.empty() && arg.find_first_not_of(kSafe) == std::string::npos) return arg;
  bool control = false;
  for (unsigned char c : arg) control = control || c < 0x20 || c == 0x7f;
  std::string out;
  if (!control) {
    out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  }
  out = "$'";
  for (unsigned char c : arg) {
    if (c == '\\' || c == '\'') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "'";
}

// One line per call in $CVSIM_LOG, when it is set.
void logCall(const std::string& tool, const Args& args) {
  const char* log = getenv("CVSIM_LOG");
  if (!log || !*log) return;
  std::string line = tool;
  for (const std::string& arg : args) line += " " + quote(arg);
  line += "\n";
  int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  writeText(fd, line);
  close(fd);
}

[[noreturn]] void fail(int status, const std::string& message) {
  writeText(2, message + "\n");
  exit(status);
}

// Answers as program NAME from a description entry and exits:
//   an executable file is run with the arguments;
//   another file is printed, whatever the arguments, status 0;
//   a directory holds canned answers per argument vector: KEY.out (stdout),
//     KEY.err (stderr), KEY.status (exit status), any of them; KEY is the
//     arguments joined by single blanks with %, / and @ written %25, %2F
//     and %40, or @ for none; @default answers any other vector;
//   nothing is a program that is not there (status 127).
[[noreturn]] void answer(const std::string& entry, const std::string& name, const Args& args) {
  if (!entry.empty() && isDirectory(entry)) {
    std::string key;
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) key += ' ';
      for (char c : args[i]) {
        key += c == '%' ? std::string("%25")
               : c == '/' ? std::string("%2F")
               : c == '@' ? std::string("%40")
                          : std::string(1, c);
      }
    }
    if (args.empty()) key = "@";
    for (const std::string& base : {entry + "/" + key, entry + "/@default"}) {
      if (!exists(base + ".out") && !exists(base + ".err") && !exists(base + ".status")) continue;
      copyFile(base + ".out", 1);
      copyFile(base + ".err", 2);
      exit(statusFile(base + ".status"));
    }
    std::string joined;
    for (const std::string& arg : args) joined += " " + arg;
    fail(1, name + ": the simulated host has no answer for these arguments:" + joined);
  }
  if (!entry.empty() && isRegular(entry) && access(entry.c_str(), X_OK) == 0) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(entry.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(entry.c_str(), argv.data());
    fail(126, name + ": " + strerror(errno));
  }
  if (!entry.empty() && isRegular(entry)) {
    copyFile(entry, 1);
    exit(0);
  }
  fail(127, "bash: " + name + ": command not found");
}

// The description entry answering for program NAME of a container: its own
// tools/NAME, else ct-tools/NAME; empty when there is none. A path is
// looked up by its last part, as a shell in the container would find it.
std::string containerTool(const std::string& id, const std::string& program) {
  std::string name = program.substr(program.find_last_of('/') + 1);
  if (name.empty() || name == "." || name == "..") return "";
  std::string own = containerDir(id) + "/tools/" + name;
  if (exists(own)) return own;
  std::string shared = hostPath("ct-tools/" + name);
  return exists(shared) ? shared : "";
}

void requireContainer(const std::string& tool, const std::string& id) {
  if (!isId(id)) fail(2, tool + ": bad container ID: " + id);
  if (!isDirectory(containerDir(id))) fail(1, tool + ": container " + id + " does not exist");
}

// A real host's tools take tens of milliseconds to enter a container; the
// description's latency-ms (a whole number of milliseconds) makes every
// call that enters one wait that long, so that benchmarks see such a host.
void enterContainer() {
  FILE* file = fopen(hostPath("latency-ms").c_str(), "re");
  if (!file) return;
  long ms = 0;
  bool read = fscanf(file, "%ld", &ms) == 1;
  fclose(file);
  if (!read || ms <= 0) return;
  if (ms > 60000) ms = 60000;
  struct timespec wait = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

// This program's file, links resolved.
std::string ownPath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return kLibexec + "/cvsim-tool";
  path[n] = '\0';
  return path;
}

// The directory this program was installed in (where its helpers are).
std::string ownDirectory() {
  std::string self = ownPath();
  return self.substr(0, self.find_last_of('/'));
}

int cvlist(const Args& args) {
  bool header = true;
  std::string fields = "ctid,numproc,status,ip_addr,hostname";
  Args ids;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-H" || arg == "--no-header") {
      header = false;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= args.size()) fail(2, "cvlist: option " + arg + " needs an argument");
      fields = args[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      // Other selections change nothing in the simulation.
    } else if (!isId(arg)) {
      fail(2, "cvlist: bad container ID: " + arg);
    } else {
      ids.push_back(arg);
    }
  }
  for (const std::string& id : ids) {
    if (!isDirectory(containerDir(id))) fail(1, "Container(s) not found");
  }
  if (fields == "root" && ids.size() == 1 && !header) {
    const std::string dir = containerDir(ids[0]);
    if (!copyFile(dir + "/root", 1)) writeText(1, kDefaultRoots + "/" + ids[0] + "\n");
    return statusFile(dir + "/root.status");
  }
  if (ids.empty() && exists(hostPath("cvlist/table"))) {
    copyFile(hostPath("cvlist/table"), 1);
    return statusFile(hostPath("cvlist/status"));
  }
  // A table to be made: the script beside this program, or in the sources.
  std::string script = ownDirectory() + "/cvlist-table";
  if (!exists(script)) script = CVSIM_TOOLS_SOURCE_DIR "/cvlist-table";
  std::vector<char*> argv{const_cast<char*>("bash"), const_cast<char*>(script.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv("/bin/bash", argv.data());
  fail(126, "cvlist: " + script + ": " + strerror(errno));
}

int cvps(const Args& args) {
  std::string id, fields = "pid,tty,time,cmd";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-E" || args[i] == "-o") {
      if (i + 1 >= args.size()) fail(2, "cvps: option " + args[i] + " needs an argument");
      (args[i] == "-E" ? id : fields) = args[i + 1];
      ++i;
    }
  }
  if (id.empty()) fail(2, "usage: cvps [-A] -E ID [-o FIELD,...]");
  requireContainer("cvps", id);
  enterContainer();
  if (copyFile(containerDir(id) + "/ps", 1)) return 0;
  // No processes: the header of the asked columns.
  std::string line, column;
  fields += ",";
  for (char c : fields) {
    if (c != ',') {
      column += static_cast<char>(toupper(static_cast<unsigned char>(c)));
      continue;
    }
    if (column == "TTY") column = "TT";
    if (column == "START") column = "STARTED";
    if (column == "CMD" || column == "ARGS") column = "COMMAND";
    line += (line.empty() ? "" : " ") + column;
    column.clear();
  }
  writeText(1, line + "\n");
  return 0;
}

// The names of the programs a container has: its tools/ and ct-tools/.
std::vector<std::string> containerToolNames(const std::string& id) {
  std::vector<std::string> names;
  for (const std::string& dir : {containerDir(id) + "/tools", hostPath("ct-tools")}) {
    DIR* d = opendir(dir.c_str());
    if (!d) continue;
    while (struct dirent* entry = readdir(d)) {
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(d);
  }
  return names;
}

// Runs SCRIPT "inside" the container, in a mount namespace of this run
// only: with the container's /etc/init.d (its init.d/, or none), and with
// PATH leading to the container's programs (links to this program in a
// tmpfs on /usr/libexec/cvsim/ct, named by container and program), then
// to a few basic utilities, and to none of the host's service managers.
[[noreturn]] void runscript(const std::string& id, const std::string& script) {
  if (!isRegular(script)) fail(1, "cvctl: unable to open " + script + ": no such file");
  const std::string ct = kLibexec + "/ct", bin = ct + "/" + id + "/bin";
  const std::string self = ownPath();
  if (geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
      mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
    if (isDirectory("/etc/init.d")) {
      std::string initd = containerDir(id) + "/init.d";
      int rc = isDirectory(initd)
                   ? mount(initd.c_str(), "/etc/init.d", nullptr, MS_BIND, nullptr)
                   : mount("cvsim-initd", "/etc/init.d", "tmpfs", 0, "size=16k,mode=0755");
      if (rc != 0) fail(125, std::string("cvctl: cannot set up /etc/init.d: ") + strerror(errno));
    }
    if (mount("cvsim-ct", ct.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0 ||
        mkdir((ct + "/" + id).c_str(), 0755) != 0 || mkdir(bin.c_str(), 0755) != 0) {
      fail(125, "cvctl: cannot set up " + bin + ": " + strerror(errno));
    }
    for (const std::string& name : containerToolNames(id)) {
      if (symlink(self.c_str(), (bin + "/" + name).c_str()) != 0 && errno != EEXIST) {
        fail(125, "cvctl: cannot link " + name + ": " + strerror(errno));
      }
    }
  }
  int null = open("/dev/null", O_RDONLY);
  if (null >= 0) {
    dup2(null, 0);
    if (null > 0) close(null);
  }
  if (chdir("/") != 0) fail(1, std::string("cvctl: ") + strerror(errno));
  setenv("PATH", (bin + ":" + kLibexec + "/basebin").c_str(), 1);
  execl(script.c_str(), script.c_str(), static_cast<char*>(nullptr));
  fail(126, "cvctl: " + script + ": " + strerror(errno));
}

int cvctl(const Args& all) {
  Args args = all;
  while (!args.empty() && (args[0] == "--quiet" || args[0] == "--verbose")) {
    args.erase(args.begin());
  }
  const char* usage = "usage: cvctl [--quiet] exec ID COMMAND [ARG...] | runscript ID SCRIPT";
  if (args.size() < 3) fail(2, usage);
  const std::string action = args[0], id = args[1];
  requireContainer("cvctl", id);
  enterContainer();
  if (action == "runscript" && args.size() == 3) runscript(id, args[2]);
  if (action != "exec") fail(2, usage);
  unsigned int flags = 0;
  if (cvsim::containerFlags(static_cast<unsigned int>(std::stoul(id)), &flags) != 0 ||
      !(flags & 0x4)) {
    fail(1, "cvctl: container " + id + " is not running");
  }
  answer(containerTool(id, args[2]), args[2], Args(args.begin() + 3, args.end()));
}

const char kUsage[] =
    "usage: cvsim-tool cvlist|cvps|cvctl ARG... | host NAME ARG... | ct ID NAME ARG...";

}  // namespace

int main(int argc, char** argv) {
  // The path it was started by, links not resolved: a program found on
  // PATH has its directory there, which argv[0] lacks.
  const char* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  std::string path = started && *started ? started : argv[0];
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash);
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  Args args(argv + 1, argv + argc);

  const std::string ctPrefix = kLibexec + "/ct/", ctSuffix = "/bin";
  if (dir.size() > ctPrefix.size() + ctSuffix.size() &&
      dir.compare(0, ctPrefix.size(), ctPrefix) == 0 &&
      dir.compare(dir.size() - ctSuffix.size(), ctSuffix.size(), ctSuffix) == 0) {
    std::string id = dir.substr(ctPrefix.size(), dir.size() - ctPrefix.size() - ctSuffix.size());
    args.insert(args.begin(), {"ct", id, name});
  } else if (name != "cvsim-tool") {
    args.insert(args.begin(), name);
  }
  if (args.empty()) fail(2, kUsage);

  const std::string tool = args[0];
  args.erase(args.begin());
  if (tool == "cvlist" || tool == "cvps" || tool == "cvctl") {
    logCall(tool, args);
    return tool == "cvlist" ? cvlist(args) : tool == "cvps" ? cvps(args) : cvctl(args);
  }
  if (tool == "ct" && args.size() >= 2 && isId(args[0])) {
    const std::string id = args[0], program = args[1];
    Args rest(args.begin() + 2, args.end());
    logCall("[" + id + "] " + program, rest);
    answer(containerTool(id, program), program, rest);
  }
  if (tool == "host" && !args.empty()) {
    const std::string program = args[0];
    Args rest(args.begin() + 1, args.end());
    logCall(program, rest);
    bool plain = program.find('/') == std::string::npos && program != "." && program != "..";
    answer(plain ? hostPath("tools/" + program) : "", program, rest);
  }
  if (tool != "ct" && tool != "host") {
    logCall(tool, args);
    answer(hostPath("tools/" + tool), tool, args);
  }
  fail(2, kUsage);
}
