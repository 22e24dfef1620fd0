#include "docker/docker.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/regex.hpp>
#include <vector>

#include "core/report.h"

namespace cvsysinfo {
namespace {

struct InfoKey {
  const char* element;
  boost::regex pattern;
};

// Compiled once for the whole run.
const std::vector<InfoKey>& infoKeys() {
  static const std::vector<InfoKey> keys = {
      {"Containers", boost::regex("Containers:\\s+(.*)", boost::regex::perl)},
      {"Images", boost::regex("Images:\\s+(.*)", boost::regex::perl)},
      {"StorageDriver", boost::regex("Storage Driver:\\s+(.*)", boost::regex::perl)},
      {"ExecutionDriver", boost::regex("Execution Driver:\\s+(.*)", boost::regex::perl)},
  };
  return keys;
}

// Commands are cut at 255 characters, as they always were.
std::string dockerCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string dockerCommand(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

int ctidOf(LineParser* parser) { return static_cast<int>(*static_cast<unsigned int*>(parser->context)); }

// Image and container ids are read from inside the container, so they are
// quoted before they reach the host's shell.
std::string inspectCommand(int ctid, const std::string& id) {
  return dockerCommand("cvctl exec %d docker inspect %s", ctid, shell_quote(id).c_str());
}

}  // namespace

bool get_docker_version(unsigned int ctid, std::string& version) {
  std::string command = dockerCommand("cvctl exec %d docker --version", static_cast<int>(ctid));
  if (!read_command_output(command.c_str(), version)) return false;
  return version.compare(0, 14, "Docker version") == 0;
}

void docker_info_parser(LineParser* parser, char* line) {
  for (const InfoKey& key : infoKeys()) {
    boost::cmatch match;
    if (boost::regex_match(line, match, key.pattern)) {
      writeElement(parser->writer, "docker_info_parser", __LINE__, key.element, match[1].str());
    }
  }
}

void add_docker_info(xmlTextWriterPtr writer, unsigned int ctid) {
  LineParser parser{writer, docker_info_parser, &ctid};
  run_command_parser(dockerCommand("cvctl exec %d docker info", static_cast<int>(ctid)).c_str(), &parser);
}

void docker_image_parser(LineParser* parser, char* line) {
  xmlTextWriterPtr writer = parser->writer;
  startElement(writer, "docker_image_parser", __LINE__, "Image");
  std::vector<std::string> fields;
  boost::algorithm::split(fields, line, boost::algorithm::is_space(),
                          boost::algorithm::token_compress_on);
  if (fields.size() >= 3) {
    writeElement(writer, "docker_image_parser", __LINE__, "Repository", fields[0]);
    writeElement(writer, "docker_image_parser", __LINE__, "Tag", fields[1]);
    add_command_out(writer, inspectCommand(ctidOf(parser), fields[2]).c_str(), "Conf");
  }
  endElement(writer, "docker_image_parser", __LINE__);
}

void add_docker_images(xmlTextWriterPtr writer, unsigned int ctid) {
  startElement(writer, "add_docker_images", __LINE__, "Images");
  LineParser parser{writer, docker_image_parser, &ctid};
  run_command_parser(dockerCommand("cvctl exec %d docker images | awk 'FNR > 1 {print $1\" \"$2\" \"$3}'",
                                   static_cast<int>(ctid)).c_str(),
                     &parser);
  endElement(writer, "add_docker_images", __LINE__);
}

void docker_ve_parser(LineParser* parser, char* line) {
  xmlTextWriterPtr writer = parser->writer;
  startElement(writer, "docker_ve_parser", __LINE__, "CT");
  add_command_out(writer, inspectCommand(ctidOf(parser), line).c_str(), "Conf");
  endElement(writer, "docker_ve_parser", __LINE__);
}

void add_docker_ves(xmlTextWriterPtr writer, unsigned int ctid) {
  startElement(writer, "add_docker_ves", __LINE__, "Containers");
  LineParser parser{writer, docker_ve_parser, &ctid};
  run_command_parser(dockerCommand("cvctl exec %d docker ps -a -q", static_cast<int>(ctid)).c_str(), &parser);
  endElement(writer, "add_docker_ves", __LINE__);
}

void add_docker(xmlTextWriterPtr writer, unsigned int ctid) {
  startElement(writer, "add_docker", __LINE__, "Docker");
  std::string version;
  if (get_docker_version(ctid, version)) {
    writeElement(writer, "add_docker", __LINE__, "Version", version);
    add_docker_info(writer, ctid);
    add_docker_images(writer, ctid);
    add_docker_ves(writer, ctid);
  }
  endElement(writer, "add_docker", __LINE__);
}

}  // namespace cvsysinfo
