// What the fuzz targets share. The product code reads the outside world
// through commands, files and libxml2's writer; here those become the fuzzer's
// bytes, and what the code writes is checked as strictly as a consumer of the
// inventory would read it.
#pragma once

#include <libxml/xmlwriter.h>
#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace fuzz {

// Stops the run with a finding: libFuzzer keeps the input that led here.
[[noreturn]] void fail(const char* what, const std::string& detail = std::string());

// While a ToolScope lives, every command the code under test starts is
// answered by `answer` (given the command text) instead of running a shell,
// and its end gives `status`; a command outside a ToolScope is a finding.
// The link options (-Wl,--wrap=cvsysinfo_start_command,...,_exit) route the
// product's calls here; a product call of _exit, which the inventory makes
// when a writer call fails, is a finding.
using ToolAnswer = std::function<std::string(const std::string& command)>;
class ToolScope {
 public:
  explicit ToolScope(ToolAnswer answer, int status = 0);
  ~ToolScope();
  ToolScope(const ToolScope&) = delete;
  ToolScope& operator=(const ToolScope&) = delete;
  // The commands run so far, in order.
  const std::vector<std::string>& commands() const;
};

// A file holding given bytes, under a path that open() and fopen() accept
// (a memory file, so that no disk is touched at fuzzing speed).
class MemFile {
 public:
  MemFile();
  ~MemFile();
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;
  const char* hold(const std::string& content);
  const char* path() const { return path_; }

 private:
  int fd_;
  char path_[64];
};

// Splits an input into at most `count` parts at the byte 0x1e (the ASCII
// record separator, which tool output does not use), so that one input can
// feed several tools or files. Missing parts are empty.
std::vector<std::string> splitParts(const uint8_t* data, size_t size, size_t count);

// The inventory's report writer, on memory, inside a root element. finish()
// ends the document and fails unless it is well-formed, namespaces
// included (as a strict consumer such as expat reads it), and every element
// the code under test opened has been closed again.
class Document {
 public:
  Document();
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  xmlTextWriterPtr writer() const { return writer_; }
  std::string finish();

 private:
  xmlBufferPtr buffer_;
  xmlTextWriterPtr writer_;
};

// Fails unless text is a well-formed XML document, namespaces included,
// as a strict consumer such as expat reads it.
void checkWellFormed(const std::string& text);

// Quiets libxml2's error printing for the whole run (the embedded-XML
// reader reports every malformed input on stderr otherwise).
void quietXml();

// Writes with `write` into a fresh Document while every command the code
// under test runs prints the fuzzer's bytes, then finishes the document,
// which must come out well-formed.
void writeFromToolOutput(const uint8_t* data, size_t size,
                         const std::function<void(xmlTextWriterPtr)>& write);

}  // namespace fuzz
