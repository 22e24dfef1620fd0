#include "obfuscate/obfuscator.h"

#include <gtest/gtest.h>

#include <string>

namespace cvreport {
namespace {

using namespace std::string_literals;

void addSiteNames(Obfuscator& obfuscator) {
  obfuscator.addName(NameKind::kHost, "cvnode7");
  obfuscator.addName(NameKind::kHost, "cvnode");
  obfuscator.addName(NameKind::kHost, "db1.corp.example.");
  obfuscator.addName(NameKind::kUser, "ops");
  obfuscator.addName(NameKind::kUser, "svc$");
  obfuscator.addName(NameKind::kGroup, "dbadmins");
  obfuscator.addName(NameKind::kWord, "AcmeCorp");
  obfuscator.addName(NameKind::kHost, "host-0002");
  // Ignored: common words, bytes a name never holds, empty.
  for (const char* name : {"in", "a", "a.*b", "c++", "", "x y", "\xff\x01"}) {
    obfuscator.addName(NameKind::kWord, name);
    obfuscator.addName(NameKind::kUser, name);
  }
  obfuscator.build();
}

TEST(Obfuscator, ReplacesWholeNamesAndAddressesKeepingTheirShape) {
  ObfuscationMap map;
  Obfuscator obfuscator(map);
  addSiteNames(obfuscator);
  const struct {
    std::string in, out;
  } cases[] = {
      {"login ops from cvnode7 as svc$", "login user0001 from host-0001 as user0002"},
      {"Ops opsware ops-team ops_x ops. x:ops", "Ops opsware ops-team ops_x user0001. x:user0001"},
      {"DB1.Corp.Example db1.corp.example.", "host-0004.domain-0001.example host-0004.domain-0001.example."},
      {"mail.corp.example /corp.example/ corp.example.org",
       "mail.domain-0001.example /domain-0001.example/ corp.example.org"},
      {"cvnode cvnode7 cvnode77 cvnode7.log host-0002", "host-0002 host-0001 cvnode77 cvnode7.log host-0002"},
      {"init in a a.*b c++", "init in a a.*b c++"},
      {"acmecorp ACMECORP AcmeCorpX group dbadmins", "word-0001 word-0001 AcmeCorpX group group0001"},
      {"\xff" "ops\x00" "cvnode7\x80"s, "\xff" "user0001\x00" "host-0001\x80"s},
      {"10.1.2.3 10.1.2.77, 10.1.3.3:22 192.0.2.9/24", "10.0.1.3 10.0.1.77, 10.0.2.3:22 10.0.3.9/24"},
      {"127.0.0.1 169.254.1.1 0.0.0.0 10.1.2.255 255.255.255.0 224.0.0.1",
       "127.0.0.1 169.254.1.1 0.0.0.0 10.1.2.255 255.255.255.0 224.0.0.1"},
      {"1.2.3.4.5 1.2.3 v1.2.3.4 300.1.1.1 1.2.3.4-rc1", "1.2.3.4.5 1.2.3 v1.2.3.4 300.1.1.1 1.2.3.4-rc1"},
      {"2001:db8:1:2::5 [2001:DB8:1:2:0:0:0:9]:80 2001:db8:1:3::",
       "fd00:0:0:1::5 [fd00:0:0:1::9]:80 fd00:0:0:2::"},
      {"::1 :: fe80::1%eth0 ff02::1 std::string Cv::Node 12:30:45 1::2::3",
       "::1 :: fe80::1%eth0 ff02::1 std::string Cv::Node 12:30:45 1::2::3"},
      {"52:54:00:12:34:56 52-54-00-AB-cd-ef ff:ff:ff:ff:ff:ff 01:00:5e:00:00:01 52:54:00:12:34:56:78",
       "02:00:01:12:34:56 02-00-01-AB-cd-ef ff:ff:ff:ff:ff:ff 01:00:5e:00:00:01 52:54:00:12:34:56:78"},
      {"dhcp-10-1-2-3 ip-10-1-2-4.corp.example 2024-01-02-10-30 10-1-2-3",
       "dhcp-10-0-1-3 ip-10-0-1-4.domain-0001.example 2024-01-02-10-30 10-0-1-3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(obfuscator.apply(c.in), c.out) << c.in;
    EXPECT_TRUE(obfuscator.survivors(c.out).empty()) << c.out;
  }
  // What the check before sending finds in text that was never replaced.
  std::vector<std::pair<std::string, std::string>> expected = {
      {"user", "ops"}, {"host", "db1.corp.example"}, {"ipv4net", "10.1.2"},
      {"ipv6net", "2001:db8:1:2"}, {"macvendor", "52:54:00"}, {"domain", "corp.example"}};
  EXPECT_EQ(obfuscator.survivingEntries("ops db1.corp.example 10.1.2.8 2001:db8:1:2::1 "
                                        "52:54:00:00:00:01 x.corp.example ops"),
            expected);
}

TEST(Obfuscator, HostileTextStaysLinearAndUntouched) {
  ObfuscationMap map;
  Obfuscator obfuscator(map);
  addSiteNames(obfuscator);
  const size_t kMiB = 1 << 20;
  for (std::string unit : {"1.", "a-", ":", "1-", "a.", "ff:", "1:2:"}) {
    std::string line;
    while (line.size() < kMiB) line += unit;
    EXPECT_EQ(obfuscator.apply(line), line) << unit;
  }
  std::string names;
  while (names.size() < kMiB) names += "ops\tcorp.example ";
  std::string replaced = obfuscator.apply(names);
  EXPECT_EQ(replaced.find("ops\t"), std::string::npos);
  EXPECT_EQ(replaced.size(), names.size() / 17 * (9 + 20));
}

TEST(Obfuscator, PlaceholdersStayTheSameAcrossRunsThroughTheMap) {
  std::string text = "cvnode7 db1.corp.example ops 10.9.8.7 2001:db8::1 52:54:00:01:02:03";
  ObfuscationMap map;
  Obfuscator first(map);
  addSiteNames(first);
  std::string once = first.apply(text);
  EXPECT_EQ(first.apply(text), once);

  // A later run gathers in another order and meets the short name late.
  ObfuscationMap reused = map;
  Obfuscator second(reused);
  second.addName(NameKind::kUser, "backup");
  second.addName(NameKind::kHost, "db1");
  second.build();
  EXPECT_EQ(second.apply(text), once);
  EXPECT_EQ(second.apply("db1 backup"), "host-0004 user0003");
  EXPECT_EQ(second.survivors(text).size(), 6u);
}

}  // namespace
}  // namespace cvreport
