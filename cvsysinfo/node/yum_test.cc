#include "node/yum.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

std::string repositories_of(const std::vector<std::string>& lines) {
  cvtest::ScratchDir dir;
  std::string output = dir.write_lines("yum.out", lines);
  TestWriter w;
  add_yum_repositories(w.get(), ("cat " + output).c_str());
  return w.text();
}

TEST(YumRepositories, LineTable) {
  struct {
    const char* what;
    std::vector<std::string> lines;
    std::string xml;
  } cases[] = {
      {"two repositories and the repolist line",
       {"Loading mirror speeds from cached hostfile", "Config time: 0.012", "Yum Version: 3.4.3",
        "Repo-id      : base/7/x86_64", "Repo-name    : CentOS-7 - Base", "Repo-pkgs    : 10,072",
        "Repo-size    : 8.9 G", "Repo-baseurl : http://mirror/base/", "",
        "Repo-id      : updates", "Repo-updated : Mon Jun  3 10:00:00 2024", "  Updated    : x",
        "Repo-excluded: 0", "pkgsack time: 0.001", "repolist: 10,100"},
       "<YumRepositories><configtime>0.012</configtime><version>3.4.3</version>"
       "<Repository id=\"base/7/x86_64\" name=\"CentOS-7 - Base\" pkgs=\"10,072\" size=\"8.9 G\""
       " baseurl=\"http://mirror/base/\"/>"
       "<Repository id=\"updates\" updated=\"Mon Jun  3 10:00:00 2024\" mupdated=\"x\" excluded=\"0\"/>"
       "<pkgsacktime>0.001</pkgsacktime><repolist>10,100</repolist></YumRepositories>"},
      {"a name before any repository goes on the list itself",
       {"Repo-name : first", "Repo-id : a"},
       "<YumRepositories name=\"first\"><Repository id=\"a\"/></YumRepositories>"},
      {"an attribute that no longer fits is dropped and the list goes on",
       {"Config time: 1", "Repo-name : lost", "Repo-id : a", "repolist: 1"},
       "<YumRepositories><configtime>1</configtime><Repository id=\"a\"/>"
       "<repolist>1</repolist></YumRepositories>"},
      {"nor after a closed repository",
       {"Repo-id : a", "repolist: 1", "Repo-pkgs : 3"},
       "<YumRepositories><Repository id=\"a\"/><repolist>1</repolist></YumRepositories>"},
      {"a repeated attribute keeps the first value",
       {"Repo-id : a", "Repo-name : one", "Repo-name : two", "Repo-id : b", "Repo-name : three"},
       "<YumRepositories><Repository id=\"a\" name=\"one\"/><Repository id=\"b\" name=\"three\"/>"
       "</YumRepositories>"},
      {"a table line without a colon",
       {"Repo-id", "Repo-name : n", "repolist", "Yum Version: 4"},
       "<YumRepositories><Repository name=\"n\"/><version>4</version></YumRepositories>"},
      {"values at and after the colon",
       {"Repo-id :", "Repo-name :x", "Repo-size:ab", "Repo-pkgs: <&>"},
       "<YumRepositories><Repository id=\"\" name=\"\" size=\"b\" pkgs=\"&lt;&amp;&gt;\"/>"
       "</YumRepositories>"},
      {"lines outside the table", {"repo id  repo name  status", " Repo-id : indented"},
       "<YumRepositories/>"},
  };
  for (const auto& c : cases) EXPECT_EQ(repositories_of(c.lines), c.xml) << c.what;
}

TEST(YumRepositories, MissingToolGivesAnEmptyList) {
  TestWriter w;
  add_yum_repositories(w.get(), "/nonexistent/yum repolist -v 2>/dev/null");
  EXPECT_EQ(w.text(), "<YumRepositories/>");
}

}  // namespace
}  // namespace cvsysinfo
