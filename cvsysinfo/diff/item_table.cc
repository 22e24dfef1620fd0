#include "diff/item_table.h"

#include <stdio.h>

#include <algorithm>

namespace cvsysinfo {

namespace {

const char* const kKindNames[] = {
    "state",         "package",       "docker-container", "docker-image", "port",      "memory-total",
    "cpu-count",     "cpu-model",     "cpu-layout",       "numa-nodes",   "volume-group",
    "software-raid", "bios-raid",     "cluster",          "ha-member",    "ha-master", "hdimg",
    "container-count", "config",      "template",         "volatile",
};
static_assert(sizeof kKindNames / sizeof kKindNames[0] == static_cast<size_t>(ItemKind::kVolatile) + 1,
              "a name for every kind");

uint64_t fnv1a(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace

const char* item_kind_name(ItemKind kind) { return kKindNames[static_cast<size_t>(kind)]; }

void ItemTable::add(ItemKind kind, std::string_view key, std::string_view value) {
  if (kind == ItemKind::kVolatile && !entries_.empty()) {
    Entry& last = entries_.back();
    if (last.kind == kind && this->key(last) == key && last.value + last.value_length == text_.size()) {
      text_.append(" ").append(value);
      last.value_length += static_cast<uint32_t>(value.size() + 1);
      digest_last();
      return;
    }
  }
  Entry entry{kind, static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(key.size()), 0, 0};
  text_.append(key);
  entry.value = static_cast<uint32_t>(text_.size());
  entry.value_length = static_cast<uint32_t>(value.size());
  text_.append(value);
  entries_.push_back(entry);
  if (kind == ItemKind::kVolatile) digest_last();
}

// A long volatile text (a process list) matters only as changed or not.
void ItemTable::digest_last() {
  Entry& last = entries_.back();
  if (last.value_length <= kLongValue && value(last).find('\n') == std::string_view::npos) return;
  char digest[20];
  snprintf(digest, sizeof digest, "%c%016llx", kDigestMark,
           static_cast<unsigned long long>(fnv1a(value(last))));
  text_.resize(last.value);
  text_.append(digest);
  last.value_length = static_cast<uint32_t>(text_.size() - last.value);
}

void ItemTable::seal() {
  auto less = [this](const Entry& a, const Entry& b) {
    return a.kind != b.kind ? a.kind < b.kind : key(a) < key(b);
  };
  std::stable_sort(entries_.begin(), entries_.end(), less);
  auto same = [this](const Entry& a, const Entry& b) { return a.kind == b.kind && key(a) == key(b); };
  entries_.erase(std::unique(entries_.begin(), entries_.end(), same), entries_.end());
  entries_.shrink_to_fit();
  text_.shrink_to_fit();
}

}  // namespace cvsysinfo
