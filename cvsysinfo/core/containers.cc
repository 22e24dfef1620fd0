#include "core/containers.h"

#include <cvctl.h>
#include <cvtt.h>
#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "core/report.h"
#include "docker/docker.h"

namespace cvsysinfo {
namespace {

const char kGlobalConfig[] = "/etc/cv/cv.conf";
const char kContainerConfigDir[] = "/etc/cv/conf";
const char kServicesScript[] = "/usr/libexec/cvreport/list_services";

// Command texts are cut at 256 bytes and paths at 4097, as always.
std::string formatCommand(size_t limit, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
std::string formatCommand(size_t limit, const char* format, ...) {
  std::string text(limit, '\0');
  va_list args;
  va_start(args, format);
  int n = vsnprintf(&text[0], limit, format, args);
  va_end(args);
  text.resize(n < 0 ? 0 : std::min(static_cast<size_t>(n), limit - 1));
  return text;
}

std::string trim(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(start, end - start);
}

void writeDfElement(LineParser* parser, const char* line, const char* element,
                    const char* const names[3]) {
  if (strncmp(line, "Filesystem", 10) == 0) return;
  std::vector<std::string> fields = split_df_fields(line);
  if (fields.size() != 6) return;
  putStartElement(parser->writer, element);
  for (int i = 0; i < 3; ++i) putElement(parser->writer, names[i], fields[i + 1].c_str());
  putEndElement(parser->writer);
}

void add_root_usage(xmlTextWriterPtr writer, unsigned int id) {
  std::string command = formatCommand(256, "cvlist -H -o root %d", static_cast<int>(id));
  std::string output;
  if (!read_command_output(command.c_str(), output)) {
    fprintf(stderr, "Unable to get %s output\n", command.c_str());
    return;
  }
  // The root comes from a tool and goes back into a shell command.
  std::string root = trim(output);
  putElement(writer, "CtRoot", root.c_str());
  LineParser inodes{writer, df_inodes_parser, nullptr};
  run_command_parser(formatCommand(256, "df -Pi %s", shell_quote(root).c_str()).c_str(), &inodes);
  LineParser space{writer, df_space_parser, nullptr};
  run_command_parser(formatCommand(256, "df -P %s", shell_quote(root).c_str()).c_str(), &space);
}

void add_running_details(xmlTextWriterPtr writer, unsigned int id) {
  int ctid = static_cast<int>(id);
  add_command_out(writer,
                  formatCommand(256, "cvps -A -E %d -o user,pid,%%cpu,%%mem,vsz,rss,tty,stat,start,cmd",
                                ctid).c_str(),
                  "AllProcesses");
  add_proc_file(writer, formatCommand(4097, "/proc/bc/%d/iostat", ctid).c_str(), "IoStat");
  add_root_usage(writer, id);
  add_proc_file(writer, formatCommand(4097, "/proc/bc/%d/resources", ctid).c_str(), "Resources");
  add_command_out(writer, formatCommand(256, "cvctl exec %d netstat -anlp", ctid).c_str(), "Ports");
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
  startElement(writer, "add_software", __LINE__, "InstalledSoftware");
  for (struct package** p = packages; p && *p; ++p) {
    // A missing text gives an empty attribute rather than a broken run.
    startElement(writer, "add_software", __LINE__, "Package");
    writeAttribute(writer, "add_software", __LINE__, "name", (*p)->name);
    writeAttribute(writer, "add_software", __LINE__, "arch", (*p)->arch);
    writeAttribute(writer, "add_software", __LINE__, "evr", (*p)->evr);
    writeAttribute(writer, "add_software", __LINE__, "description", (*p)->descr);
    endElement(writer, "add_software", __LINE__);
  }
  cvtt_clean_packages_list(packages);
  endElement(writer, "add_software", __LINE__);
}

void add_container(xmlTextWriterPtr writer, unsigned int id) {
  startElement(writer, "add_containers", __LINE__, "CT");
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
  add_conf(writer, formatCommand(4097, "%s/%u.conf", kContainerConfigDir, id).c_str());
  add_command_out(writer,
                  formatCommand(256, "cvctl --quiet runscript %d %s", static_cast<int>(id),
                                kServicesScript).c_str(),
                  "Services");
  add_software(writer, id);
  endElement(writer, "add_containers", __LINE__);
}

}  // namespace

std::vector<std::string> split_df_fields(const char* line) {
  std::vector<std::string> fields;
  std::string field;
  bool inSpace = false;
  for (const char* p = line; *p; ++p) {
    if (isspace(static_cast<unsigned char>(*p))) {
      if (!inSpace) fields.push_back(field);
      field.clear();
      inSpace = true;
    } else {
      field += *p;
      inSpace = false;
    }
  }
  fields.push_back(field);
  return fields;
}

void df_inodes_parser(LineParser* parser, char* line) {
  static const char* const names[3] = {"Count", "IUsed", "IFree"};
  writeDfElement(parser, line, "Inodes", names);
}

void df_space_parser(LineParser* parser, char* line) {
  static const char* const names[3] = {"Size", "Used", "Avail"};
  writeDfElement(parser, line, "DiskSpace", names);
}

void add_containers(xmlTextWriterPtr writer) {
  startElement(writer, "add_containers", __LINE__, "CONTAINERS");
  EnvIdList* list = cvctl_alloc_env_ids();
  if (!list) {
    fprintf(stderr, "Failed to allocate memory for Containers information!\n");
  } else {
    int count = cvctl_get_env_ids_by_state(list, CVCTL_STATE_ALL);
    if (count < 0) {
      fprintf(stderr, "Failed to retrieve Containers information, err = %d!\n", count);
    } else {
      startElement(writer, "add_containers", __LINE__, "CT");
      putElement(writer, "CTID", static_cast<uint64_t>(0));
      add_conf(writer, kGlobalConfig);
      endElement(writer, "add_containers", __LINE__);
      for (int i = 0; i < count && list->ids[i] != 0; ++i) {
        if (list->ids[i] != 1) add_container(writer, list->ids[i]);
      }
    }
    cvctl_free_env_ids(list);
  }
  endElement(writer, "add_containers", __LINE__);
}

}  // namespace cvsysinfo
