#include "node/node.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include "core/test_writer.h"
#include "core/xml_writer.h"

namespace cvsysinfo {
namespace {

// The element names directly inside NODE, in document order.
std::vector<std::string> children_of_node(const std::string& xml, std::string& totals) {
  std::vector<std::string> names;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "node.xml", nullptr, 0);
  if (!doc) return names;
  for (xmlNodePtr child = xmlDocGetRootElement(doc)->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    std::string name = reinterpret_cast<const char*>(child->name);
    names.push_back(name);
    if (name == "TOTAL_CT" || name == "RUNNING_CT" || name == "MemoryUsage" || name == "DiskSpaceUsage") {
      xmlChar* text = xmlNodeGetContent(child);
      totals += name + "=" + reinterpret_cast<const char*>(text) + " ";
      xmlFree(text);
    }
  }
  xmlFreeDoc(doc);
  return names;
}

TEST(Node, SectionsInOrderWithTheContainerTotals) {
  TestWriter w;
  // The host's own free, df and yum would make the result this machine's.
  NodeTools tools{"printf 'Mem: 2048 1024 1024\\n'", "printf '/dev/hdimg1 100 40 60 40%% /\\n'",
                  "printf 'Repo-id      : cv-base\\nRepo-name    : base\\nrepolist: 1\\n'"};
  testing::internal::CaptureStderr();
  add_node(w.get(), 4000000000u, 7, tools);
  testing::internal::GetCapturedStderr();
  std::string totals;
  std::string xml = w.text();
  std::vector<std::string> names = children_of_node(xml, totals);
  EXPECT_EQ(totals,
            "TOTAL_CT=4000000000 RUNNING_CT=7 MemoryUsage=Mem: 2048 1024 1024\n "
            "DiskSpaceUsage=/dev/hdimg1 100 40 60 40% /\n ");
  EXPECT_NE(xml.find("<YumRepositories><Repository id=\"cv-base\" name=\"base\"/>"
                     "<repolist>1</repolist></YumRepositories>"),
            std::string::npos)
      << xml;
  // Whatever this host has, these are always written, in this order; the
  // optional ones (CONF, the check tools, Hdimgs, memdedups) fall between.
  const std::vector<std::string> always = {
      "TOTAL_CT", "RUNNING_CT", "MemoryUsage", "DiskSpaceUsage", "YumRepositories", "VESTAT", "lvm",
      "software_raid", "dmraid", "tessel", "high-availability", "hardware", "imgtrim", "chipcaps"};
  std::vector<std::string> seen;
  for (const std::string& name : names) {
    if (std::find(always.begin(), always.end(), name) != always.end()) seen.push_back(name);
  }
  EXPECT_EQ(seen, always);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "chipcaps");
}

}  // namespace
}  // namespace cvsysinfo
