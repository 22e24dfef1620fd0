#include "diff/inventory_walk.h"

#include <stdlib.h>
#include <string.h>

#include "diff/netstat_ports.h"

namespace cvsysinfo {

namespace {

std::string attribute(xmlTextReaderPtr reader, const char* name) {
  xmlChar* value = xmlTextReaderGetAttribute(reader, BAD_CAST name);
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

// The "Id" of a Docker inspection's JSON, its first occurrence.
std::string docker_id(const std::string& conf) {
  size_t at = conf.find("\"Id\"");
  if (at == std::string::npos) return "";
  at += 4;
  while (at < conf.size() && (conf[at] == ' ' || conf[at] == ':' || conf[at] == '\t')) ++at;
  if (at >= conf.size() || conf[at] != '"') return "";
  size_t end = conf.find('"', at + 1);
  return end == std::string::npos ? "" : conf.substr(at + 1, end - at - 1);
}

bool is_cached(const std::string& value) {
  return value == "1" || strcasecmp(value.c_str(), "yes") == 0;
}

}  // namespace

void InventoryWalk::step(xmlTextReaderPtr reader) {
  switch (xmlTextReaderNodeType(reader)) {
    case XML_READER_TYPE_ELEMENT:
      start(reader);
      if (xmlTextReaderIsEmptyElement(reader)) end();
      break;
    case XML_READER_TYPE_END_ELEMENT:
      end();
      break;
    case XML_READER_TYPE_TEXT:
    case XML_READER_TYPE_CDATA:
    case XML_READER_TYPE_SIGNIFICANT_WHITESPACE: {
      const xmlChar* value = xmlTextReaderConstValue(reader);
      if (value) text_ += reinterpret_cast<const char*>(value);
      break;
    }
    default:
      break;
  }
}

void InventoryWalk::start(xmlTextReaderPtr reader) {
  text_.clear();
  if (xmlTextReaderDepth(reader) == 0) {
    index_.header.host = attribute(reader, "host");
    index_.header.time = attribute(reader, "time");
    index_.header.version = attribute(reader, "version");
    return;
  }
  if (!has_children_.empty()) has_children_.back() = true;
  path_.emplace_back(reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader)));
  has_children_.push_back(false);
  if (at(0, {"CONTAINERS", "CT"}) && path_.size() == 2) {
    container_ = ItemTable();
    ctid_ = -1;
  }
  if (at(0, {"CONTAINERS", "CT"})) start_container(reader);
  if (at(0, {"NODE"})) start_node(reader);
}

void InventoryWalk::end() {
  if (path_.empty()) return;
  if (at(0, {"CONTAINERS", "CT"})) {
    end_container();
  } else if (at(0, {"NODE"})) {
    end_node();
  } else if (at(0, {"CVTEMPLATES", "TEMPLATE"})) {
    end_template();
  }
  path_.pop_back();
  has_children_.pop_back();
  text_.clear();
}

bool InventoryWalk::at(size_t from, std::initializer_list<const char*> names) const {
  if (path_.size() < from + names.size()) return false;
  size_t at = from;
  for (const char* name : names)
    if (path_[at++] != name) return false;
  return true;
}

std::string InventoryWalk::joined(size_t from) const {
  std::string path;
  for (size_t at = from; at < path_.size(); ++at) path += (path.empty() ? "" : "/") + path_[at];
  return path;
}

void InventoryWalk::start_container(xmlTextReaderPtr reader) {
  if (path_.size() == 4 && at(2, {"InstalledSoftware", "Package"})) {
    std::string name = attribute(reader, "name"), arch = attribute(reader, "arch");
    if (!name.empty()) container_.add(ItemKind::kPackage, arch.empty() ? name : name + "." + arch,
                                      attribute(reader, "evr"));
  }
}

void InventoryWalk::end_container() {
  const size_t depth = path_.size();
  const bool leaf = !has_children_.back();
  if (depth == 2) {
    if (ctid_ == 0) {
      for (const auto& entry : container_.entries())
        index_.node.add(entry.kind, container_.key(entry), container_.value(entry));
    } else if (ctid_ > 0) {
      container_.seal();
      index_.containers[ctid_] = std::move(container_);
    }
    container_ = ItemTable();
  } else if (depth == 3 && path_[2] == "CTID") {
    ctid_ = strtol(text_.c_str(), nullptr, 10);
  } else if (depth == 3 && path_[2] == "STATE") {
    container_.add(ItemKind::kState, "state", text_);
  } else if (depth >= 4 && leaf && path_[2] == "CONF") {
    container_.add(ItemKind::kConfig, joined(3), text_);
  } else if (depth == 3 && path_[2] == "Ports") {
    add_listening_ports(text_, container_);
  } else if (depth == 3 && leaf && (path_[2] == "AllProcesses" || path_[2] == "Resources" || path_[2] == "IoStat")) {
    container_.add(ItemKind::kVolatile, path_[2], text_);
  } else if (depth == 4 && (at(2, {"DiskSpace"}) || at(2, {"Inodes"})) && path_[3] != "Size" && path_[3] != "Count") {
    container_.add(ItemKind::kVolatile, joined(2), text_);
  } else if (depth == 6 && at(2, {"Docker", "Images", "Image"})) {
    group_[path_[5]] = text_;
  } else if (depth == 5 && at(2, {"Docker", "Images", "Image"})) {
    std::string detail = group_["Repository"] + ":" + group_["Tag"];
    std::string id = docker_id(group_["Conf"]);
    if (!id.empty()) container_.add(ItemKind::kDockerImage, id, detail);
    group_.clear();
  } else if (depth == 6 && at(2, {"Docker", "Containers", "CT", "Conf"})) {
    std::string id = docker_id(text_);
    if (!id.empty()) container_.add(ItemKind::kDockerContainer, id, "");
  }
}

