#include "diff/compare.h"

#include <gtest/gtest.h>
#include <libxml/xmlreader.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "core/owners.h"
#include "diff/change_text.h"
#include "diff/inventory_walk.h"

namespace cvsysinfo {
namespace {

// The sections of a small document; the grammar is checked end to end.
std::string document(const std::string& containers, const std::string& node, const std::string& templates) {
  return "<CVLIN><CVLIST/><CONTAINERS>" + containers + "</CONTAINERS><NODE>" + node + "</NODE><CVTEMPLATES>" +
         templates + "</CVTEMPLATES></CVLIN>";
}

InventoryIndex index_of(const std::string& xml, const char* file) {
  InventoryIndex index;
  index.header.file = file;
  XmlReaderOwner reader(xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr, XML_PARSE_NONET));
  InventoryWalk walk(index);
  int rc;
  while ((rc = xmlTextReaderRead(reader.get())) == 1) walk.step(reader.get());
  EXPECT_EQ(rc, 0) << xml;
  walk.finish();
  return index;
}

std::string text_of(const ChangeSet& changes) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  EXPECT_EQ(write_change_text(changes, out), 0);
  fclose(out);
  std::string text(buffer, size);
  free(buffer);
  return text;
}

const char kPorts[] =
    "<Ports>Active Internet connections (only servers)\n"
    "Proto Recv-Q Send-Q Local Address Foreign Address State PID/Program name\n"
    "tcp 0 0 0.0.0.0:80 0.0.0.0:* LISTEN 1021/httpd\n"
    "tcp 0 0 10.0.0.5:40022 10.0.0.9:22 ESTABLISHED 77/ssh\n"
    "udp 0 0 0.0.0.0:68 0.0.0.0:* 612/dhclient\n"
    "unix 2 [ ACC ] STREAM LISTENING 13042 1/systemd /run/x\n</Ports>";

std::string image(const char* id, const char* tag) {
  return std::string("<Image><Repository>centos</Repository><Tag>") + tag + "</Tag><Conf>[{\n  \"Id\": \"" + id +
         "\",\n  \"Parent\": {\"Id\": \"feed\"}}]</Conf></Image>";
}

std::string raid(const char* members, const char* count) {
  std::string devices;
  for (const char* name : {"sda1", "sdb1"})
    if (strstr(members, name))
      devices += std::string("<MD_DEVICE_dev_") + name + "_DEV>/dev/" + name + "</MD_DEVICE_dev_" + name + "_DEV>";
  return std::string("<software_raid><device><name>/dev/md0</name><MD_LEVEL>raid1</MD_LEVEL><MD_DEVICES>") + count +
         "</MD_DEVICES>" + devices + "</device></software_raid>";
}

std::string processes(char pid) { return "<AllProcesses>" + std::string(80, 'x') + pid + "</AllProcesses>"; }

struct DiffCase {
  const char* name;
  std::string old_document, new_document;
  bool all;
  const char* expected;
};

