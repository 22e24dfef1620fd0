#include "run/kept_store.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <tuple>

#include "run/files.h"
#include "run/text.h"
#include "run/tree_removal.h"
#include "run/unique_handles.h"

namespace cvreport {
namespace {

constexpr char kVarLib[] = "/var/lib";
constexpr int kMaxNameSuffix = 999;
constexpr size_t kCopyChunkBytes = 64 * 1024;
// A contact file is a few lines; a bigger one is read only this far.
constexpr size_t kMaxContactBytes = 64 * 1024;
constexpr size_t kEntryBaseLength = 15;  // YYYYMMDD-HHMMSS

enum class StoreOpen { kOpened, kMissing, kFailed };

std::string systemReason(const std::string& what) { return what + ": " + strerror(errno); }

int openDirNoLinks(int parentFd, const char* name) {
  return openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Opens the directory name in parentFd, never through a link, making it
// (0700) when create; it must be root's, and nobody else may change it.
StoreOpen openOwnDir(int parentFd, const char* name, const std::string& path, bool create,
                     UniqueFd& dir, std::string* message) {
  if (create && mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST) {
    *message = systemReason("Can't create " + path);
    return StoreOpen::kFailed;
  }
  dir.reset(openDirNoLinks(parentFd, name));
  if (!dir.valid()) {
    if (errno == ENOENT && !create) return StoreOpen::kMissing;
    *message = errno == ELOOP || errno == ENOTDIR ? path + " is a link or not a directory"
                                                  : systemReason("Can't open " + path);
    return StoreOpen::kFailed;
  }
  struct stat st;
  if (fstat(dir.get(), &st) != 0) {
    *message = systemReason("Can't check " + path);
    return StoreOpen::kFailed;
  }
  if (st.st_uid != 0) {
    *message = path + " is not owned by root";
    return StoreOpen::kFailed;
  }
  // Kept reports hold the host's details: the store that keeps one is made
  // root's alone to read too; a list is refused only what others changed.
  mode_t mode = st.st_mode & 07777;
  bool unsafe = create ? mode != 0700 && fchmod(dir.get(), 0700) != 0 : (mode & 022) != 0;
  if (unsafe) {
    *message = path + " may be changed by others than root";
    return StoreOpen::kFailed;
  }
  return StoreOpen::kOpened;
}

StoreOpen openStore(bool create, UniqueFd& store, std::string* message) {
  UniqueFd varLib(open(kVarLib, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!varLib.valid()) {
    *message = systemReason(std::string("Can't open ") + kVarLib);
    return StoreOpen::kFailed;
  }
  UniqueFd parent;
  StoreOpen opened =
      openOwnDir(varLib.get(), "cvreport", kKeptStoreParent, create, parent, message);
  if (opened != StoreOpen::kOpened) return opened;
  return openOwnDir(parent.get(), "kept", kKeptStorePath, create, store, message);
}

// Makes the entry named by the current UTC time, with the first free
// suffix when a report was kept in the same second.
int makeEntry(int storeFd, std::string& name, std::string* message) {
  time_t now = time(nullptr);
  struct tm utc;
  char base[32];
  if (!gmtime_r(&now, &utc) || strftime(base, sizeof base, "%Y%m%d-%H%M%S", &utc) == 0) {
    *message = "Can't tell the time";
    return -1;
  }
  for (int n = 1; n <= kMaxNameSuffix; ++n) {
    name = n == 1 ? std::string(base) : std::string(base) + "-" + std::to_string(n);
    if (mkdirat(storeFd, name.c_str(), 0700) == 0) return 0;
    if (errno != EEXIST) {
      *message = systemReason("Can't create an entry in " + std::string(kKeptStorePath));
      return -1;
    }
  }
  *message = "Too many reports kept at " + std::string(base);
  return -1;
}

// Copies in into dstName under a temporary name, synced before the rename,
// so that the entry never holds part of a file under its real name.
int copyInto(int inFd, int dstDirFd, const std::string& dstName, std::string* message) {
  std::string temp = "." + dstName + ".part";
  UniqueFd out(openat(dstDirFd, temp.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out.valid()) {
    *message = systemReason("Can't create " + dstName);
    return -1;
  }
  std::unique_ptr<char[]> buffer(new char[kCopyChunkBytes]);
  for (;;) {
    ssize_t got = read(inFd, buffer.get(), kCopyChunkBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) break;
    if (got < 0 || writeAll(out.get(), buffer.get(), static_cast<size_t>(got)) != 0) {
      *message = systemReason("Can't copy " + dstName);
      return -1;
    }
  }
  if (fsync(out.get()) != 0 || out.reset() != 0 ||
      renameat(dstDirFd, temp.c_str(), dstDirFd, dstName.c_str()) != 0) {
    *message = systemReason("Can't write " + dstName);
    return -1;
  }
  return 0;
}

// Puts the regular file srcName into the entry as dstName: a second link
// when both lie on one file system, a copy otherwise. A link at the source
// is refused, never followed. A missing optional file is no failure.
int placeFile(int srcDirFd, const char* srcName, int entryFd, const char* dstName, bool required,
              std::string* message) {
  UniqueFd in(openat(srcDirFd, srcName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!in.valid() && errno == ENOENT && !required) return 0;
  struct stat st;
  if (!in.valid() || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *message = in.valid() ? std::string(srcName) + " is not a regular file"
                          : systemReason(std::string("Can't open ") + srcName);
    return -1;
  }
  if (linkat(in.get(), "", entryFd, dstName, AT_EMPTY_PATH) == 0) return 0;
  return copyInto(in.get(), entryFd, dstName, message);
}

int placeAll(int workFd, int filesFd, int entryFd, std::string* message) {
  if (placeFile(workFd, kKeptArchiveName, entryFd, kKeptArchiveName, true, message) != 0) return -1;
  for (const char* optional : {kKeptChecksumName, kKeptAttentionName}) {
    if (placeFile(workFd, optional, entryFd, optional, false, message) != 0) return -1;
  }
  if (placeFile(filesFd, "description", entryFd, kKeptContactName, true, message) != 0) return -1;
  if (fsync(entryFd) != 0) {
    *message = systemReason("Can't sync the entry");
    return -1;
  }
  return 0;
}

// Fills an entry from the work directory; on failure the entry goes again
// and the work directory is as it was.
int moveIntoStore(const std::string& workDir, const std::string& filesDir, std::string& name,
                  std::string* message) {
  UniqueFd work(openDirNoLinks(AT_FDCWD, workDir.c_str()));
  UniqueFd files(openDirNoLinks(AT_FDCWD, filesDir.c_str()));
  if (!work.valid() || !files.valid()) {
    *message = systemReason("Can't open " + workDir);
    return -1;
  }
  UniqueFd store;
  if (openStore(true, store, message) != StoreOpen::kOpened) return -1;
  if (makeEntry(store.get(), name, message) != 0) return -1;
  UniqueFd entry(openDirNoLinks(store.get(), name.c_str()));
  if (!entry.valid()) *message = systemReason("Can't open the new entry " + name);
  if (!entry.valid() || placeAll(work.get(), files.get(), entry.get(), message) != 0) {
    removeDirectoryTree((std::string(kKeptStorePath) + "/" + name).c_str());
    return -1;
  }
  fsync(store.get());
  unlinkat(work.get(), kKeptArchiveName, 0);
  unlinkat(work.get(), kKeptChecksumName, 0);
  unlinkat(work.get(), kKeptAttentionName, 0);
  unlinkat(files.get(), "description", 0);
  return 0;
}

bool allDigits(const std::string& text, size_t from, size_t count) {
  if (from + count > text.size()) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// An entry's name: the UTC time it was kept and its suffix (1 for none).
bool parseEntryName(const std::string& name, time_t& keptAt, int& suffix) {
  if (!allDigits(name, 0, 8) || name.size() < kEntryBaseLength || name[8] != '-' ||
      !allDigits(name, 9, 6)) {
    return false;
  }
  suffix = 1;
  if (name.size() > kEntryBaseLength) {
    size_t digits = name.size() - kEntryBaseLength - 1;
    if (name[kEntryBaseLength] != '-' || digits == 0 || digits > 3 ||
        !allDigits(name, kEntryBaseLength + 1, digits)) {
      return false;
    }
    suffix = atoi(name.c_str() + kEntryBaseLength + 1);
  }
  struct tm utc = {};
  utc.tm_year = atoi(name.substr(0, 4).c_str()) - 1900;
  utc.tm_mon = atoi(name.substr(4, 2).c_str()) - 1;
  utc.tm_mday = atoi(name.substr(6, 2).c_str());
  utc.tm_hour = atoi(name.substr(9, 2).c_str());
  utc.tm_min = atoi(name.substr(11, 2).c_str());
  utc.tm_sec = atoi(name.substr(13, 2).c_str());
  keptAt = timegm(&utc);
  return true;
}

// The "Subject:" line's value in the entry's contact file; empty when there
// is none or the file is not a regular one.
std::string readSubject(int entryFd) {
  UniqueFd in(openat(entryFd, kKeptContactName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!in.valid() || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  std::string text(kMaxContactBytes, '\0');
  ssize_t got = read(in.get(), &text[0], text.size());
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  static const std::string label = "Subject:";
  for (std::string& line : splitAt(text, '\n')) {
    if (line.compare(0, label.size(), label) != 0) continue;
    line.erase(0, label.size());
    trimBlank(line);
    return line;
  }
  return "";
}

bool readEntry(int storeFd, const std::string& name, KeptReport& report) {
  UniqueFd entry(openDirNoLinks(storeFd, name.c_str()));
  struct stat st;
  if (!entry.valid() || fstatat(entry.get(), kKeptArchiveName, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(st.st_mode)) {
    return false;
  }
  report.archivePath = std::string(kKeptStorePath) + "/" + name + "/" + kKeptArchiveName;
  report.archiveBytes = static_cast<long long>(st.st_size);
  report.subject = readSubject(entry.get());
  return true;
}

}  // namespace

int keepReport(ReportSession& s, std::string* message) {
  if (s.filesDir.empty()) return 0;
  std::string workDir = s.filesDir.substr(0, s.filesDir.rfind('/'));
  if (s.archivePath != workDir + "/" + kKeptArchiveName) return 0;
  s.keepWorkDir = true;
  std::string reason;
  std::string name;
  if (moveIntoStore(workDir, s.filesDir, name, &reason) != 0) {
    *message = "The report could not be kept in " + std::string(kKeptStorePath) + ": " + reason;
    return -1;
  }
  s.archivePath = std::string(kKeptStorePath) + "/" + name + "/" + kKeptArchiveName;
  s.keepWorkDir = false;
  return 0;
}

int removeKeptReport(const std::string& archivePath, bool& removed, std::string* message) {
  removed = false;
  std::unique_ptr<char, decltype(&free)> resolved(realpath(archivePath.c_str(), nullptr), &free);
  if (!resolved) return 0;
  std::string path(resolved.get());
  std::string prefix = std::string(kKeptStorePath) + "/";
  std::string suffix = std::string("/") + kKeptArchiveName;
  if (path.size() <= prefix.size() + suffix.size() || path.compare(0, prefix.size(), prefix) != 0 ||
      path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return 0;
  }
  std::string name = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
  time_t keptAt = 0;
  int number = 0;
  if (!parseEntryName(name, keptAt, number)) return 0;
  UniqueFd store;
  StoreOpen opened = openStore(false, store, message);
  if (opened != StoreOpen::kOpened) return opened == StoreOpen::kMissing ? 0 : -1;
  if (removeDirectoryTree((prefix + name).c_str()) != 0) {
    *message = "Can't remove " + prefix + name;
    return -1;
  }
  removed = true;
  return 0;
}

int listKeptReports(std::vector<KeptReport>& reports, std::string* message) {
  reports.clear();
  UniqueFd store;
  StoreOpen opened = openStore(false, store, message);
  if (opened != StoreOpen::kOpened) return opened == StoreOpen::kMissing ? 0 : -1;
  UniqueFd listed(dup(store.get()));
  UniqueDir dir(listed.valid() ? fdopendir(listed.get()) : nullptr);
  if (dir.get()) listed.release();
  if (!dir.get()) {
    *message = systemReason(std::string("Can't read ") + kKeptStorePath);
    return -1;
  }
  std::vector<std::tuple<time_t, int, KeptReport>> found;
  while (struct dirent* e = readdir(dir.get())) {
    KeptReport report;
    int suffix = 0;
    if (!parseEntryName(e->d_name, report.keptAt, suffix)) continue;
    if (readEntry(store.get(), e->d_name, report)) {
      found.emplace_back(report.keptAt, suffix, report);
    }
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
  });
  for (auto& entry : found) reports.push_back(std::move(std::get<2>(entry)));
  return 0;
}

}  // namespace cvreport
