#include "diff/change_xml.h"

#include <libxml/xmlwriter.h>

#include <string>

#include "core/owners.h"
#include "diff/change_text.h"

namespace cvsysinfo {

namespace {

// Each call gives a negative result on failure; one failure fails all.
class Writer {
 public:
  explicit Writer(xmlTextWriterPtr writer) : writer_(writer) {}
  void start(const char* name) { check(xmlTextWriterStartElement(writer_, BAD_CAST name)); }
  void end() { check(xmlTextWriterEndElement(writer_)); }
  void attribute(const char* name, const std::string& value) {
    check(xmlTextWriterWriteAttribute(writer_, BAD_CAST name, BAD_CAST value.c_str()));
  }
  void text(const std::string& value) { check(xmlTextWriterWriteString(writer_, BAD_CAST value.c_str())); }
  void check(int rc) { failed_ = failed_ || rc < 0; }
  bool failed() const { return failed_; }

 private:
  xmlTextWriterPtr writer_;
  bool failed_ = false;
};

void write_header(Writer& writer, const char* name, const InventoryHeader& header) {
  writer.start(name);
  writer.attribute("file", header.file);
  if (!header.host.empty()) writer.attribute("host", header.host);
  if (!header.time.empty()) writer.attribute("time", header.time);
  if (!header.version.empty()) writer.attribute("version", header.version);
  writer.end();
}

void write_summary(Writer& writer, const ChangeSet& changes) {
  int counts[3] = {0, 0, 0};
  for (const ContainerChange& container : changes.containers) ++counts[static_cast<int>(container.change)];
  writer.start("summary");
  writer.attribute("containers-changed", std::to_string(counts[static_cast<int>(Change::kChanged)]));
  writer.attribute("containers-added", std::to_string(counts[static_cast<int>(Change::kAdded)]));
  writer.attribute("containers-removed", std::to_string(counts[static_cast<int>(Change::kRemoved)]));
  writer.attribute("node-changes", std::to_string(changes.node.size()));
  writer.attribute("template-changes", std::to_string(changes.templates.size()));
  writer.text(change_summary(changes));
  writer.end();
}

void write_items(Writer& writer, const std::vector<ChangeItem>& items) {
  for (const ChangeItem& item : items) {
    writer.start("item");
    writer.attribute("kind", item_kind_name(item.kind));
    writer.attribute("key", item.key);
    writer.attribute("change", change_word(item.kind, item.change));
    if (item.has_old) writer.attribute("old", item.old_value);
    if (item.has_new) writer.attribute("new", item.new_value);
    writer.end();
  }
}

void write_document(Writer& writer, const ChangeSet& changes) {
  writer.start("cvchanges");
  writer.attribute("version", CV_KIT_VERSION);
  writer.attribute("all", changes.all ? "yes" : "no");
  write_header(writer, "old", changes.old_header);
  write_header(writer, "new", changes.new_header);
  write_summary(writer, changes);
  writer.start("containers");
  for (const ContainerChange& container : changes.containers) {
    writer.start("container");
    writer.attribute("id", std::to_string(container.id));
    writer.attribute("change", change_word(ItemKind::kState, container.change));
    write_items(writer, container.items);
    writer.end();
  }
  writer.end();
  writer.start("node");
  write_items(writer, changes.node);
  writer.end();
  writer.start("templates");
  write_items(writer, changes.templates);
  writer.end();
  writer.end();
}

}  // namespace

int write_change_xml(const ChangeSet& changes, FILE* out) {
  XmlOutputOwner output(xmlOutputBufferCreateFile(out, nullptr));
  if (!output) return -1;
  XmlWriterOwner xml(xmlNewTextWriter(output.release()));
  if (!xml) return -1;
  Writer writer(xml.get());
  writer.check(xmlTextWriterSetIndent(xml.get(), 1));
  writer.check(xmlTextWriterSetIndentString(xml.get(), BAD_CAST "  "));
  writer.check(xmlTextWriterStartDocument(xml.get(), nullptr, "UTF-8", nullptr));
  write_document(writer, changes);
  writer.check(xmlTextWriterEndDocument(xml.get()));
  writer.check(xmlTextWriterFlush(xml.get()));
  xml.reset();
  return !writer.failed() && fflush(out) == 0 && !ferror(out) ? 0 : -1;
}

}  // namespace cvsysinfo
