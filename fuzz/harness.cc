#include "harness.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <map>
#include <memory>

extern "C" {
[[noreturn]] void __real__exit(int status);
}

namespace fuzz {
namespace {

struct Tools {
  bool active = false;
  ToolAnswer answer;
  int status = 0;
  std::vector<std::string> commands;
  // The text each open stream reads from lives until the command ends.
  std::map<FILE*, std::unique_ptr<std::string>> open;
};

Tools& tools() {
  static Tools* t = new Tools;
  return *t;
}

void ignoreError(void*, xmlErrorPtr) {}

void recordError(void* context, xmlErrorPtr error) {
  if (!error || error->level < XML_ERR_ERROR) return;
  auto* errors = static_cast<std::string*>(context);
  char line[64];
  snprintf(line, sizeof line, "line %d: ", error->line);
  *errors += line;
  *errors += error->message ? error->message : "(no message)";
}

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

const char kRoot[] = "FUZZ";
const char kEndMark[] = "FUZZ_END";

}  // namespace

void fail(const char* what, const std::string& detail) {
  fprintf(stderr, "\n*** FINDING: %s\n", what);
  if (!detail.empty()) {
    // Long documents are cut; the input reproduces all of it.
    fprintf(stderr, "%.*s%s\n", static_cast<int>(std::min<size_t>(detail.size(), 8192)),
            detail.c_str(), detail.size() > 8192 ? "\n[...]" : "");
  }
  abort();
}

ToolScope::ToolScope(ToolAnswer answer, int status) {
  Tools& t = tools();
  t.active = true;
  t.answer = std::move(answer);
  t.status = status;
  t.commands.clear();
}

ToolScope::~ToolScope() {
  Tools& t = tools();
  t.active = false;
  t.answer = nullptr;
  if (!t.open.empty()) fail("a command's output was never closed");
}

const std::vector<std::string>& ToolScope::commands() const { return tools().commands; }

MemFile::MemFile() : fd_(memfd_create("fuzz-input", 0)) {
  if (fd_ < 0) fail("memfd_create failed");
  snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
}

MemFile::~MemFile() { close(fd_); }

const char* MemFile::hold(const std::string& content) {
  if (ftruncate(fd_, 0) != 0) fail("ftruncate failed");
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = pwrite(fd_, content.data() + done, content.size() - done, static_cast<off_t>(done));
    if (n <= 0) fail("pwrite failed");
    done += static_cast<size_t>(n);
  }
  return path_;
}

std::vector<std::string> splitParts(const uint8_t* data, size_t size, size_t count) {
  std::vector<std::string> parts(count);
  size_t part = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0x1e && part + 1 < count) {
      ++part;
      continue;
    }
    parts[part] += static_cast<char>(data[i]);
  }
  return parts;
}

void quietXml() { xmlSetStructuredErrorFunc(nullptr, ignoreError); }

void checkWellFormed(const std::string& text) {
  std::string errors;
  xmlSetStructuredErrorFunc(&errors, recordError);
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "fuzz.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE);
  quietXml();
  if (doc) xmlFreeDoc(doc);
  if (!doc || !errors.empty()) fail("the document written is not well-formed", errors + "\n" + text);
}

void writeFromToolOutput(const uint8_t* data, size_t size,
                         const std::function<void(xmlTextWriterPtr)>& write) {
  std::string output(reinterpret_cast<const char*>(data), size);
  Document document;
  {
    ToolScope tool([&](const std::string&) { return output; });
    write(document.writer());
  }
  document.finish();
}

Document::Document() : buffer_(xmlBufferCreate()), writer_(xmlNewTextWriterMemory(buffer_, 0)) {
  if (!writer_ || xmlTextWriterStartDocument(writer_, nullptr, "UTF-8", nullptr) < 0 ||
      xmlTextWriterStartElement(writer_, X(kRoot)) < 0) {
    fail("cannot start the document");
  }
}

Document::~Document() {
  if (writer_) xmlFreeTextWriter(writer_);
  xmlBufferFree(buffer_);
}

std::string Document::finish() {
  // The mark lands right inside the root only when everything the code
  // opened has been closed.
  if (xmlTextWriterWriteElement(writer_, X(kEndMark), X("")) < 0 ||
      xmlTextWriterEndElement(writer_) < 0 || xmlTextWriterEndDocument(writer_) < 0) {
    fail("the document cannot be ended");
  }
  xmlFreeTextWriter(writer_);
  writer_ = nullptr;
  std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer_)),
                   static_cast<size_t>(xmlBufferLength(buffer_)));

  checkWellFormed(text);
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "fuzz.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE);
  if (!doc) fail("the document written cannot be read again", text);
  xmlNodePtr root = xmlDocGetRootElement(doc);
  xmlNodePtr last = root ? xmlGetLastChild(root) : nullptr;
  while (last && last->type != XML_ELEMENT_NODE) last = last->prev;
  bool balanced = root && xmlStrEqual(root->name, X(kRoot)) && last &&
                  xmlStrEqual(last->name, X(kEndMark));
  xmlFreeDoc(doc);
  if (!balanced) fail("an element opened by the code under test was left open", text);
  return text;
}

}  // namespace fuzz

using fuzz::tools;

// No shell is ever started: the product's commands are answered only
// inside a ToolScope.
extern "C" FILE* __wrap_cvsysinfo_start_command(const char* command, pid_t* pid) {
  auto& t = tools();
  if (!t.active) fuzz::fail("a command was run outside a ToolScope", command);
  t.commands.emplace_back(command);
  auto text = std::make_unique<std::string>(t.answer(command));
  // fmemopen wants at least one byte; an empty answer reads as /dev/null.
  FILE* stream = text->empty() ? fopen("/dev/null", "re")
                               : fmemopen(&(*text)[0], text->size(), "r");
  if (!stream) fuzz::fail("cannot open a stream for the tool's answer");
  t.open.emplace(stream, std::move(text));
  *pid = 0;
  return stream;
}

// A command given up on (kill_first) has no status of its own to give.
extern "C" int __wrap_cvsysinfo_end_command(FILE* stream, pid_t, int kill_first) {
  auto& t = tools();
  auto it = t.open.find(stream);
  if (it == t.open.end()) fuzz::fail("a command ended that was never started");
  fclose(stream);
  t.open.erase(it);
  return kill_first ? -1 : t.status;
}

extern "C" void __wrap__exit(int status) {
  char text[64];
  snprintf(text, sizeof text, "status %d", status);
  fuzz::fail("the code under test ended the process", text);
}

// Every target runs with libxml2's error printing quieted; libFuzzer calls
// this once, before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietXml();
  return 0;
}
