// inspectReportArchive and parseContactFile: a file given to cvreport --send,
// which may be anything at all, read back as a report archive.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "harness.h"
#include "run/unique_handles.h"
#include "submit/archive_check.h"
#include "submit/contact_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cvreport::UniqueFd fd(memfd_create("archive", MFD_CLOEXEC));
  if (!fd.valid() || write(fd.get(), data, size) != static_cast<ssize_t>(size)) {
    fuzz::fail("the input could not be put in a file");
  }
  cvreport::ReportArchive found;
  std::string message;
  cvreport::ArchiveVerdict verdict =
      cvreport::inspectReportArchive(fd.get(), "in.tgz", found, &message);
  if (verdict != cvreport::ArchiveVerdict::kReport) {
    // Every refusal names the file, on one line once shown.
    if (message.compare(0, 7, "in.tgz ") != 0) fuzz::fail("a refusal without the name", message);
    return 0;
  }
  if (found.contactText.size() > cvreport::kMaxContactBytes) fuzz::fail("contact file over its bound");
  if (found.releaseText.size() > cvreport::kMaxReleaseBytes) fuzz::fail("release file over its bound");
  if (lseek(fd.get(), 0, SEEK_CUR) != static_cast<off_t>(size)) {
    fuzz::fail("the inspection moved the offset the upload starts from");
  }
  cvreport::ContactInfo contact;
  if (cvreport::parseContactFile(found.contactText, contact) == 0 &&
      contact.fullName.size() + contact.description.size() > found.contactText.size()) {
    fuzz::fail("fields longer than the contact file");
  }
  return 0;
}
