#include "diff/compare.h"

#include <gtest/gtest.h>
#include <libxml/xmlreader.h>
#include <stdio.h>
#include <stdlib.h>

#include <initializer_list>
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

// PATTERN with each % replaced by the next of VALUES.
std::string filled(const std::string& pattern, std::initializer_list<const char*> values) {
  std::string out;
  auto value = values.begin();
  for (char c : pattern) out += c == '%' && value != values.end() ? std::string(*value++) : std::string(1, c);
  return out;
}

struct DiffCase {
  const char* name;
  std::string old_document, new_document;
  bool all;
  const char* expected;
};

// What the inventories of the simulated hosts cannot show: ids ordered as
// numbers, the host's CT 0, packages without a name, nested settings, UDP6
// and established connections, an image's own Id before its parent's,
// hardware, singular and plural summaries, volatile details.
TEST(CompareTest, ReportsEveryKindByIdentityInOrder) {
  const std::string ct101 = "<CT><CTID>101</CTID><STATE>running</STATE>";
  const std::string ports = "<Ports>Proto Recv-Q Send-Q Local Address Foreign Address State PID/Program name\n";
  const std::string volatile_values = ct101 + "<AllProcesses>" + std::string(80, 'x') +
                                      "%</AllProcesses><DiskSpace><Size>5</Size><Used>%</Used></DiskSpace></CT>";
  const std::string io = "<VESTAT>%</VESTAT><Hdimgs><hdimg0><pstat><bio_in>1</bio_in><bio_out>%</bio_out></pstat>"
                         "<size>8</size></hdimg0></Hdimgs>";
  const std::string volatile_old = document(filled(volatile_values, {"1", "1"}), filled(io, {"a", "2"}), "");
  const std::string volatile_new = document(filled(volatile_values, {"2", "2"}), filled(io, {"b", "3"}), "");
  const std::string hardware =
      "<hardware><numa><nodes>%</nodes></numa><cpu><logical>%</logical><layout><sockets>%</sockets>"
      "<cores-per-socket>4</cores-per-socket><threads-per-core>%</threads-per-core></layout></cpu><ram>% MB</ram>"
      "</hardware><software_raid><device><name>/dev/md0</name><MD_LEVEL>raid1</MD_LEVEL><MD_DEVICES>%</MD_DEVICES>"
      "<MD_DEVICE_dev_sda1_DEV>/dev/sda1</MD_DEVICE_dev_sda1_DEV>%</device></software_raid>"
      "<tessel><cluster name='%' status='healthy'/></tessel>";
  const DiffCase cases[] = {
      {"containers by numeric id, CT 0 as node configuration, items by identity",
       document("<CT><CTID>0</CTID><CONF><IPV6>yes</IPV6></CONF></CT><CT><CTID>9</CTID></CT>" + ct101 +
                    "<CONF><NETIF><ETH0>a</ETH0></NETIF></CONF><InstalledSoftware><Package name='gpg-pubkey' "
                    "arch='' evr='1'/><Package name='' arch='x86_64' evr='1'/><Package name='zsh' arch='x86_64' "
                    "evr='5'/></InstalledSoftware>" + ports + "tcp 0 0 10.0.0.5:40022 10.0.0.9:22 ESTABLISHED 77/ssh\n"
                    "unix 2 [ ACC ] STREAM LISTENING 13042 1/systemd /run/x\n</Ports><Docker><Images><Image>"
                    "<Repository>centos</Repository><Tag>7</Tag><Conf>[{\n  \"Id\": \"0123abcd\",\n  \"Parent\": "
                    "{\"Id\": \"feed\"}}]</Conf></Image></Images></Docker></CT>",
                "", ""),
       document("<CT><CTID>0</CTID><CONF><IPV6>no</IPV6></CONF></CT><CT><CTID>100</CTID></CT>" + ct101 +
                    "<CONF><NETIF><ETH0>b</ETH0></NETIF></CONF><InstalledSoftware><Package name='gpg-pubkey' "
                    "arch='' evr='1'/><Package name='' arch='x86_64' evr='2'/></InstalledSoftware>" + ports +
                    "udp6 0 0 :::5353 :::* 99/avahi\n</Ports></CT>",
                "", ""),
       false,
       "Comparing old.xml with new.xml\n1 container changed, 1 added, 1 removed; node: 1 change\n\nContainers\n"
       "  9 removed\n  100 added\n  101 changed\n    package zsh.x86_64: removed 5\n"
       "    docker-image 0123abcd: removed (centos:7)\n    port udp6 :::5353: opened (avahi)\n"
       "    config NETIF/ETH0: a -> b\nNode\n  config IPV6: yes -> no\n"},
      {"volatile values are left out", volatile_old, volatile_new, false,
       "Comparing old.xml with new.xml\nNo changes.\n"},
      {"volatile values with --all, long texts only as changed", volatile_old, volatile_new, true,
       "Comparing old.xml with new.xml\n1 container changed; node: 2 changes\n\nContainers\n  101 changed\n"
       "    volatile AllProcesses: changed\n    volatile DiskSpace/Used: 1 -> 2\nNode\n"
       "  volatile Hdimgs/hdimg0/pstat: 1 2 -> 1 3\n  volatile VESTAT: a -> b\n"},
      {"node: hardware, a RAID set losing a member, clusters by name; templates",
       document("", filled(hardware, {"2", "16", "2", "2", "64401", "2",
                                      "<MD_DEVICE_dev_sdb1_DEV>/dev/sdb1</MD_DEVICE_dev_sdb1_DEV>", "alpha"}),
                "<TEMPLATE><Name>centos-7</Name><IsCached>Yes</IsCached><Timestamp>1</Timestamp></TEMPLATE>"),
       document("", filled(hardware, {"1", "8", "1", "1", "32768", "1", "", "beta"}),
                "<TEMPLATE><Name>centos-7</Name><IsCached>0</IsCached><Timestamp>2</Timestamp></TEMPLATE>"
                "<TEMPLATE><Name>debian-8</Name><IsCached>1</IsCached></TEMPLATE>"),
       false,
       "Comparing old.xml with new.xml\nnode: 1 RAID set degraded; templates: 2 changes\n\nNode\n"
       "  memory-total memory: 64401 MB -> 32768 MB\n  cpu-count cpus: 16 -> 8\n"
       "  cpu-layout layout: 2 sockets x 4 cores x 2 threads -> 1 socket x 4 cores x 1 thread\n"
       "  numa-nodes nodes: 2 -> 1\n"
       "  software-raid /dev/md0: raid1, 2 devices: /dev/sda1 /dev/sdb1 -> raid1, 1 device: /dev/sda1\n"
       "  cluster alpha: removed healthy\n  cluster beta: added healthy\n"
       "Templates\n  template centos-7: cached -> not cached\n  template debian-8: added cached\n"},
  };
  for (const DiffCase& test : cases) {
    ChangeSet changes = compare_inventories(index_of(test.old_document, "old.xml"),
                                            index_of(test.new_document, "new.xml"), test.all);
    EXPECT_EQ(text_of(changes), test.expected) << test.name;
  }
}

}  // namespace
}  // namespace cvsysinfo
