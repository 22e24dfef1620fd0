// The container-control library, simulated: container IDs and states come
// from the host description (README.md) instead of the platform.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "host.h"

#pragma GCC visibility push(default)
#include "cvctl.h"
#pragma GCC visibility pop

using namespace cvsim;

namespace {

// The real library must be opened before use; so must the simulation, so
// that a caller forgetting it fails here too.
bool g_open = false;

// A fault whose value is 0 is no fault.
std::optional<int> failure(const std::string& key) {
  std::optional<int> code = fault(key);
  if (code && *code == 0) return std::nullopt;
  return code;
}

}  // namespace

int cvctl_open(void) {
  if (std::optional<int> code = failure("open")) return *code;
  if (!isDirectory(hostDir())) return kNoEntry;
  g_open = true;
  return 0;
}

void cvctl_close(void) { g_open = false; }

EnvIdList* cvctl_alloc_env_ids(void) {
  if (failure("alloc")) return nullptr;
  return static_cast<EnvIdList*>(calloc(1, sizeof(EnvIdList)));
}

int cvctl_get_env_ids_by_state(EnvIdList* list, int state) {
  if (!g_open) return -kBadHandle;
  if (!list || state != CVCTL_STATE_ALL) return -kInvalid;
  if (std::optional<int> code = failure("list")) return *code < 0 ? *code : -kInvalid;
  std::vector<unsigned int> ids;
  if (!listIds(&ids)) return -kInvalid;
  unsigned int* array = static_cast<unsigned int*>(malloc((ids.size() + 1) * sizeof *array));
  if (!array) return -kNoMemory;
  if (!ids.empty()) memcpy(array, ids.data(), ids.size() * sizeof *array);
  free(list->ids);
  list->ids = array;
  list->size = static_cast<unsigned int>(ids.size());
  int count = static_cast<int>(ids.size());
  // A library may report fewer IDs than its array holds, never more.
  if (std::optional<int> reported = fault("count")) {
    if (*reported >= 0 && *reported < count) count = *reported;
  }
  return count;
}

int cvctl_get_env_status(unsigned int ctid, cvctl_env_status_t* status, int what) {
  if (!g_open) return kBadHandle;
  if (!status || what != CVCTL_STATUS_ALL) return kInvalid;
  if (std::optional<int> code = failure("status." + std::to_string(ctid))) return *code;
  if (!containerExists(ctid)) return kNoEntry;
  unsigned int flags = 0;
  if (int rc = containerFlags(ctid, &flags)) return rc;
  memset(status, 0, sizeof *status);
  status->mask = flags;
  return 0;
}

void cvctl_free_env_ids(EnvIdList* list) {
  if (!list) return;
  free(list->ids);
  free(list);
}
