#include "submit/report_review.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>

#include "run/unique_handles.h"

namespace cvreport {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;
constexpr char kExcludedNote[] = "\texcluded\tby the reporter\n";

using ArchiveReader = std::unique_ptr<archive, decltype(&archive_read_free)>;
using ArchiveWriter = std::unique_ptr<archive, decltype(&archive_write_free)>;

std::string entryName(archive_entry* entry) {
  const char* raw = archive_entry_pathname(entry);
  std::string name = raw ? raw : "";
  while (name.compare(0, 2, "./") == 0) name.erase(0, 2);
  return name;
}

// Opens the archive as the collector packs it: a gzip'd tar and nothing else.
ArchiveReader openReader(const std::string& path, std::string* message) {
  ArchiveReader reader(archive_read_new(), archive_read_free);
  if (!reader) {
    *message = "Can't read " + path + ": out of memory";
    return ArchiveReader(nullptr, archive_read_free);
  }
  archive_read_support_filter_gzip(reader.get());
  archive_read_support_format_tar(reader.get());
  if (archive_read_open_filename(reader.get(), path.c_str(), kBlockBytes) != ARCHIVE_OK) {
    *message = "Can't read " + path + ": " + archive_error_string(reader.get());
    return ArchiveReader(nullptr, archive_read_free);
  }
  return reader;
}

// Counts kMaskedValue in a stream read in blocks; a value may straddle two.
struct MaskCounter {
  size_t count = 0;
  size_t run = 0;  // '*' bytes just seen
  void feed(const char* data, size_t size) {
    const size_t width = strlen(kMaskedValue);
    for (size_t i = 0; i < size; ++i) {
      run = data[i] == '*' ? run + 1 : 0;
      if (run == width) {
        ++count;
        run = 0;
      }
    }
  }
};

// Reads the current entry's data in blocks into sink; -1 on a read error.
template <typename Sink>
int readEntryData(archive* reader, Sink sink) {
  std::array<char, kBlockBytes> block;
  la_ssize_t got;
  while ((got = archive_read_data(reader, block.data(), block.size())) > 0) {
    sink(block.data(), static_cast<size_t>(got));
  }
  return got < 0 ? -1 : 0;
}

int sha256File(const std::string& path, std::string& hex) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                   EVP_MD_CTX_free);
  if (fd.get() < 0 || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    return -1;
  }
  std::array<char, kBlockBytes> block;
  ssize_t got;
  while ((got = read(fd.get(), block.data(), block.size())) > 0) {
    EVP_DigestUpdate(context.get(), block.data(), static_cast<size_t>(got));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (got < 0 || EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return -1;
  hex.clear();
  for (unsigned int i = 0; i < length; ++i) {
    char pair[3];
    snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return 0;
}

// Writes "HASH  NAME" for the new archive when the collector wrote one.
int rewriteChecksum(const std::string& archivePath, std::string* message) {
  std::string sumPath = archivePath + ".sha256";
  struct stat st;
  if (lstat(sumPath.c_str(), &st) != 0) return 0;
  std::string hex;
  std::string base = archivePath.substr(archivePath.rfind('/') + 1);
  std::string line;
  if (sha256File(archivePath, hex) == 0) line = hex + "  " + base + "\n";
  UniqueFd fd(open(sumPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW));
  if (line.empty() || fd.get() < 0 ||
      write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    *message = "Can't write " + sumPath;
    return -1;
  }
  return 0;
}

// Copies every entry of reader to writer, each regular file's text through
// edit, which may leave it out; -1 with the reason.
int copyEntries(archive* reader, archive* writer, const ReportFileEdit& edit,
                std::string* message) {
  archive_entry* entry;
  int status;
  while ((status = archive_read_next_header(reader, &entry)) == ARCHIVE_OK) {
    std::string name = entryName(entry);
    std::string data;
    if (readEntryData(reader, [&data](const char* d, size_t n) { data.append(d, n); }) != 0) {
      break;
    }
    if (archive_entry_filetype(entry) == AE_IFREG) {
      if (!edit(name, data)) continue;
      archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
    }
    if (archive_write_header(writer, entry) != ARCHIVE_OK ||
        (!data.empty() && archive_write_data(writer, data.data(), data.size()) !=
                              static_cast<la_ssize_t>(data.size()))) {
      *message = std::string("Can't pack the report again: ") + archive_error_string(writer);
      return -1;
    }
  }
  if (status != ARCHIVE_EOF) {
    *message = std::string("Can't read the report: ") + archive_error_string(reader);
    return -1;
  }
  return 0;
}

}  // namespace

int listReportContents(const std::string& archivePath, ReportContents& contents,
                       std::string* message) {
  ArchiveReader reader = openReader(archivePath, message);
  if (!reader) return -1;
  contents = ReportContents();
  archive_entry* entry;
  int status;
  while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    ReviewFile file{entryName(entry), archive_entry_size(entry), 0};
    MaskCounter masks;
    std::string skipped;
    bool isSkipped = file.name == kSkippedEntry;
    int read = readEntryData(reader.get(), [&](const char* data, size_t size) {
      masks.feed(data, size);
      if (isSkipped) skipped.append(data, size);
    });
    if (read != 0) break;
    file.maskedValues = masks.count;
    contents.files.push_back(file);
    size_t start = 0, end;
    while ((end = skipped.find('\n', start)) != std::string::npos) {
      std::string line = skipped.substr(start, end - start);
      if (!line.empty() && line[0] != '#') contents.withheld.push_back(line);
      start = end + 1;
    }
  }
  if (status != ARCHIVE_EOF) {
    *message = "Can't read " + archivePath + ": " + archive_error_string(reader.get());
    return -1;
  }
  std::sort(contents.files.begin(), contents.files.end(),
            [](const ReviewFile& a, const ReviewFile& b) { return a.name < b.name; });
  return 0;
}

