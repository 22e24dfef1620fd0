#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <sys/vfs.h>

#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/report.h"
#include "node/cluster.h"
#include "node/host.h"

namespace cvsysinfo {
namespace {

const char kMemdedupConf[] = "/etc/cv/memdedup.conf";
const char kStatFormat[] = "/usr/bin/memdedup stat %s";

struct Cache {
  struct statfs stats {};
  bool taken = false;
  std::vector<std::string> roots;
};

using CacheTable = std::map<std::string, Cache>;

// At most this many fields are looked at; a line with more is refused by
// its count alone.
constexpr size_t kMaxFields = 6;

struct Fields {
  size_t count = 0;
  char* start[kMaxFields];
  size_t length[kMaxFields];
};

// Fields at white space, a run of it being one separator, so that a blank
// at either end gives an empty first or last field.
void splitFields(char* line, Fields& fields) {
  char* field = line;
  char* p = line;
  auto close = [&](const char* end) {
    if (fields.count < kMaxFields) {
      fields.start[fields.count] = field;
      fields.length[fields.count] = static_cast<size_t>(end - field);
    }
    ++fields.count;
  };
  while (*p) {
    if (!isspace(static_cast<unsigned char>(*p))) {
      ++p;
      continue;
    }
    close(p);
    while (*p && isspace(static_cast<unsigned char>(*p))) ++p;
    field = p;
  }
  close(p);
}

// Field i is never the last one here, so the blank after it can be cut.
void writeField(xmlTextWriterPtr writer, const char* name, const Fields& fields, size_t i) {
  fields.start[i][fields.length[i]] = '\0';
  putElement(writer, name, fields.start[i]);
}

enum class StatKind { single, triple };

struct StatKey {
  const char* key;
  StatKind kind;
};

const StatKey memdedup_stat_keys[] = {
    {"csums", StatKind::single},
    {"inodes", StatKind::triple},
    {"size", StatKind::triple},
    {"RAM", StatKind::triple},
};

const StatKey* findStatKey(const char* line, size_t keyLength) {
  for (const StatKey& key : memdedup_stat_keys) {
    if (strlen(key.key) == keyLength && strncmp(line, key.key, keyLength) == 0) return &key;
  }
  return nullptr;
}

bool readCaches(const char* mountTable, CacheTable& caches, bool& anyEntry) {
  return for_each_mount(mountTable, [&](const MountEntry& entry) {
    anyEntry = true;
    const char* option = entry.options;
    while (option) {
      const char* comma = strchr(option, ',');
      size_t length = comma ? static_cast<size_t>(comma - option) : strlen(option);
      if (length >= 9 && strncmp(option, "memdedup=", 9) == 0) {
        std::string path(option + 9, length - 9);
        Cache& cache = caches[path];
        if (!cache.taken) {
          if (statfs(path.c_str(), &cache.stats) != 0) {
            memset(&cache.stats, 0, sizeof cache.stats);
          }
          cache.taken = true;
        }
        cache.roots.emplace_back(entry.mountPoint);
      }
      option = comma ? comma + 1 : nullptr;
    }
  });
}

void writeCache(xmlTextWriterPtr writer, const std::string& path, const Cache& cache,
                const char* statFormat) {
  putStartElement(writer, "memdedup");
  putElement(writer, "mount", path.c_str());
  putElement(writer, "blocks", static_cast<uint64_t>(cache.stats.f_blocks));
  putElement(writer, "bavail", static_cast<uint64_t>(cache.stats.f_bavail));
  putElement(writer, "bsize", static_cast<uint64_t>(cache.stats.f_bsize));
  putElement(writer, "containers", static_cast<uint64_t>(cache.roots.size()));
  for (const std::string& root : cache.roots) {
    putStartElement(writer, "HdimgInfo");
    putElement(writer, "root", root.c_str());
    std::string command;
    if (command_with_value(command, statFormat, root)) {
      LineParser parser{writer, memdedup_stat_parser, nullptr};
      run_command_parser(command.c_str(), &parser);
    }
    putEndElement(writer);
  }
  putEndElement(writer);
}

}  // namespace

void memdedup_stat_parser(LineParser* parser, char* line) {
  const char* colon = strchr(line, ':');
  if (!colon) return;
  const StatKey* key = findStatKey(line, static_cast<size_t>(colon - line));
  if (!key) return;
  Fields fields;
  splitFields(line, fields);
  xmlTextWriterPtr writer = parser->writer;
  if (key->kind == StatKind::single) {
    if (fields.count == 3) writeField(writer, key->key, fields, 1);
    return;
  }
  if (fields.count != 5) return;
  putStartElement(writer, key->key);
  writeField(writer, "fetched", fields, 1);
  writeField(writer, "uncached", fields, 2);
  writeField(writer, "cached", fields, 3);
  putEndElement(writer);
}

void add_memdedup_info(xmlTextWriterPtr writer, const MemdedupSources& sources) {
  CacheTable caches;
  bool anyEntry = false;
  try {
    if (!readCaches(sources.mount_table, caches, anyEntry) || !anyEntry) return;
  } catch (const std::bad_alloc&) {
    fprintf(stderr, "Failed to allocate memory for the memdedup caches\n");
    return;
  }
  putStartElement(writer, "memdedups");
  add_conf(writer, sources.conf);
  for (const auto& [path, cache] : caches) writeCache(writer, path, cache, sources.stat_format);
  putEndElement(writer);
}

void add_memdedup_info(xmlTextWriterPtr writer) {
  add_memdedup_info(writer, MemdedupSources{kMountTable, kMemdedupConf, kStatFormat});
}

}  // namespace cvsysinfo
