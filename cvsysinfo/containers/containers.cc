#include "containers/containers.h"

#include <cvctl.h>
#include <cvtt.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "core/command.h"
#include "core/text.h"
#include "core/xml_writer.h"
#include "docker/docker.h"

namespace cvsysinfo {
namespace {

const char kGlobalConfig[] = "/etc/cv/cv.conf";
const char kContainerConfigDir[] = "/etc/cv/conf";
const char kServicesScript[] = "/usr/libexec/cvreport/list_services";

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
    fprintf(stderr, "Unable to get %s output\n", command.c_str());
    return;
  }
  // The root comes from a tool and goes back into a shell command.
  std::string root = trim(output);
  putElement(writer, "CtRoot", root.c_str());
  // df without a path would report the host's file systems as the
  // container's.
  if (root.empty()) {
    fprintf(stderr, "Failed to retrieve Container's %u root, disk usage skipped!\n", id);
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
  ++running_ct_count;
}

void add_software(xmlTextWriterPtr writer, unsigned int id) {
  // The library's options record is smaller than what it is given here.
  union {
    struct options_cvtt options;
    char room[256];
  } options;
  memset(&options, 0, sizeof options);
  cvtt_set_default_options(&options.options);
  struct package** packages = nullptr;
  cvtt_get_ve_pkgs(id, &options.options, &packages);
  SectionWriter out(writer, "add_software");
  out.start("InstalledSoftware");
  for (struct package** p = packages; p && *p; ++p) {
    // A missing text gives an empty attribute rather than a broken run.
    out.start("Package");
    out.attribute("name", (*p)->name);
    out.attribute("arch", (*p)->arch);
    out.attribute("evr", (*p)->evr);
    out.attribute("description", (*p)->descr);
    out.end();
  }
  cvtt_clean_packages_list(packages);
  out.end();
}

void add_container(xmlTextWriterPtr writer, unsigned int id) {
  SectionWriter out(writer, "add_containers");
  out.start("CT");
  ++total_ct_count;
  putElement(writer, "CTID", static_cast<uint64_t>(id));
  cvctl_env_status_t status;
  memset(&status, 0, sizeof status);
  int rc = cvctl_get_env_status(id, &status, CVCTL_STATUS_ALL);
  if (rc != 0) {
    fprintf(stderr, "Failed to retrieve Container's %u status, err = %d!\n", id, rc);
  } else {
    unsigned int flags = status.mask;
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
  add_software(writer, id);
  out.end();
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

void add_containers(xmlTextWriterPtr writer) {
  SectionWriter out(writer, "add_containers");
  out.start("CONTAINERS");
  EnvIdList* list = cvctl_alloc_env_ids();
  if (!list) {
    fprintf(stderr, "Failed to allocate memory for Containers information!\n");
  } else {
    int count = cvctl_get_env_ids_by_state(list, CVCTL_STATE_ALL);
    if (count < 0) {
      fprintf(stderr, "Failed to retrieve Containers information, err = %d!\n", count);
    } else {
      out.start("CT");
      putElement(writer, "CTID", static_cast<uint64_t>(0));
      add_conf(writer, kGlobalConfig);
      out.end();
      for (int i = 0; i < count && list->ids[i] != 0; ++i) {
        if (list->ids[i] != 1) add_container(writer, list->ids[i]);
      }
    }
    cvctl_free_env_ids(list);
  }
  out.end();
}

}  // namespace cvsysinfo
