// The imgtrim log: its "Stats" lines become attributes named by the log.
#include <string>

#include "harness.h"
#include "node/imgtrim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemFile log;
  std::string text(reinterpret_cast<const char*>(data), size);
  fuzz::Document document;
  cvsysinfo::add_imgtrim_info(document.writer(), log.hold(text));
  document.finish();
  return 0;
}
