// parseServerReply: whatever the upload worker (and through it the service)
// wrote, split into values and the message shown to the reporter, and the
// printable text the front ends and the log make of them.
#include <map>
#include <string>

#include "harness.h"
#include "run/text.h"
#include "submit/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::map<std::string, std::string> values;
  std::string message;
  cvreport::parseServerReply(text, values, message);
  if (message.size() > text.size()) fuzz::fail("message longer than the reply");
  if (!message.empty() && text.find(message) == std::string::npos) {
    fuzz::fail("message is not a piece of the reply", message);
  }
  for (const auto& [key, value] : values) {
    if (key.find('\n') != std::string::npos || value.find('\n') != std::string::npos) {
      fuzz::fail("a value spans lines", key + "=" + value);
    }
    if (!value.empty() && static_cast<unsigned char>(value.back()) <= 32) {
      fuzz::fail("a value keeps trailing blanks", value);
    }
    if (text.find(key + "=" + value) == std::string::npos) fuzz::fail("a value not in the reply", key);
  }
  // What the front ends and the log show of it: no control character but
  // the message's line feeds, and valid UTF-8 throughout.
  auto checkShown = [](const std::string& shown, bool lineFeeds) {
    for (size_t i = 0; i < shown.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(shown[i]);
      if ((c < 0x20 && !(lineFeeds && c == '\n')) || c == 0x7f) {
        fuzz::fail("a control character is shown", shown);
      }
      if (c == 0xc2 && i + 1 < shown.size() && static_cast<unsigned char>(shown[i + 1]) < 0xa0) {
        fuzz::fail("a C1 control is shown", shown);
      }
    }
    if (cvreport::printableText(shown, cvreport::LineBreaks::kKeep) != shown) {
      fuzz::fail("shown text is not printable text", shown);
    }
  };
  checkShown(cvreport::printableText(message, cvreport::LineBreaks::kKeep), true);
  for (const auto& [key, value] : values) {
    checkShown(cvreport::printableText(value, cvreport::LineBreaks::kSpace), false);
  }
  return 0;
}
