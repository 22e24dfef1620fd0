// Docker inside a running container: its version, a few "docker info"
// values, the images and the Docker containers with their inspect output.
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

#include "core/capture.h"

namespace cvsysinfo {

// "Docker", empty when the container has no Docker; a command that cannot
// be run is printed by the capture functions and leaves its part out.
void add_docker(xmlTextWriterPtr writer, unsigned int ctid);
// The version command's output when it begins with "Docker version";
// false otherwise, with nothing printed beyond the capture's own message.
bool get_docker_version(unsigned int ctid, std::string& version);
// The parts of "Docker"; a command that cannot be run, or is refused for
// its length, leaves its part empty, the reason printed where it failed.
void add_docker_info(xmlTextWriterPtr writer, unsigned int ctid);
void add_docker_images(xmlTextWriterPtr writer, unsigned int ctid);
void add_docker_ves(xmlTextWriterPtr writer, unsigned int ctid);
// The parsers' context is the container id (unsigned int).
void docker_info_parser(LineParser* parser, char* line);
void docker_image_parser(LineParser* parser, char* line);
void docker_ve_parser(LineParser* parser, char* line);

}  // namespace cvsysinfo
