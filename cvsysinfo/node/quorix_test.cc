#include "node/quorix.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

TEST(Tessel, OneToolRunPerQuorixMount) {
  cvtest::ScratchDir dir;
  std::string table = dir.write_lines(
      "mounts", {"quorix://alpha /q/alpha fuse rw 0 0", "/dev/sda1 / ext4 rw 0 0",
                 "quorix://my\\040cluster /q/b fuse rw 0 0", "quorix:/beta /q/c fuse rw 0 0"});
  std::string quorix = dir.write(
      "quorix", "#!/bin/sh\necho \"<?xml version='1.0'?><cluster name='$2'><state>ok</state></cluster>\"\n",
      0755);
  TestWriter w;
  add_tessel_info(w.get(), table.c_str(), (quorix + " -c %s stat --xml").c_str());
  add_tessel_info(w.get(), dir.file("absent").c_str(), "false %s");
  EXPECT_EQ(w.text(),
            "<tessel><cluster name=\"alpha\"><state>ok</state></cluster>"
            "<cluster name=\"my cluster\"><state>ok</state></cluster></tessel><tessel/>");
}

}  // namespace
}  // namespace cvsysinfo