void InventoryWalk::start_node(xmlTextReaderPtr reader) {
  if (at(1, {"tessel", "cluster"}) && path_.size() == 3) {
    index_.node.add(ItemKind::kCluster, attribute(reader, "name"), attribute(reader, "status"));
  } else if (at(1, {"high-availability", "state"}) && path_.size() == 3) {
    index_.node.add(ItemKind::kHaMaster, "master", attribute(reader, "master"));
  } else if (at(1, {"high-availability", "state", "node"}) && path_.size() == 4) {
    index_.node.add(ItemKind::kHaMember, attribute(reader, "name"), attribute(reader, "alive"));
  } else if (at(1, {"imgtrim", "Stats"}) && path_.size() == 3) {
    std::string stats = attribute(reader, "ct") + " " + attribute(reader, "image") + " " +
                        attribute(reader, "before") + " " + attribute(reader, "after");
    index_.node.add(ItemKind::kVolatile, "imgtrim/Stats", stats);
  }
}

void InventoryWalk::end_node() {
  const size_t depth = path_.size();
  const bool leaf = !has_children_.back();
  ItemTable& node = index_.node;
  if (depth == 2 && (path_[1] == "TOTAL_CT" || path_[1] == "RUNNING_CT")) {
    node.add(ItemKind::kContainerCount, path_[1] == "TOTAL_CT" ? "total" : "running", text_);
  } else if (depth >= 3 && leaf && path_[1] == "CONF") {
    node.add(ItemKind::kConfig, joined(2), text_);
  } else if (depth == 2 && (path_[1] == "MemoryUsage" || path_[1] == "DiskSpaceUsage" || path_[1] == "VESTAT")) {
    node.add(ItemKind::kVolatile, path_[1], text_);
  } else if (depth == 3 && (at(1, {"YumRepositories", "configtime"}) || at(1, {"YumRepositories", "pkgsacktime"}))) {
    node.add(ItemKind::kVolatile, joined(1), text_);
  } else if (depth == 3 && at(1, {"hardware", "ram"})) {
    node.add(ItemKind::kMemoryTotal, "memory", text_);
  } else if (depth == 4 && at(1, {"hardware", "cpu", "logical"})) {
    node.add(ItemKind::kCpuCount, "cpus", text_);
  } else if (depth == 4 && at(1, {"hardware", "cpu", "model-name"})) {
    node.add(ItemKind::kCpuModel, "model", text_);
  } else if (depth == 4 && at(1, {"hardware", "numa", "nodes"})) {
    node.add(ItemKind::kNumaNodes, "nodes", text_);
  } else if (depth == 4 && at(1, {"hardware", "cpu", "layout"})) {
    node.add(ItemKind::kCpuLayout, "layout", group_["sockets"] + " sockets x " + group_["cores-per-socket"] +
                                                  " cores x " + group_["threads-per-core"] + " threads");
    group_.clear();
  } else if (depth >= 4 && leaf && at(1, {"Hdimgs"}) && path_[3] == "pstat") {
    node.add(ItemKind::kVolatile, "Hdimgs/" + path_[2] + "/pstat", text_);
  } else if (depth == 3 && at(1, {"Hdimgs"})) {
    node.add(ItemKind::kHdimg, path_[2], group_["size"]);
    group_.clear();
  } else if (depth == 4 && at(1, {"Hdimgs"}) && path_[3] == "size") {
    group_["size"] = text_;
  } else if (depth == 5 && (at(1, {"hardware", "cpu", "layout"}) || at(1, {"lvm", "groups", "group"}) ||
                            at(1, {"dmraid", "sets", "set"}))) {
    group_[path_[depth - 1]] = text_;
  } else if (depth == 4 && at(1, {"software_raid", "device"})) {
    group_[path_[3]] = text_;
    if (path_[3].compare(0, 10, "MD_DEVICE_") == 0 && path_[3].size() > 14 &&
        path_[3].compare(path_[3].size() - 4, 4, "_DEV") == 0)
      members_ += " " + text_;
  } else {
    end_node_group();
  }
}

// The end of an element that groups one item's values.
void InventoryWalk::end_node_group() {
  ItemTable& node = index_.node;
  if (path_.size() == 4 && at(1, {"lvm", "groups", "group"})) {
    node.add(ItemKind::kVolumeGroup, group_["VG"], group_["VSize"] + ", " + group_["Attr"]);
    node.add(ItemKind::kVolatile, "volume-group " + group_["VG"] + " VFree", group_["VFree"]);
  } else if (path_.size() == 3 && at(1, {"software_raid", "device"})) {
    std::string count = group_["MD_DEVICES"];
    node.add(ItemKind::kSoftwareRaid, group_["name"],
             group_["MD_LEVEL"] + ", " + count + (count == "1" ? " device:" : " devices:") + members_);
    members_.clear();
  } else if (path_.size() == 4 && at(1, {"dmraid", "sets", "set"})) {
    node.add(ItemKind::kBiosRaid, group_["raidname"], group_["status"]);
  } else {
    return;
  }
  group_.clear();
}

void InventoryWalk::end_template() {
  if (path_.size() == 3) {
    group_[path_[2]] = text_;
  } else if (path_.size() == 2) {
    const std::string& name = group_["Name"];
    index_.templates.add(ItemKind::kTemplate, name, is_cached(group_["IsCached"]) ? "cached" : "not cached");
    index_.templates.add(ItemKind::kVolatile, "template " + name + " Timestamp", group_["Timestamp"]);
    group_.clear();
  }
}

void InventoryWalk::finish() {
  index_.node.seal();
  index_.templates.seal();
}

}  // namespace cvsysinfo
