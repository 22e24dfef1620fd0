#include "node/imgtrim.h"

#include <stdio.h>
#include <string.h>

#include <boost/regex.hpp>
#include <fstream>
#include <string>

#include "core/diagnostics.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

const char kImgtrimLog[] = "/var/log/imgtrim.log";

const boost::regex& stat_pattern() {
  static const boost::regex pattern("(\\w+)=(\\S+)", boost::regex::perl);
  return pattern;
}

}  // namespace

void add_imgtrim_stat_line(xmlTextWriterPtr writer, const char* line) {
  SectionWriter out(writer, "add_imgtrim_stat_line");
  out.start("Stats");
  try {
    boost::cregex_iterator end;
    for (boost::cregex_iterator match(line, line + strlen(line), stat_pattern()); match != end;
         ++match) {
      out.attribute((*match)[1].str().c_str(), (*match)[2].str().c_str());
    }
  } catch (const std::exception& error) {
    // Boost gives up on lines too long to search in time; what was found
    // before stays.
    diagnostic("imgtrim statistics line not fully read: %s\n", error.what());
  }
  out.end();
}

void add_imgtrim_info(xmlTextWriterPtr writer, const char* log) {
  SectionWriter out(writer, "add_imgtrim_info");
  out.start("imgtrim");
  std::ifstream file(log);
  std::string line;
  while (file && std::getline(file, line)) {
    if (line.find("Stats") != std::string::npos) add_imgtrim_stat_line(writer, line.c_str());
  }
  out.end();
}

void add_imgtrim_info(xmlTextWriterPtr writer) { add_imgtrim_info(writer, kImgtrimLog); }

}  // namespace cvsysinfo