int readReportFile(const std::string& archivePath, const std::string& name, size_t maxBytes,
                   std::string& text, bool& truncated, std::string* message) {
  ArchiveReader reader = openReader(archivePath, message);
  if (!reader) return -1;
  text.clear();
  truncated = false;
  archive_entry* entry;
  while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
    if (archive_entry_filetype(entry) != AE_IFREG || entryName(entry) != name) continue;
    int read = readEntryData(reader.get(), [&](const char* data, size_t size) {
      size_t room = maxBytes - text.size();
      text.append(data, size < room ? size : room);
      if (size > room) truncated = true;
    });
    if (read == 0) return 0;
    break;
  }
  *message = "Can't read " + name + " from " + archivePath;
  return -1;
}

int readReportFiles(const std::string& archivePath, const ReportFileVisit& visit,
                    std::string* message) {
  ArchiveReader reader = openReader(archivePath, message);
  if (!reader) return -1;
  archive_entry* entry;
  int status;
  while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    std::string data;
    if (readEntryData(reader.get(), [&data](const char* d, size_t n) { data.append(d, n); }) !=
        0) {
      break;
    }
    visit(entryName(entry), data);
  }
  if (status != ARCHIVE_EOF) {
    *message = "Can't read " + archivePath + ": " + archive_error_string(reader.get());
    return -1;
  }
  return 0;
}

int repackReport(const std::string& archivePath, const ReportFileEdit& edit,
                 std::string* message) {
  ArchiveReader reader = openReader(archivePath, message);
  if (!reader) return -1;
  std::string tmpPath = archivePath + ".repack";
  ArchiveWriter writer(archive_write_new(), archive_write_free);
  if (!writer || archive_write_add_filter_gzip(writer.get()) != ARCHIVE_OK ||
      archive_write_set_format_gnutar(writer.get()) != ARCHIVE_OK ||
      archive_write_open_filename(writer.get(), tmpPath.c_str()) != ARCHIVE_OK) {
    *message = "Can't pack the report again in " + tmpPath;
    unlink(tmpPath.c_str());
    return -1;
  }
  int copied = copyEntries(reader.get(), writer.get(), edit, message);
  bool closed = archive_write_close(writer.get()) == ARCHIVE_OK;
  if (copied != 0 || !closed || rename(tmpPath.c_str(), archivePath.c_str()) != 0) {
    if (copied == 0) *message = "Can't replace " + archivePath + " with the packed report";
    unlink(tmpPath.c_str());
    return -1;
  }
  return rewriteChecksum(archivePath, message);
}

int excludeFromReport(const std::string& archivePath, const std::set<std::string>& excluded,
                      std::string* message) {
  if (excluded.empty()) return 0;
  return repackReport(
      archivePath,
      [&excluded](const std::string& name, std::string& data) {
        if (excluded.count(name)) return false;
        if (name == kManifestMember) {
          for (const std::string& file : excluded) data += file + kExcludedNote;
        }
        return true;
      },
      message);
}

}  // namespace cvreport
