// The document's file. A pipe or character device at the path is written
// into; anything else is replaced, once the document is complete, by a new
// file written beside it (".cvsysinfo.XXXXXX"), so the path never holds a
// cut document and a link there is replaced, not followed. The new file
// never outlives a run that did not finish: the owner removes it, and so
// does a writer failure (check_xml_rc) or SIGINT, SIGTERM, SIGHUP or
// SIGPIPE, which also stop the commands still running and then end the
// process as the signal would have. A pipe or device owned by another
// user, not given by the caller's own descriptors, is refused.
#pragma once

#include <libxml/xmlIO.h>
#include <signal.h>

#include <string>

#include "core/owners.h"

namespace cvsysinfo {

class OutputFile {
 public:
  // The signals taken over.
  static constexpr size_t kEndingSignalCount = 4;

  OutputFile() = default;
  // Removes a new file not put in place and gives the signals back their
  // earlier handling.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens output_path ("-" is standard output) and takes over SIGINT,
  // SIGTERM, SIGHUP and SIGPIPE (those not ignored) until the owner goes;
  // false, errno set, when the file cannot be made or is refused (EPERM,
  // said so here). One OutputFile at a time.
  bool open(const char* output_path);
  // An output into the file for the writer, which owns and closes it; null
  // when libxml2 cannot make one.
  xmlOutputBufferPtr make_output();
  // Once the writer closed the output: whether a write, the close or, for
  // a new file, the sync to disk failed.
  bool failed() const { return failed_; }
  // Puts the new file in the path's place (nothing to do when the path was
  // written into); false, errno set and the new file removed, when the
  // rename fails.
  bool put_in_place();

 private:
  static int write_output(void* context, const char* buffer, int length);
  static int close_output(void* context);

  FdOwner fd_;
  std::string path_;
  bool replace_ = false;
  bool failed_ = false;
  bool signals_taken_ = false;
  struct sigaction previous_[kEndingSignalCount];
};

}  // namespace cvsysinfo
