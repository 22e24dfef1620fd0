// The template library, simulated: installed packages and templates come
// from the host description (README.md) instead of the platform.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "host.h"

#pragma GCC visibility push(default)
#include "cvtt.h"
#pragma GCC visibility pop
#include "cvtt_options.h"

using namespace cvsim;

namespace {

// Marks an options record as filled by cvtt_set_default_options, so that a
// caller handing over an unfilled record is refused as the real library
// would refuse garbage.
const char kOptionsMark[] = "cvsim-options";

bool optionsFilled(const struct options_cvtt* opts) {
  return opts && memcmp(opts->opaque, kOptionsMark, sizeof kOptionsMark) == 0;
}

std::optional<int> failure(const std::string& key) {
  std::optional<int> code = fault(key);
  if (code && *code == 0) return std::nullopt;
  return code;
}

void freePackage(struct package* p) {
  if (!p) return;
  free(p->name);
  free(p->arch);
  free(p->evr);
  free(p->descr);
  free(p);
}

void freeTemplate(struct tmpl_list_el* t) {
  if (!t) return;
  free(t->timestamp);
  if (struct tmpl_info* info = t->info) {
    free(info->name);
    free(info->osname);
    free(info->osver);
    free(info->arch);
    free(info->confdir);
    free(info->summary);
    for (char* r : info->reserved) free(r);
    free(info->cached);
    free(info);
  }
  free(t);
}

int buildTemplate(const Record& record, struct tmpl_list_el** out) {
  *out = nullptr;
  int isOs = 0;
  if (const std::string* text = record.get("is_os")) {
    std::optional<long> value = parseNumber(*text);
    if (!value || *value < -2147483647L - 1 || *value > 2147483647L) return kInvalid;
    isOs = static_cast<int>(*value);
  }
  bool hasInfo = true;
  if (const std::string* text = record.get("info")) {
    if (*text != "none") return kInvalid;
    hasInfo = false;
  }
  auto* t = static_cast<struct tmpl_list_el*>(calloc(1, sizeof(struct tmpl_list_el)));
  if (!t) return kNoMemory;
  bool failed = false;
  t->timestamp = copyText(record.get("timestamp"), &failed);
  t->is_os = isOs;
  if (hasInfo) {
    t->info = static_cast<struct tmpl_info*>(calloc(1, sizeof(struct tmpl_info)));
    if (!t->info) {
      failed = true;
    } else {
      t->info->name = copyText(record.get("name"), &failed);
      t->info->osname = copyText(record.get("osname"), &failed);
      t->info->osver = copyText(record.get("osver"), &failed);
      t->info->arch = copyText(record.get("arch"), &failed);
      t->info->confdir = copyText(record.get("confdir"), &failed);
      t->info->summary = copyText(record.get("summary"), &failed);
      t->info->cached = copyText(record.get("cached"), &failed);
    }
  }
  if (failed) {
    freeTemplate(t);
    return kNoMemory;
  }
  *out = t;
  return 0;
}

}  // namespace

int cvtt_set_default_options(struct options_cvtt* opts) {
  if (!opts) return kInvalid;
  // As much as the real library writes, so that a caller giving it less
  // room overruns here too, where the sanitized tests see it.
  memset(opts, 0, CVTT_OPTIONS_ROOM);
  memcpy(opts->opaque, kOptionsMark, sizeof kOptionsMark);
  return 0;
}

int cvtt_get_ve_pkgs(unsigned int ctid, struct options_cvtt* opts, struct package*** pkgs) {
  if (!pkgs) return kInvalid;
  *pkgs = nullptr;
  if (!optionsFilled(opts)) return kInvalid;
  const std::string id = std::to_string(ctid);
  if (std::optional<int> code = failure("packages." + id)) return *code;
  if (!containerExists(ctid)) return kNoEntry;
  std::vector<Record> records;
  if (std::optional<std::string> text = readFile(hostPath("containers/" + id + "/packages"))) {
    if (!parseRecords(*text, "package", {"name", "arch", "evr", "descr"}, &records)) {
      return kInvalid;
    }
  }
  auto** list = static_cast<struct package**>(calloc(records.size() + 1, sizeof(struct package*)));
  if (!list) return kNoMemory;
  for (size_t i = 0; i < records.size(); ++i) {
    auto* p = static_cast<struct package*>(calloc(1, sizeof(struct package)));
    bool failed = !p;
    if (p) {
      list[i] = p;
      p->name = copyText(records[i].get("name"), &failed);
      p->arch = copyText(records[i].get("arch"), &failed);
      p->evr = copyText(records[i].get("evr"), &failed);
      p->descr = copyText(records[i].get("descr"), &failed);
    }
    if (failed) {
      cvtt_clean_packages_list(list);
      return kNoMemory;
    }
  }
  *pkgs = list;
  return 0;
}

void cvtt_clean_packages_list(struct package** pkgs) {
  if (!pkgs) return;
  for (struct package** p = pkgs; *p; ++p) freePackage(*p);
  free(pkgs);
}

int cvtt_get_all_base(char*** names) {
  if (!names) return kInvalid;
  *names = nullptr;
  if (std::optional<int> code = failure("bases")) return *code;
  if (!isDirectory(hostDir())) return kNoEntry;
  std::vector<std::string> bases = listBases();
  auto** list = static_cast<char**>(calloc(bases.size() + 1, sizeof(char*)));
  if (!list) return kNoMemory;
  for (size_t i = 0; i < bases.size(); ++i) {
    bool failed = false;
    list[i] = copyText(&bases[i], &failed);
    if (failed) {
      for (char** n = list; *n; ++n) free(*n);
      free(list);
      return kNoMemory;
    }
  }
  *names = list;
  return 0;
}

int cvtt_get_templates_list(const char* base, struct options_cvtt* opts,
                            struct tmpl_list_el*** list) {
  if (!list) return kInvalid;
  *list = nullptr;
  if (!base || !optionsFilled(opts)) return kInvalid;
  const std::string name = base;
  if (std::optional<int> code = failure("templates." + name)) return *code;
  std::vector<Record> records;
  // A name that cannot be a file name has no templates, like one without
  // a file.
  if (!name.empty() && name.find('/') == std::string::npos && name[0] != '.') {
    if (std::optional<std::string> text = readFile(hostPath("templates/" + name))) {
      if (!parseRecords(*text, "template",
                        {"timestamp", "is_os", "info", "name", "osname", "osver", "arch",
                         "confdir", "summary", "cached"},
                        &records)) {
        return kInvalid;
      }
    }
  }
  auto** out = static_cast<struct tmpl_list_el**>(
      calloc(records.size() + 1, sizeof(struct tmpl_list_el*)));
  if (!out) return kNoMemory;
  for (size_t i = 0; i < records.size(); ++i) {
    if (int rc = buildTemplate(records[i], &out[i])) {
      cvtt_clean_templates_list(out);
      return rc;
    }
  }
  *list = out;
  return 0;
}

void cvtt_clean_templates_list(struct tmpl_list_el** list) {
  if (!list) return;
  for (struct tmpl_list_el** t = list; *t; ++t) freeTemplate(*t);
  free(list);
}
