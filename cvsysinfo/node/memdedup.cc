#include "node/memdedup.h"

#include <stdio.h>
#include <string.h>
#include <sys/vfs.h>

#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/command.h"
#include "core/conf.h"
#include "core/diagnostics.h"
#include "core/text.h"
#include "core/xml_writer.h"
#include "node/mount_table.h"

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

enum class StatKind { kSingle, kTriple };

struct StatKey {
  const char* key;
  StatKind kind;
};

const StatKey kMemdedupStatKeys[] = {
    {"csums", StatKind::kSingle},
    {"inodes", StatKind::kTriple},
    {"size", StatKind::kTriple},
    {"RAM", StatKind::kTriple},
};

const StatKey* find_stat_key(const char* line, size_t key_length) {
  for (const StatKey& key : kMemdedupStatKeys) {
    if (strlen(key.key) == key_length && strncmp(line, key.key, key_length) == 0) return &key;
  }
  return nullptr;
}

bool read_caches(const char* mount_table, CacheTable& caches, bool& any_entry) {
  return for_each_mount(mount_table, [&](const MountEntry& entry) {
    any_entry = true;
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
        cache.roots.emplace_back(entry.mount_point);
      }
      option = comma ? comma + 1 : nullptr;
    }
  });
}

void write_cache(xmlTextWriterPtr writer, const std::string& path, const Cache& cache,
                const char* stat_format) {
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
    if (command_with_value(command, stat_format, root)) {
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
  const StatKey* key = find_stat_key(line, static_cast<size_t>(colon - line));
  if (!key) return;
  std::vector<std::string> fields = split_fields(line);
  xmlTextWriterPtr writer = parser->writer;
  if (key->kind == StatKind::kSingle) {
    if (fields.size() == 3) putElement(writer, key->key, fields[1].c_str());
    return;
  }
  if (fields.size() != 5) return;
  putStartElement(writer, key->key);
  putElement(writer, "fetched", fields[1].c_str());
  putElement(writer, "uncached", fields[2].c_str());
  putElement(writer, "cached", fields[3].c_str());
  putEndElement(writer);
}

void add_memdedup_info(xmlTextWriterPtr writer, const MemdedupSources& sources) {
  CacheTable caches;
  bool any_entry = false;
  try {
    if (!read_caches(sources.mount_table, caches, any_entry) || !any_entry) return;
  } catch (const std::bad_alloc&) {
    diagnostic("Failed to allocate memory for the memdedup caches\n");
    return;
  }
  putStartElement(writer, "memdedups");
  add_conf(writer, sources.conf);
  for (const auto& [path, cache] : caches) write_cache(writer, path, cache, sources.stat_format);
  putEndElement(writer);
}

void add_memdedup_info(xmlTextWriterPtr writer) {
  add_memdedup_info(writer, MemdedupSources{kMountTable, kMemdedupConf, kStatFormat});
}

}  // namespace cvsysinfo