TEST(CompareTest, ReportsEveryKindByIdentityInOrder) {
  const std::string ct101 = "<CT><CTID>101</CTID><STATE>running</STATE>";
  const DiffCase cases[] = {
      {"identical", document(ct101 + kPorts + "</CT>", "", ""), document(ct101 + kPorts + "</CT>", "", ""), true,
       "Comparing old.xml with new.xml\nNo changes.\n"},
      {"container items: packages by name.arch, empty names ignored, config leaves by path",
       document(ct101 + "<CONF><ONBOOT>yes</ONBOOT><NETIF><ETH0>a</ETH0></NETIF></CONF><InstalledSoftware>"
                        "<Package name='bash' arch='x86_64' evr='4.2-19'/><Package name='gpg-pubkey' arch='' evr='1'/>"
                        "<Package name='' arch='x86_64' evr='1'/><Package name='zsh' arch='x86_64' evr='5'/>"
                        "</InstalledSoftware></CT>",
                "", ""),
       document("<CT><CTID>101</CTID><STATE>stopped</STATE><CONF><ONBOOT>no</ONBOOT><NETIF><ETH0>b</ETH0></NETIF>"
                "</CONF><InstalledSoftware><Package name='vim' arch='x86_64' evr='7.4'/>"
                "<Package name='bash' arch='x86_64' evr='4.2-20'/><Package name='gpg-pubkey' arch='' evr='1'/>"
                "<Package name='' arch='x86_64' evr='2'/></InstalledSoftware></CT>",
                "", ""),
       false,
       "Comparing old.xml with new.xml\n1 container changed\n\nContainers\n  101 changed\n    state: running -> stopped\n"
       "    package bash.x86_64: 4.2-19 -> 4.2-20\n    package vim.x86_64: added 7.4\n"
       "    package zsh.x86_64: removed 5\n    config NETIF/ETH0: a -> b\n    config ONBOOT: yes -> no\n"},
      {"Docker by Id (its first), listening ports only",
       document(ct101 + kPorts + "<Docker><Images>" + image("0123abcd", "7") + image("4567ef", "8") +
                    "</Images><Containers><CT><Conf>{\"Id\": \"5d2f\"}</Conf></CT></Containers></Docker></CT>",
                "", ""),
       document(ct101 + "<Ports>udp6 0 0 :::5353 :::* 99/avahi\ntcp 0 0 0.0.0.0:80 0.0.0.0:* LISTEN 1021/httpd\n"
                        "</Ports><Docker><Images>" +
                    image("4567ef", "8") + "</Images><Containers><CT><Conf>{\"Id\": \"5d2f\"}</Conf></CT>"
                    "<CT><Conf>{\"Id\": \"77aa\"}</Conf></CT></Containers></Docker></CT>",
                "", ""),
       false,
       "Comparing old.xml with new.xml\n1 container changed\n\nContainers\n  101 changed\n"
       "    docker-container 77aa: added\n    docker-image 0123abcd: removed (centos:7)\n"
       "    port udp 0.0.0.0:68: closed (dhclient)\n    port udp6 :::5353: opened (avahi)\n"},
      {"containers by numeric id; the host's CT 0 is node configuration",
       document("<CT><CTID>0</CTID><CONF><IPV6>yes</IPV6></CONF></CT><CT><CTID>9</CTID></CT><CT><CTID>10</CTID></CT>",
                "", ""),
       document("<CT><CTID>0</CTID><CONF><IPV6>no</IPV6></CONF></CT><CT><CTID>100</CTID></CT><CT><CTID>10</CTID></CT>",
                "", ""),
       false,
       "Comparing old.xml with new.xml\n1 container added, 1 removed; node: 1 change\n\nContainers\n  9 removed\n"
       "  100 added\nNode\n  config IPV6: yes -> no\n"},
      {"volatile values are left out", document(ct101 + processes('1') + "<DiskSpace><Size>5</Size><Used>1</Used>"
                                                "</DiskSpace></CT>", "<VESTAT>a</VESTAT>", ""),
       document(ct101 + processes('2') + "<DiskSpace><Size>5</Size><Used>2</Used></DiskSpace></CT>",
                "<VESTAT>b</VESTAT>", ""),
       false, "Comparing old.xml with new.xml\nNo changes.\n"},
      {"volatile values with --all, long texts only as changed",
       document(ct101 + processes('1') + "<DiskSpace><Size>5</Size><Used>1</Used></DiskSpace></CT>",
                "<Hdimgs><hdimg0><pstat><bio_in>1</bio_in><bio_out>2</bio_out></pstat><size>8</size></hdimg0></Hdimgs>",
                ""),
       document(ct101 + processes('2') + "<DiskSpace><Size>5</Size><Used>2</Used></DiskSpace></CT>",
                "<Hdimgs><hdimg0><pstat><bio_in>1</bio_in><bio_out>3</bio_out></pstat><size>8</size></hdimg0></Hdimgs>",
                ""),
       true,
       "Comparing old.xml with new.xml\n1 container changed; node: 1 change\n\nContainers\n  101 changed\n"
       "    volatile AllProcesses: changed\n    volatile DiskSpace/Used: 1 -> 2\nNode\n"
       "  volatile Hdimgs/hdimg0/pstat: 1 2 -> 1 3\n"},
      {"node: a RAID set losing a member is what matters",
       document("", "<RUNNING_CT>3</RUNNING_CT>" + raid("sda1 sdb1", "2") +
                        "<lvm><groups><group><VG>vg0</VG><Attr>wz--n-</Attr><VSize>278g</VSize><VFree>28g</VFree>"
                        "</group></groups></lvm><hardware><cpu><logical>16</logical><layout><sockets>2</sockets>"
                        "<cores-per-socket>4</cores-per-socket><threads-per-core>2</threads-per-core></layout>"
                        "</cpu><ram>64401 MB</ram></hardware>",
                ""),
       document("", "<RUNNING_CT>2</RUNNING_CT>" + raid("sda1", "1") +
                        "<lvm><groups><group><VG>vg0</VG><Attr>wz--n-</Attr><VSize>278g</VSize><VFree>20g</VFree>"
                        "</group></groups></lvm><hardware><cpu><logical>8</logical><layout><sockets>1</sockets>"
                        "<cores-per-socket>4</cores-per-socket><threads-per-core>2</threads-per-core></layout>"
                        "</cpu><ram>32768 MB</ram></hardware>",
                ""),
       false,
       "Comparing old.xml with new.xml\nnode: 1 RAID set degraded\n\nNode\n  memory-total memory: 64401 MB -> 32768 MB\n"
       "  cpu-count cpus: 16 -> 8\n  cpu-layout layout: 2 sockets x 4 cores x 2 threads -> 1 sockets x 4 cores x 2 "
       "threads\n  software-raid /dev/md0: raid1, 2 devices: /dev/sda1 /dev/sdb1 -> raid1, 1 device: /dev/sda1\n"
       "  container-count running: 3 -> 2\n"},
      {"node: sets, clusters, members and templates",
       document("", "<dmraid><sets><set><raidname>isw_0</raidname><status>ok</status></set></sets></dmraid>"
                    "<tessel><cluster name='alpha' status='healthy'/></tessel><high-availability>"
                    "<state master='n1'><node name='n1' alive='yes'/><node name='n2' alive='yes'/></state>"
                    "</high-availability>",
                "<TEMPLATE><Name>centos-7</Name><IsCached>Yes</IsCached><Timestamp>1</Timestamp></TEMPLATE>"),
       document("", "<dmraid><sets><set><raidname>isw_0</raidname><status>ok</status></set></sets></dmraid>"
                    "<tessel><cluster name='beta' status='healthy'/></tessel><high-availability>"
                    "<state master='n2'><node name='n1' alive='no'/><node name='n2' alive='yes'/></state>"
                    "</high-availability>",
                "<TEMPLATE><Name>centos-7</Name><IsCached>0</IsCached><Timestamp>2</Timestamp></TEMPLATE>"
                "<TEMPLATE><Name>debian-8</Name><IsCached>1</IsCached></TEMPLATE>"),
       false,
       "Comparing old.xml with new.xml\nnode: 1 cluster member down; templates: 2 changes\n\nNode\n"
       "  cluster alpha: removed healthy\n  cluster beta: added healthy\n  ha-member n1: yes -> no\n"
       "  ha-master master: n1 -> n2\nTemplates\n  template centos-7: cached -> not cached\n"
       "  template debian-8: added cached\n"},
  };
  for (const DiffCase& test : cases) {
    ChangeSet changes = compare_inventories(index_of(test.old_document, "old.xml"),
                                            index_of(test.new_document, "new.xml"), test.all);
    EXPECT_EQ(text_of(changes), test.expected) << test.name;
  }
}

}  // namespace
}  // namespace cvsysinfo
