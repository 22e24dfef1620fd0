// parseServerReply: whatever the upload worker (and through it the service)
// wrote, split into values and the message shown to the reporter.
#include <map>
#include <string>

#include "harness.h"
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
  return 0;
}
