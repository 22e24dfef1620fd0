#include "docker/docker.h"

#include <boost/regex.hpp>
#include <vector>

#include "core/command.h"
#include "core/text.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

struct InfoKey {
  const char* element;
  boost::regex pattern;
};

// Compiled once for the whole run.
const std::vector<InfoKey>& info_keys() {
  static const std::vector<InfoKey> keys = {
      {"Containers", boost::regex("Containers:\\s+(.*)", boost::regex::perl)},
      {"Images", boost::regex("Images:\\s+(.*)", boost::regex::perl)},
      {"StorageDriver", boost::regex("Storage Driver:\\s+(.*)", boost::regex::perl)},
      {"ExecutionDriver", boost::regex("Execution Driver:\\s+(.*)", boost::regex::perl)},
  };
  return keys;
}

int ctid_of(LineParser* parser) { return static_cast<int>(*static_cast<unsigned int*>(parser->context)); }

// Image and container ids are read from inside the container, so they are
// quoted before they reach the host's shell.
void add_inspect(xmlTextWriterPtr writer, int ctid, const std::string& id) {
  std::string command;
  if (format_command(command, "cvctl exec %d docker inspect %s", ctid, shell_quote(id).c_str())) {
    add_command_out(writer, command.c_str(), "Conf");
  }
}

void run_in_container(LineParser& parser, int ctid, const char* docker_command) {
  std::string command;
  if (format_command(command, "cvctl exec %d %s", ctid, docker_command)) {
    run_command_parser(command.c_str(), &parser);
  }
}

}  // namespace

bool get_docker_version(unsigned int ctid, std::string& version) {
  std::string command;
  if (!format_command(command, "cvctl exec %d docker --version", static_cast<int>(ctid))) return false;
  if (!read_command_output(command.c_str(), version)) return false;
  return version.compare(0, 14, "Docker version") == 0;
}

void docker_info_parser(LineParser* parser, char* line) {
  SectionWriter out(parser->writer, "docker_info_parser");
  for (const InfoKey& key : info_keys()) {
    boost::cmatch match;
    if (boost::regex_match(line, match, key.pattern)) out.element(key.element, match[1].str());
  }
}

void add_docker_info(xmlTextWriterPtr writer, unsigned int ctid) {
  LineParser parser{writer, docker_info_parser, &ctid};
  run_in_container(parser, static_cast<int>(ctid), "docker info");
}

void docker_image_parser(LineParser* parser, char* line) {
  SectionWriter out(parser->writer, "docker_image_parser");
  out.start("Image");
  std::vector<std::string> fields = split_fields(line);
  if (fields.size() >= 3) {
    out.element("Repository", fields[0]);
    out.element("Tag", fields[1]);
    add_inspect(parser->writer, ctid_of(parser), fields[2]);
  }
  out.end();
}

void add_docker_images(xmlTextWriterPtr writer, unsigned int ctid) {
  SectionWriter out(writer, "add_docker_images");
  out.start("Images");
  LineParser parser{writer, docker_image_parser, &ctid};
  run_in_container(parser, static_cast<int>(ctid), "docker images | awk 'FNR > 1 {print $1\" \"$2\" \"$3}'");
  out.end();
}

void docker_ve_parser(LineParser* parser, char* line) {
  SectionWriter out(parser->writer, "docker_ve_parser");
  out.start("CT");
  add_inspect(parser->writer, ctid_of(parser), line);
  out.end();
}

void add_docker_ves(xmlTextWriterPtr writer, unsigned int ctid) {
  SectionWriter out(writer, "add_docker_ves");
  out.start("Containers");
  LineParser parser{writer, docker_ve_parser, &ctid};
  run_in_container(parser, static_cast<int>(ctid), "docker ps -a -q");
  out.end();
}

void add_docker(xmlTextWriterPtr writer, unsigned int ctid) {
  SectionWriter out(writer, "add_docker");
  out.start("Docker");
  std::string version;
  if (get_docker_version(ctid, version)) {
    out.element("Version", version);
    add_docker_info(writer, ctid);
    add_docker_images(writer, ctid);
    add_docker_ves(writer, ctid);
  }
  out.end();
}

}  // namespace cvsysinfo
