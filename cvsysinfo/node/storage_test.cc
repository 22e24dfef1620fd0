#include "node/storage.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

TEST(Lvm, HeaderNamesAndFields) {
  struct {
    const char* what;
    std::vector<std::string> lines;
    std::string xml;
  } cases[] = {
      {"header words with spaces and % become names; fields fill them in order",
       {"  LV UUID:LV:Data%:Attr", "  abc-1:root:12.50:-wi-ao----", "\tdef-2:swap:0.00:-wi-a-----"},
       "<volumes><volume><LV_UUID>abc-1</LV_UUID><LV>root</LV><Data_>12.50</Data_>"
       "<Attr>-wi-ao----</Attr></volume><volume><LV_UUID>def-2</LV_UUID><LV>swap</LV>"
       "<Data_>0.00</Data_><Attr>-wi-a-----</Attr></volume></volumes>"},
      {"adjacent separators give an empty field; fields beyond the columns are dropped",
       {"A::B:C", "1::3", "x:y:z:beyond"},
       "<volumes><volume><A>1</A><B></B><C>3</C></volume>"
       "<volume><A>x</A><B>y</B><C>z</C></volume></volumes>"},
      {"a header piece that begins with a digit still makes a name",
       {"1st:2nd", "a:b"}, "<volumes><volume><_1st>a</_1st><_2nd>b</_2nd></volume></volumes>"},
      {"only the header", {"  LV:VG"}, "<volumes/>"},
  };
  for (const auto& c : cases) {
    cvtest::ScratchDir dir;
    std::string out = dir.write_lines("lvs.out", c.lines);
    TestWriter w;
    add_lvm_list(w.get(), "volumes", ("cat " + out).c_str(), "volume");
    EXPECT_EQ(w.text(), c.xml) << c.what;
  }
}

TEST(Lvm, EachRunLearnsItsOwnHeader) {
  cvtest::ScratchDir dir;
  std::string lvs = dir.write_lines("lvs.out", {"LV", "root"});
  std::string vgs = dir.write_lines("vgs.out", {"VG", "vg0"});
  TestWriter w;
  add_lvm_list(w.get(), "volumes", ("cat " + lvs).c_str(), "volume");
  add_lvm_list(w.get(), "groups", ("cat " + vgs).c_str(), "group");
  EXPECT_EQ(w.text(), "<volumes><volume><LV>root</LV></volume></volumes>"
                      "<groups><group><VG>vg0</VG></group></groups>");
}

TEST(Mdadm, KeyValueLines) {
  struct {
    std::string line;
    std::string xml;
  } cases[] = {
      {"MD_LEVEL=raid1", "<MD_LEVEL>raid1</MD_LEVEL>"},
      {"  MD_DEVICES=2", "<MD_DEVICES>2</MD_DEVICES>"},
      {"MD_UUID=a=b", "<MD_UUID>a=b</MD_UUID>"},
      {"MD_NAME=host:0", ""},
      {"MD_DEVNAME_Name=x", ""},
      {"no equals sign", ""},
      {" \t", ""},
      {"", ""},
      {"=value", "<_>value</_>"},
      {"bad key<>=1", "<bad_key__>1</bad_key__>"},
  };
  for (auto& c : cases) {
    TestWriter w;
    LineParser parser{w.get(), mdadm_parser, nullptr};
    std::string line = c.line;
    mdadm_parser(&parser, &line[0]);
    EXPECT_EQ(w.text(), c.xml) << c.line;
  }
}

TEST(Mdadm, MountedMdDevicesOnly) {
  cvtest::ScratchDir dir;
  std::string table = dir.write_lines(
      "mounts", {"/dev/sda1 / ext4 rw 0 0", "/dev/md0 /data xfs rw 0 0",
                 "tmpfs /dev/md tmpfs rw 0 0", "/dev/md127 /srv ext4 rw 0 0",
                 "/dev/md0 /again xfs rw 0 0", "/dev/md\\0401 /odd ext4 rw 0 0"});
  std::string mdadm = dir.write("mdadm", "#!/bin/sh\necho \"MD_DEVNAME=$3\"\necho MD_NAME=h:0\n", 0755);
  TestWriter w;
  add_md_info(w.get(), table.c_str(), (mdadm + " -D -Y %s").c_str());
  EXPECT_EQ(w.text(),
            "<software_raid>"
            "<device><name>/dev/md0</name><MD_DEVNAME>/dev/md0</MD_DEVNAME></device>"
            "<device><name>/dev/md127</name><MD_DEVNAME>/dev/md127</MD_DEVNAME></device>"
            "<device><name>/dev/md0</name><MD_DEVNAME>/dev/md0</MD_DEVNAME></device>"
            "<device><name>/dev/md 1</name><MD_DEVNAME>/dev/md 1</MD_DEVNAME></device>"
            "</software_raid>");
}

TEST(Mdadm, NoTableOrOverlongDevice) {
  cvtest::ScratchDir dir;
  std::string device = "/dev/md" + std::string(300, 'x');
  std::string table = dir.write_lines("mounts", {device + " /m ext4 rw 0 0"});
  TestWriter w;
  add_md_info(w.get(), dir.file("absent").c_str(), "echo X=%s");
  testing::internal::CaptureStderr();
  add_md_info(w.get(), table.c_str(), "echo X=%s");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("not run"), std::string::npos);
  EXPECT_EQ(w.text(), "<software_raid/><software_raid><device><name>" + device +
                          "</name></device></software_raid>");
}

TEST(Dmraid, FixedColumnsAndEmptyFields) {
  struct {
    std::string line;
    const char* const* columns;
    std::string xml;
  } cases[] = {
      {"/dev/sda:isw:isw_abc:mirror:ok:976773168:0", kDmraidDeviceColumns,
       "<device><path>/dev/sda</path><format>isw</format><raidname>isw_abc</raidname>"
       "<type>mirror</type><status>ok</status><sectors>976773168</sectors><offset>0</offset></device>"},
      {"/dev/sdb:isw:isw_abc:mirror:ok::", kDmraidDeviceColumns,
       "<device><path>/dev/sdb</path><format>isw</format><raidname>isw_abc</raidname>"
       "<type>mirror</type><status>ok</status></device>"},
      {"  /dev/sdc::isw_x", kDmraidDeviceColumns,
       "<device><path>/dev/sdc</path><format>isw_x</format></device>"},
      {"a:b:c:d:e:f:g:h:i:j:k", kDmraidSetColumns,
       "<set><type>a</type><format>b</format><raidname>c</raidname><status>d</status>"
       "<stride>e</stride><sectors>f</sectors><subset>g</subset><devices>h</devices>"
       "<spares>i</spares></set>"},
      {"", kDmraidSetColumns, "<set/>"},
  };
  for (auto& c : cases) {
    TestWriter w;
    DmraidState state{c.columns == kDmraidSetColumns ? "set" : "device", c.columns};
    LineParser parser{w.get(), dmraid_parser, &state};
    std::string line = c.line;
    dmraid_parser(&parser, &line[0]);
    EXPECT_EQ(w.text(), c.xml) << c.line;
  }
}

TEST(Dmraid, ListFromCommand) {
  TestWriter w;
  add_dmraid_list(w.get(), "raid_devices", "printf 'No RAID disks\\n' | tr -d ' '", "device",
                  kDmraidDeviceColumns);
  EXPECT_EQ(w.text(), "<raid_devices><device><path>NoRAIDdisks</path></device></raid_devices>");
}

}  // namespace
}  // namespace cvsysinfo
