#include "node/hdimg.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <unistd.h>

#include <algorithm>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

// Directory order depends on the file system, so children are compared
// sorted: "name(children)" or "name=text".
std::string canonical(xmlNodePtr node) {
  std::string name = reinterpret_cast<const char*>(node->name);
  std::vector<std::string> children;
  bool hasElements = false;
  for (xmlNodePtr child = node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      children.push_back(canonical(child));
      hasElements = true;
    }
  }
  if (!hasElements) {
    xmlChar* text = xmlNodeGetContent(node);
    std::string value = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return value.empty() ? name : name + "=" + value;
  }
  std::sort(children.begin(), children.end());
  std::string result = name + "(";
  for (const std::string& child : children) result += child + " ";
  result.back() = ')';
  return result;
}

std::string canonical_of(const std::string& xml) {
  std::string document = "<R>" + xml + "</R>";
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "t.xml", nullptr, 0);
  if (!doc) return "not well-formed: " + xml;
  std::string result = canonical(xmlDocGetRootElement(doc));
  xmlFreeDoc(doc);
  return result;
}

void make_device(const cvtest::ScratchDir& dir) {
  dir.write("block/hdimg0/size", "2097152\n");
  dir.write("block/hdimg0/uevent", "MAJOR=182\n");
  dir.write("block/hdimg0/event", "x\n");
  dir.mkdir("block/hdimg0/holders");
  dir.write("block/hdimg0/pdelta/0/io", "direct\n");
  dir.write("block/hdimg0/pdelta/0/format", "raw\nsecond\n");
  dir.write("block/hdimg0/pdelta/0/ro", "1");
  dir.write("block/hdimg0/pdelta/0/image", "/var/lib/cv/root.hdd\n");
  dir.write("block/hdimg0/pdelta/123456789012345678901234567890123/ro", "0\n");
  dir.write("block/hdimg0/pstat/reads", "5\n");
  dir.write("block/hdimg0/pstate/running", "1\n");
  dir.write("block/hdimg0/ptune/max_delay", "10\n");
  dir.write("block/hdimg0/hdimg0p1/size", "1024\n");
  dir.write("block/hdimg0/hdimg0p1/ro", "0\n");
  dir.write("block/loop0/size", "0\n");
  dir.write("block/uevent", "x\n");
}

TEST(Hdimg, WalkWritesListedAttributesOnly) {
  cvtest::ScratchDir dir;
  make_device(dir);
  TestWriter w;
  add_hdimg_stat(w.get(), dir.file("block").c_str());
  EXPECT_EQ(canonical_of(w.text()),
            "R(Hdimgs(hdimg0("
            "hdimg0p1(size=1024) "
            "pdelta(_0(format=raw\nsecond io=direct ro=1) _123456789012345678901234567890(ro=0)) "
            "pstat(reads=5) pstate(running=1) ptune(max_delay=10) size=2097152)))");
}

TEST(Hdimg, EmptyOrMissingDirectory) {
  cvtest::ScratchDir dir;
  dir.write("block/loop0/size", "0\n");
  TestWriter w;
  add_hdimg_stat(w.get(), dir.file("block").c_str());
  add_hdimg_stat(w.get(), dir.file("absent").c_str());
  EXPECT_EQ(w.text(), "<Hdimgs/>");
}

int nesting(const std::string& shape) {
  int depth = 0, deepest = 0;
  for (char c : shape) {
    if (c == '(') deepest = std::max(deepest, ++depth);
    if (c == ')') --depth;
  }
  return deepest;
}

TEST(Hdimg, LinksAreFollowedButLoopsEnd) {
  cvtest::ScratchDir dir;
  dir.write("block/hdimg1/size", "8\n");
  dir.mkdir("block/hdimg1/pstat");
  // Both links lead back to where they are: the walk alternates between two
  // lists that each let the link through again.
  ASSERT_EQ(symlink(".", dir.file("block/hdimg1/pstat/io").c_str()), 0);
  ASSERT_EQ(symlink(".", dir.file("block/hdimg1/hdimg1p1").c_str()), 0);
  ASSERT_EQ(symlink("hdimg1", dir.file("block/hdimg2").c_str()), 0);
  TestWriter w;
  add_hdimg_stat(w.get(), dir.file("block").c_str());
  std::string shape = canonical_of(w.text());
  EXPECT_EQ(shape.rfind("R(Hdimgs(hdimg1(", 0), 0u) << shape;
  EXPECT_NE(shape.find("hdimg2(hdimg1p1(hdimg1p1("), std::string::npos) << shape;
  EXPECT_NE(shape.find("pstat(io(io(io("), std::string::npos) << shape;
  EXPECT_LE(nesting(shape), 12) << shape;
}

}  // namespace
}  // namespace cvsysinfo
