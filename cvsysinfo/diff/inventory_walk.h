// The walk over a streamed inventory that keeps only what is compared:
// fed one reader node at a time, it fills an InventoryIndex.
#pragma once

#include <libxml/xmlreader.h>

#include <map>
#include <string>
#include <vector>

#include "diff/item_table.h"

namespace cvsysinfo {

class InventoryWalk {
 public:
  explicit InventoryWalk(InventoryIndex& index) : index_(index) {}
  // Takes the node the reader stands on.
  void step(xmlTextReaderPtr reader);
  // Seals the tables once the document has ended.
  void finish();

 private:
  void start(xmlTextReaderPtr reader);
  void end();
  void start_container(xmlTextReaderPtr reader);
  void end_container();
  void start_node(xmlTextReaderPtr reader);
  void end_node();
  void end_node_group();
  void end_template();
  bool at(size_t from, std::initializer_list<const char*> names) const;
  std::string joined(size_t from) const;

  InventoryIndex& index_;
  std::vector<std::string> path_;  // below CVLIN: path_[0] is the section
  std::vector<bool> has_children_;
  std::string text_;
  // What a group of elements gives one item from (a container, a Docker
  // image, a volume group, a RAID device, a template).
  ItemTable container_;
  long ctid_ = -1;
  std::map<std::string, std::string> group_;
  std::string members_;
};

}  // namespace cvsysinfo
