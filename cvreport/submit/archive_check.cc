#include "submit/archive_check.h"

#include <archive.h>
#include <archive_entry.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace cvreport {
namespace {

struct ArchiveFree {
  void operator()(struct archive* a) const { archive_read_free(a); }
};
using ArchiveReader = std::unique_ptr<struct archive, ArchiveFree>;

// The archive's bytes as libarchive asks for them, by position, so that
// the upload later reads the same descriptor from its start.
struct PreadSource {
  int fd;
  off_t offset = 0;
  std::vector<char> buffer = std::vector<char>(64 * 1024);
};

la_ssize_t readAtOffset(struct archive* a, void* data, const void** block) {
  auto* source = static_cast<PreadSource*>(data);
  ssize_t got;
  do {
    got = pread(source->fd, source->buffer.data(), source->buffer.size(), source->offset);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    archive_set_error(a, errno, "%s", strerror(errno));
    return -1;
  }
  source->offset += got;
  *block = source->buffer.data();
  return got;
}

// Only gzip over tar: a bare tar, another compression or a second layer
// is not what the collector packs.
bool isGzipTar(struct archive* a) {
  return archive_filter_count(a) == 2 && archive_filter_code(a, 0) == ARCHIVE_FILTER_GZIP &&
         (archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR;
}

// Reads the current entry to its end, keeping its first limit bytes in
// kept (when given); false when the data cannot be read.
bool readEntry(struct archive* a, std::string* kept, size_t limit, bool& over) {
  over = false;
  char chunk[16 * 1024];
  for (;;) {
    la_ssize_t got = archive_read_data(a, chunk, sizeof chunk);
    if (got < 0) return false;
    if (got == 0) return true;
    if (!kept) continue;
    size_t room = limit - kept->size();
    if (static_cast<size_t>(got) > room) over = true;
    kept->append(chunk, over ? room : static_cast<size_t>(got));
  }
}

std::string entryName(struct archive_entry* entry) {
  const char* path = archive_entry_pathname(entry);
  std::string name = path ? path : "";
  if (name.compare(0, 2, "./") == 0) name.erase(0, 2);
  return name;
}

struct Seen {
  bool manifest = false;
  bool contact = false;
  bool contactOver = false;
};

// Takes in one entry; false when its data is damaged.
bool takeEntry(struct archive* a, struct archive_entry* entry, ReportArchive& found, Seen& seen) {
  std::string name = entryName(entry);
  bool regular = archive_entry_filetype(entry) == AE_IFREG && !archive_entry_hardlink(entry);
  bool over = false;
  if (regular && name == kContactEntry) {
    found.contactText.clear();
    seen.contact = true;
    if (!readEntry(a, &found.contactText, kMaxContactBytes, over)) return false;
    seen.contactOver = over;
    return true;
  }
  if (regular && name == kReleaseEntry) {
    found.releaseText.clear();
    found.hasRelease = true;
    return readEntry(a, &found.releaseText, kMaxReleaseBytes, over);
  }
  if (regular && name == kManifestEntry) seen.manifest = true;
  return readEntry(a, nullptr, 0, over);
}

// A reader of the gzip-compressed data behind fd, as a tar or, with raw,
// as the bare bytes; opened tells whether it could start (its error says
// why not).
ArchiveReader openGzipReader(PreadSource& source, bool raw, bool& opened) {
  ArchiveReader reader(archive_read_new());
  struct archive* a = reader.get();
  opened = a && archive_read_support_filter_gzip(a) == ARCHIVE_OK &&
           (raw ? archive_read_support_format_raw(a) : archive_read_support_format_tar(a)) ==
               ARCHIVE_OK &&
           archive_read_open(a, &source, nullptr, readAtOffset, nullptr) == ARCHIVE_OK;
  return reader;
}

// Whether data that is no tar is whole: then it is something else (perhaps
// compressed), and otherwise a damaged archive, whose start cannot tell a
// tar apart. False with libarchive's reason.
bool gzipIsWhole(int fd, std::string& why) {
  PreadSource source{fd};
  bool opened = false;
  ArchiveReader reader = openGzipReader(source, true, opened);
  struct archive* a = reader.get();
  if (!a) return true;
  struct archive_entry* entry = nullptr;
  bool over = false;
  if (opened) {
    if (archive_filter_code(a, 0) != ARCHIVE_FILTER_GZIP) return true;
    if (archive_read_next_header(a, &entry) >= ARCHIVE_WARN && readEntry(a, nullptr, 0, over)) {
      return true;
    }
  } else if (archive_errno(a) == EILSEQ) {  // libarchive's "unrecognized format"
    return true;
  }
  const char* text = archive_error_string(a);
  why = text ? text : "it cannot be read";
  return false;
}

std::string damagedText(struct archive* a, const std::string& name) {
  const char* why = archive_error_string(a);
  return name + " is damaged: " + (why ? why : "it cannot be read");
}

}  // namespace

int openReportArchive(const std::string& path, UniqueFd& fd, off_t& size, std::string* message) {
  // Not blocking: a FIFO or a device behind the name must not hold the run.
  fd.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) {
    *message = "Can't open " + path + ": " + strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) {
    *message = "Can't open " + path + ": " + strerror(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    *message = path + " is not a regular file";
    return -1;
  }
  size = st.st_size;
  return 0;
}

ArchiveVerdict inspectReportArchive(int fd, const std::string& name, ReportArchive& found,
                                    std::string* message) {
  found = ReportArchive();
  PreadSource source{fd};
  bool opened = false;
  ArchiveReader reader = openGzipReader(source, false, opened);
  struct archive* a = opened ? reader.get() : nullptr;
  Seen seen;
  bool first = true;
  for (;; first = false) {
    struct archive_entry* entry = nullptr;
    int read = a ? archive_read_next_header(a, &entry) : ARCHIVE_FATAL;
    if (first && (read < ARCHIVE_WARN || !isGzipTar(a))) {
      std::string why;
      bool whole = gzipIsWhole(fd, why);
      *message = whole ? name + " is not a gzip-compressed tar archive"
                       : name + " is damaged: " + why;
      return whole ? ArchiveVerdict::kNotTarGz : ArchiveVerdict::kDamaged;
    }
    if (read == ARCHIVE_EOF) break;
    if (read < ARCHIVE_WARN || !takeEntry(a, entry, found, seen)) {
      *message = damagedText(a, name);
      return ArchiveVerdict::kDamaged;
    }
  }
  const char* lacks = !seen.manifest  ? "it has no collector manifest"
                      : !seen.contact ? "it has no contact file"
                      : seen.contactOver ? "its contact file is over 1 MiB"
                                         : nullptr;
  if (!lacks) return ArchiveVerdict::kReport;
  *message = name + " is not a cvreport archive: " + lacks;
  return ArchiveVerdict::kNotReport;
}

int checkArchiveSize(const std::string& name, unsigned long long size, unsigned long long limit,
                     std::string* message) {
  if (limit == 0 || size <= limit) return 0;
  *message = name + " is " + std::to_string(size) + " bytes, larger than the " +
             std::to_string(limit) + " bytes the service accepts (SUBMIT_MAX_SIZE)";
  return -1;
}

int checkArchiveFileSize(const std::string& path, unsigned long long limit, std::string* message) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  // A report run's archive is about to move to the kept store, where the
  // hints that follow name it: the sentence names no path of its own.
  return checkArchiveSize("The report archive", st.st_size, limit, message);
}

}  // namespace cvreport
