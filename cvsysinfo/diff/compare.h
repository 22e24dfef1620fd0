// The comparison of two inventories, by identity: what was added, removed
// or changed, in the order both change formats list it.
#pragma once

#include <string>
#include <vector>

#include "diff/item_table.h"

namespace cvsysinfo {

enum class Change { kAdded, kRemoved, kChanged };

struct ChangeItem {
  ItemKind kind = ItemKind::kState;
  std::string key;
  Change change = Change::kChanged;
  bool has_old = false, has_new = false;  // a digest of a long text is not shown
  std::string old_value, new_value;
};

struct ContainerChange {
  long id;
  Change change;
  std::vector<ChangeItem> items;  // only for a changed container
};

struct ChangeSet {
  InventoryHeader old_header, new_header;
  bool all = false;
  std::vector<ContainerChange> containers;  // by id
  std::vector<ChangeItem> node;
  std::vector<ChangeItem> templates;
  // Node items that matter most, for the summary.
  int raid_sets_degraded = 0;
  int members_down = 0;
};

// Compares two sealed indexes; volatile items count only with all.
ChangeSet compare_inventories(const InventoryIndex& old_index, const InventoryIndex& new_index, bool all);

// Whether anything changed at all.
bool has_changes(const ChangeSet& changes);

// "3 containers changed, 1 added; node: 1 RAID set degraded", or
// "No changes.".
std::string change_summary(const ChangeSet& changes);

}  // namespace cvsysinfo
