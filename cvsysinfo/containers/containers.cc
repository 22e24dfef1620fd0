#include "containers/containers.h"

#include <cvctl.h>
#include <cvtt_options.h>
#include <malloc.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "core/capture.h"
#include "core/command.h"
#include "core/conf.h"
#include "core/diagnostics.h"
#include "core/ordered_pool.h"
#include "core/progress.h"
#include "core/section_buffer.h"
#include "core/text.h"
#include "core/xml_writer.h"
#include "docker/docker.h"

namespace cvsysinfo {
namespace {

const char kGlobalConfig[] = "/etc/cv/cv.conf";
const char kContainerConfigDir[] = "/etc/cv/conf";
const char kServicesScript[] = "/usr/libexec/cvreport/list_services";
// What the sections captured at once may hold in all before their turn: a
// tool may print 64 MiB, which escaping makes up to five times as much.
constexpr size_t kSectionsBudget = 32u << 20;

void write_df_element(LineParser* parser, const char* line, const char* element,
                      const char* const names[3]) {
  if (strncmp(line, "Filesystem", 10) == 0) return;
  std::vector<std::string> fields = split_fields(line);
  if (fields.size() != 6) return;
  putStartElement(parser->writer, element);
  for (int i = 0; i < 3; ++i) putElement(parser->writer, names[i], fields[i + 1].c_str());
  putEndElement(parser->writer);
}

void add_root_usage(xmlTextWriterPtr writer, unsigned int id) {
  std::string command;
  format_command(command, "cvlist -H -o root %d", static_cast<int>(id));
  std::string output;
  if (!read_command_output(command.c_str(), output)) {
    diagnostic("Unable to get %s output\n", command.c_str());
    return;
  }
  // The root comes from a tool and goes back into a shell command.
  std::string root = trim(output);
  putElement(writer, "CtRoot", root.c_str());
  // df without a path would report the host's file systems as the
  // container's.
  if (root.empty()) {
    diagnostic("Failed to retrieve Container's %u root, disk usage skipped!\n", id);
    return;
  }
  LineParser inodes{writer, df_inodes_parser, nullptr};
  if (command_with_value(command, "df -Pi %s", root)) run_command_parser(command.c_str(), &inodes);
  LineParser space{writer, df_space_parser, nullptr};
  if (command_with_value(command, "df -P %s", root)) run_command_parser(command.c_str(), &space);
}

void add_running_details(xmlTextWriterPtr writer, unsigned int id) {
  int ctid = static_cast<int>(id);
  std::string command;
  if (format_command(command, "cvps -A -E %d -o user,pid,%%cpu,%%mem,vsz,rss,tty,stat,start,cmd", ctid)) {
    add_command_out(writer, command.c_str(), "AllProcesses");
  }
  std::string proc_dir = "/proc/bc/" + std::to_string(ctid);
  add_proc_file(writer, (proc_dir + "/iostat").c_str(), "IoStat");
  add_root_usage(writer, id);
  add_proc_file(writer, (proc_dir + "/resources").c_str(), "Resources");
  if (format_command(command, "cvctl exec %d netstat -anlp", ctid)) {
    add_command_out(writer, command.c_str(), "Ports");
  }
  add_docker(writer, id);
}

// A package as the library gave it; a missing text stays missing.
struct PackageRecord {
  std::string name, arch, evr, description;
  bool has_name, has_arch, has_evr, has_description;
};

const char* text_or_null(const std::string& text, bool present) { return present ? text.c_str() : nullptr; }

// One container: what the platform library said about it, taken on the
// main thread (the library promises nothing about threads), and then its
// section with the messages that go with it, written on a pool thread.
struct ContainerCapture {
  unsigned int id = 0;
  bool status_known = false;
  unsigned int flags = 0;
  std::vector<PackageRecord> packages;
  std::unique_ptr<SectionBuffer> section;
  std::string diagnostics;
};

void ask_library(ContainerCapture& capture, ContainerCounts& counts) {
  unsigned int id = capture.id;
  ++counts.total;
  cvctl_env_status_t status;
  memset(&status, 0, sizeof status);
  int rc = cvctl_get_env_status(id, &status, CVCTL_STATUS_ALL);
  if (rc != 0) {
    diagnostic("Failed to retrieve Container's %u status, err = %d!\n", id, rc);
  } else {
    capture.status_known = true;
    capture.flags = status.mask;
    if (capture.flags & CVCTL_ENV_RUNNING) ++counts.running;
  }
  union cvtt_options options;
  cvtt_fill_default_options(&options);
  struct package** packages = nullptr;
  cvtt_get_ve_pkgs(id, &options.record, &packages);
  for (struct package** p = packages; p && *p; ++p) {
    const struct package& package = **p;
    capture.packages.push_back({package.name ? package.name : "", package.arch ? package.arch : "",
                                package.evr ? package.evr : "", package.descr ? package.descr : "",
                                package.name != nullptr, package.arch != nullptr, package.evr != nullptr,
                                package.descr != nullptr});
  }
  cvtt_clean_packages_list(packages);
}

void add_software(xmlTextWriterPtr writer, const std::vector<PackageRecord>& packages) {
  SectionWriter out(writer, "add_software");
  out.start("InstalledSoftware");
  for (const PackageRecord& package : packages) {
    // A missing text gives an empty attribute rather than a broken run.
    out.start("Package");
    out.attribute("name", text_or_null(package.name, package.has_name));
    out.attribute("arch", text_or_null(package.arch, package.has_arch));
    out.attribute("evr", text_or_null(package.evr, package.has_evr));
    out.attribute("description", text_or_null(package.description, package.has_description));
    out.end();
  }
  out.end();
}

void write_container(xmlTextWriterPtr writer, const ContainerCapture& capture) {
  unsigned int id = capture.id;
  SectionWriter out(writer, "add_containers");
  out.start("CT");
  putElement(writer, "CTID", static_cast<uint64_t>(id));
  if (capture.status_known) {
    unsigned int flags = capture.flags;
    const char* state = (flags & CVCTL_ENV_RUNNING)     ? "running"
                        : (flags & CVCTL_ENV_SUSPENDED) ? "suspended"
                        : (flags & CVCTL_ENV_MOUNTED)   ? "mounted"
                                                        : "stopped";
    putElement(writer, "STATE", state);
    if (flags & CVCTL_ENV_RUNNING) add_running_details(writer, id);
  }
  add_conf(writer, (std::string(kContainerConfigDir) + "/" + std::to_string(id) + ".conf").c_str());
  std::string command;
  if (format_command(command, "cvctl --quiet runscript %d %s", static_cast<int>(id), kServicesScript)) {
    add_command_out(writer, command.c_str(), "Services");
  }
  add_software(writer, capture.packages);
  out.end();
}

// The containers in listing order, captured `jobs` at once.
ContainerCounts add_container_list(xmlTextWriterPtr writer, const std::vector<unsigned int>& ids, int jobs) {
  ContainerCounts counts;
  ProgressLine progress("containers", ids.size());
  OrderedPool pool(jobs);
  pool.while_waiting([&progress] { progress.tick(); }, 200);
  // With one at a time the messages come out as they arise, among the
  // tools' own, as they always did.
  bool keep_diagnostics = jobs > 1;
  // Each pool thread lets go of the tools' output it read, up to 64 MiB;
  // once glibc has raised its own threshold for mapping big blocks, it
  // keeps them in that thread's arena, one such arena for each thread.
  if (keep_diagnostics) mallopt(M_MMAP_THRESHOLD, 1 << 20);
  for (unsigned int id : ids) {
    auto capture = std::make_shared<ContainerCapture>();
    capture->id = id;
    {
      DiagnosticsCapture keep(keep_diagnostics ? &capture->diagnostics : nullptr);
      ask_library(*capture, counts);
    }
    if (!keep_diagnostics) {
      // One at a time, on this thread: straight into the document.
      pool.submit([capture, writer] { write_container(writer, *capture); }, [&progress] { progress.step(); });
      continue;
    }
    capture->section = std::make_unique<SectionBuffer>(kSectionsBudget / static_cast<size_t>(jobs),
                                                       [&pool] { pool.wake(); });
    pool.submit(
        [capture] {
          DiagnosticsCapture keep(&capture->diagnostics);
          capture->section->start();
          write_container(capture->section->writer(), *capture);
          capture->packages = std::vector<PackageRecord>();
          capture->section->finish();
        },
        [capture, writer, &progress] {
          capture->section->write_to(writer);
          capture->section.reset();
          if (!capture->diagnostics.empty()) {
            progress.clear();
            fputs(capture->diagnostics.c_str(), stderr);
          }
          progress.step();
        },
        [capture, writer] { capture->section->write_to(writer); });
  }
  pool.drain();
  return counts;
}

}  // namespace

void df_inodes_parser(LineParser* parser, char* line) {
  static const char* const names[3] = {"Count", "IUsed", "IFree"};
  write_df_element(parser, line, "Inodes", names);
}

void df_space_parser(LineParser* parser, char* line) {
  static const char* const names[3] = {"Size", "Used", "Avail"};
  write_df_element(parser, line, "DiskSpace", names);
}

ContainerCounts add_containers(xmlTextWriterPtr writer, int jobs) {
  ContainerCounts counts;
  SectionWriter out(writer, "add_containers");
  out.start("CONTAINERS");
  EnvIdList* list = cvctl_alloc_env_ids();
  if (!list) {
    diagnostic("Failed to allocate memory for Containers information!\n");
  } else {
    int count = cvctl_get_env_ids_by_state(list, CVCTL_STATE_ALL);
    if (count < 0) {
      diagnostic("Failed to retrieve Containers information, err = %d!\n", count);
    } else {
      out.start("CT");
      putElement(writer, "CTID", static_cast<uint64_t>(0));
      add_conf(writer, kGlobalConfig);
      out.end();
      std::vector<unsigned int> ids;
      for (int i = 0; i < count && list->ids[i] != 0; ++i) {
        if (list->ids[i] != 1) ids.push_back(list->ids[i]);
      }
      counts = add_container_list(writer, ids, jobs);
    }
    cvctl_free_env_ids(list);
  }
  out.end();
  return counts;
}

}  // namespace cvsysinfo
