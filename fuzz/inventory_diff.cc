// cvsysinfo --diff: two documents from anywhere (an inventory copied from
// another host, a damaged file) are read, checked and compared; whatever
// they hold, the change document comes out well-formed and the text for
// people holds no byte a terminal would act on.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "diff/change_text.h"
#include "diff/change_xml.h"
#include "diff/compare.h"
#include "diff/inventory_reader.h"
#include "harness.h"

namespace {

xmlRelaxNGPtr schema() {
  static xmlRelaxNGPtr compiled = [] {
    fuzz::quietXml();
    std::string message;
    xmlRelaxNGPtr built = cvsysinfo::compile_inventory_schema(message).release();
    if (!built) fuzz::fail("the inventory grammar does not compile", message);
    return built;
  }();
  return compiled;
}

// What a writer puts on a stream in memory.
std::string written(int (*write)(const cvsysinfo::ChangeSet&, FILE*), const cvsysinfo::ChangeSet& changes) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  if (!out) fuzz::fail("open_memstream failed");
  int rc = write(changes, out);
  fclose(out);
  std::string result(text, size);
  free(text);
  if (rc != 0) fuzz::fail("a change writer failed on memory");
  return result;
}

void check(const cvsysinfo::ChangeSet& changes) {
  fuzz::checkWellFormed(written(cvsysinfo::write_change_xml, changes));
  std::string text = written(cvsysinfo::write_change_text, changes);
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool c1 = c == 0xc2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80;
    if ((c < 0x20 && c != '\n') || c == 0x7f || c1) fuzz::fail("the text holds a control character", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  fuzz::MemFile old_file, new_file;
  cvsysinfo::InventoryIndex old_index, new_index;
  std::string message;
  if (cvsysinfo::read_inventory(old_file.hold(parts[0]), schema(), old_index, message) != 0) return 0;
  if (cvsysinfo::read_inventory(new_file.hold(parts[1]), schema(), new_index, message) != 0) return 0;
  for (bool all : {false, true}) check(cvsysinfo::compare_inventories(old_index, new_index, all));
  return 0;
}
