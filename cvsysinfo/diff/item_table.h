// What one part of an inventory holds that a comparison looks at: items
// of a kind under a key, each with one value, kept compact (one text arena
// and small entries) because a large host has hundreds of thousands.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cvsysinfo {

// The kinds of what is compared, in the order changes are listed.
enum class ItemKind {
  kState,
  kPackage,
  kDockerContainer,
  kDockerImage,
  kPort,
  kMemoryTotal,
  kCpuCount,
  kCpuModel,
  kCpuLayout,
  kNumaNodes,
  kVolumeGroup,
  kSoftwareRaid,
  kBiosRaid,
  kCluster,
  kHaMember,
  kHaMaster,
  kHdimg,
  kContainerCount,
  kConfig,
  kTemplate,
  kVolatile,
};

// The name a kind has in both change formats ("docker-image").
const char* item_kind_name(ItemKind kind);

// Values of volatile items longer than this, or of more than one line, are
// kept as a digest only: they are reported as changed, never shown.
constexpr size_t kLongValue = 64;

// A volatile value that was kept as a digest starts with this byte.
constexpr char kDigestMark = '\x01';

class ItemTable {
 public:
  // Adds an item; a volatile item under the key just added grows that
  // item's value (a subtree's leaves are one volatile value).
  void add(ItemKind kind, std::string_view key, std::string_view value);
  // Sorts by kind, then key (byte order); of equal keys the first stays.
  // Lookups and walks need it sealed.
  void seal();

  // One item: its key and value are offsets into the table's text.
  struct Entry {
    ItemKind kind;
    uint32_t key, key_length, value, value_length;
  };
  // The items, in order once sealed.
  const std::vector<Entry>& entries() const { return entries_; }
  // An entry's key and value; valid until the table next changes.
  std::string_view key(const Entry& entry) const { return {text_.data() + entry.key, entry.key_length}; }
  std::string_view value(const Entry& entry) const { return {text_.data() + entry.value, entry.value_length}; }

 private:
  void digest_last();
  std::string text_;
  std::vector<Entry> entries_;
};

// The root attributes of a document; empty when it has none.
struct InventoryHeader {
  std::string file, host, time, version;
};

// Everything compared in one inventory, by identity.
struct InventoryIndex {
  InventoryHeader header;
  std::map<long, ItemTable> containers;  // by CTID; the host's own 0 is in node
  ItemTable node;
  ItemTable templates;
};

}  // namespace cvsysinfo
