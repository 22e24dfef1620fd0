// The simulated libraries answer as the host descriptions say: the fixture
// hosts of tests/fixtures/hosts, and small hosts written by the tests.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "cvctl.h"
#include "cvtt_options.h"

namespace fs = std::filesystem;

namespace {

const std::string kFixtures = CVSIM_FIXTURE_HOSTS;

std::string text(const char* s) { return s ? std::string(s) : std::string("<null>"); }

class SimHost : public ::testing::Test {
 protected:
  void TearDown() override { reset(); }

  // Back to no host, for the next row of a table.
  void reset() {
    cvctl_close();
    unsetenv("CVSIM_HOST");
    if (!scratch_.empty()) fs::remove_all(scratch_);
    scratch_.clear();
  }

  // A row's host: a fixture by name, or else the files written here.
  using Files = std::vector<std::pair<std::string, std::string>>;
  void useHost(const char* fixture, const Files& files) {
    reset();
    if (fixture) useFixture(fixture);
    for (const auto& file : files) write(file.first, file.second);
  }

  void use(const std::string& host) { setenv("CVSIM_HOST", host.c_str(), 1); }
  void useFixture(const std::string& name) { use(kFixtures + "/" + name); }

  // A host of the test's own, in a scratch directory made for this test.
  std::string scratchHost() {
    if (scratch_.empty()) {
      std::string pattern = (fs::temp_directory_path() / "cvsim_test.XXXXXX").string();
      char* made = mkdtemp(pattern.data());
      EXPECT_NE(made, nullptr);
      scratch_ = pattern;
      use(scratch_);
    }
    return scratch_;
  }

  void write(const std::string& relative, const std::string& content) {
    fs::path path = fs::path(scratchHost()) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  std::vector<unsigned int> listed(int* count) {
    EnvIdList* list = cvctl_alloc_env_ids();
    EXPECT_NE(list, nullptr);
    std::vector<unsigned int> ids;
    if (!list) return ids;
    *count = cvctl_get_env_ids_by_state(list, CVCTL_STATE_ALL);
    if (*count >= 0) ids.assign(list->ids, list->ids + list->size);
    cvctl_free_env_ids(list);
    return ids;
  }

  int status(unsigned int id, unsigned int* mask) {
    cvctl_env_status_t record;
    memset(&record, 0xff, sizeof record);
    int rc = cvctl_get_env_status(id, &record, CVCTL_STATUS_ALL);
    *mask = record.mask;
    return rc;
  }

  // The library fills more than the record it declares.
  union cvtt_options room_;
  struct options_cvtt& options_ = room_.record;
  std::string scratch_;
};



// What the listing counts and lists: the ids file in its order, else the
// containers in numeric order; the faults and malformed ids.
TEST_F(SimHost, ListingsCountAndOrder) {
  const struct {
    const char* fixture;
    Files files;
    int count;
    std::vector<unsigned int> ids;  // compared when the count is not negative
  } cases[] = {
      {"mixed", {}, 10, {101, 102, 103, 104, 105, 1, 106, 107, 0, 108}},
      {"listing-error", {}, -4, {}},
      {nullptr,
       {{"containers/20/state", "running\n"},
        {"containers/3/state", "stopped\n"},
        {"containers/100/state", "mounted\n"},
        {"containers/notes/state", "running\n"}},
       3,
       {3, 20, 100}},
      {nullptr, {{"ids", "101 10x2\n"}}, -22, {}},
      // The reported count may be smaller than the list.
      {nullptr, {{"ids", "101 102 103\n"}, {"faults", "count=2\n"}}, 2, {101, 102, 103}},
      // A slip in the faults file: listing errors are always negative.
      {nullptr, {{"faults", "# a slip\nlist=4\n"}}, -22, {}},
  };
  for (const auto& c : cases) {
    useHost(c.fixture, c.files);
    ASSERT_EQ(cvctl_open(), 0);
    int count = 0;
    std::vector<unsigned int> ids = listed(&count);
    EXPECT_EQ(count, c.count) << (c.fixture ? c.fixture : c.files[0].second);
    if (c.count >= 0) {
      EXPECT_EQ(ids, c.ids) << (c.fixture ? c.fixture : c.files[0].second);
    }
  }
}

// A container's state as a number, words or garbage, and the status faults.
TEST_F(SimHost, StatesAndTheFailingStatus) {
  const Files files = {{"containers/1/state", "0xc\n"},
                       {"containers/2/state", "mounted, suspended\n"},
                       {"containers/3/state", "runing\n"},
                       {"containers/4/state", ""},
                       {"containers/5/keep", ""},
                       {"faults", "status.4=0\n"}};
  const struct {
    const char* fixture;
    unsigned int id;
    int rc;
    unsigned int mask;  // compared when rc is 0
  } cases[] = {
      {"mixed", 101, 0, CVCTL_ENV_RUNNING},
      {"mixed", 103, 0, CVCTL_ENV_SUSPENDED},
      {"mixed", 104, 0, CVCTL_ENV_MOUNTED},
      {"mixed", 106, 0, 0u},
      {"mixed", 105, 17, 0u},
      {"mixed", 999, 2, 0u},  // an ID the host does not have
      {nullptr, 1, 0, CVCTL_ENV_RUNNING | CVCTL_ENV_SUSPENDED},
      {nullptr, 2, 0, CVCTL_ENV_MOUNTED | CVCTL_ENV_SUSPENDED},
      {nullptr, 3, 22, 0u},  // a misspelt state
      {nullptr, 4, 0, 0u},   // an empty state, and a fault of 0, are no failure
      {nullptr, 5, 0, 0u},   // no state file
  };
  for (const auto& c : cases) {
    useHost(c.fixture, c.fixture ? Files{} : files);
    ASSERT_EQ(cvctl_open(), 0);
    unsigned int mask = 0;
    EXPECT_EQ(status(c.id, &mask), c.rc) << c.id;
    if (c.rc == 0) {
      EXPECT_EQ(mask, c.mask) << c.id;
    }
  }
  cvctl_env_status_t record;
  EXPECT_EQ(cvctl_get_env_status(101, &record, 1), 22) << "only the selector 255 is known";
}

TEST_F(SimHost, TheLibraryMustBeOpenedFirst) {
  useFixture("mixed");
  int count = 0;
  listed(&count);
  EXPECT_EQ(count, -9);
  unsigned int mask = 0;
  EXPECT_EQ(status(101, &mask), 9);
  ASSERT_EQ(cvctl_open(), 0);
  cvctl_close();
  EXPECT_EQ(status(101, &mask), 9) << "closed again";
}

TEST_F(SimHost, OpenFailsAsDescribedOrWithoutAHost) {
  useFixture("failures");
  EXPECT_EQ(cvctl_open(), 19);
  use(kFixtures + "/no-such-host");
  EXPECT_EQ(cvctl_open(), 2);
}

TEST_F(SimHost, BaseListingError) {
  useFixture("listing-error");
  ASSERT_EQ(cvctl_open(), 0);
  char** names = reinterpret_cast<char**>(1);
  EXPECT_EQ(cvtt_get_all_base(&names), 3);
  EXPECT_EQ(names, nullptr);
}

TEST_F(SimHost, AllocationFailure) {
  useFixture("alloc-failure");
  ASSERT_EQ(cvctl_open(), 0);
  EXPECT_EQ(cvctl_alloc_env_ids(), nullptr);
}

TEST_F(SimHost, EmptyHostHasNothing) {
  useFixture("empty");
  ASSERT_EQ(cvctl_open(), 0);
  int count = -1;
  EXPECT_TRUE(listed(&count).empty());
  EXPECT_EQ(count, 0);
  char** names = nullptr;
  ASSERT_EQ(cvtt_get_all_base(&names), 0);
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names[0], nullptr);
}

TEST_F(SimHost, PackagesWithMissingTexts) {
  useFixture("mixed");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct package** pkgs = nullptr;
  ASSERT_EQ(cvtt_get_ve_pkgs(101, &options_, &pkgs), 0);
  ASSERT_NE(pkgs, nullptr);
  std::vector<std::string> seen;
  for (struct package** p = pkgs; *p; ++p) {
    seen.push_back(text((*p)->name) + "|" + text((*p)->arch) + "|" + text((*p)->evr) + "|" +
                   text((*p)->descr));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "bash|x86_64|4.2.46-19.el7|The GNU Bourne Again shell",
                      "glibc|x86_64|2.17-106.el7_2.4|The GNU libc libraries",
                      "gpg-pubkey|<null>|f4a80eb5-53a7ff4b|<null>",
                      "<null>|<null>|<null>|Damaged entry <unknown>",
                      "|||",
                  }));
  cvtt_clean_packages_list(pkgs);
  cvtt_clean_packages_list(nullptr);
}

TEST_F(SimHost, PackagesOfContainersWithoutAListOrUnknown) {
  useFixture("mixed");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct package** pkgs = nullptr;
  ASSERT_EQ(cvtt_get_ve_pkgs(106, &options_, &pkgs), 0);
  ASSERT_NE(pkgs, nullptr);
  EXPECT_EQ(pkgs[0], nullptr);
  cvtt_clean_packages_list(pkgs);
  EXPECT_EQ(cvtt_get_ve_pkgs(999, &options_, &pkgs), 2);
  EXPECT_EQ(pkgs, nullptr);
}

TEST_F(SimHost, OptionsMustBeFilledFirst) {
  useFixture("mixed");
  memset(&options_, 0, sizeof options_);
  struct package** pkgs = nullptr;
  EXPECT_EQ(cvtt_get_ve_pkgs(101, &options_, &pkgs), 22);
  struct tmpl_list_el** list = nullptr;
  EXPECT_EQ(cvtt_get_templates_list("centos-7-x86_64", &options_, &list), 22);
  EXPECT_EQ(cvtt_get_templates_list("centos-7-x86_64", nullptr, &list), 22);
}

TEST_F(SimHost, HostilePackageBytesArriveUnchanged) {
  useFixture("hostile");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct package** pkgs = nullptr;
  ASSERT_EQ(cvtt_get_ve_pkgs(201, &options_, &pkgs), 0);
  ASSERT_NE(pkgs[0], nullptr);
  EXPECT_EQ(text(pkgs[0]->name), "evil\x01name");
  EXPECT_EQ(text(pkgs[0]->arch), "<x>&");
  EXPECT_EQ(text(pkgs[0]->descr),
            "invalid \xff\xfe utf-8, \"quotes\" & 'apostrophes', tab\there, new\nline");
  ASSERT_NE(pkgs[1], nullptr);
  EXPECT_EQ(text(pkgs[1]->name), "$(touch /tmp/owned-package)");
  EXPECT_EQ(pkgs[2], nullptr);
  cvtt_clean_packages_list(pkgs);
  // A record without any text: four nulls.
  ASSERT_EQ(cvtt_get_ve_pkgs(203, &options_, &pkgs), 0);
  ASSERT_NE(pkgs[0], nullptr);
  EXPECT_EQ(pkgs[0]->name, nullptr);
  EXPECT_EQ(pkgs[0]->arch, nullptr);
  EXPECT_EQ(pkgs[0]->evr, nullptr);
  EXPECT_EQ(pkgs[0]->descr, nullptr);
  EXPECT_EQ(pkgs[1], nullptr);
  cvtt_clean_packages_list(pkgs);
}

TEST_F(SimHost, BasesInTheirOrder) {
  useFixture("mixed");
  char** names = nullptr;
  ASSERT_EQ(cvtt_get_all_base(&names), 0);
  std::vector<std::string> seen;
  for (char** n = names; n && *n; ++n) seen.push_back(*n);
  EXPECT_EQ(seen, (std::vector<std::string>{"centos-7-x86_64", "ubuntu-16.04-x86_64",
                                            "debian-8.0-x86_64"}));
}

TEST_F(SimHost, TemplatesWithGaps) {
  useFixture("mixed");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct tmpl_list_el** list = nullptr;
  ASSERT_EQ(cvtt_get_templates_list("centos-7-x86_64", &options_, &list), 0);
  ASSERT_NE(list, nullptr);
  size_t n = 0;
  while (list[n]) ++n;
  ASSERT_EQ(n, 6u);

  ASSERT_NE(list[0]->info, nullptr);
  EXPECT_EQ(text(list[0]->timestamp), "2016-03-01 12:00:00");
  EXPECT_EQ(list[0]->is_os, 1);
  EXPECT_EQ(text(list[0]->info->name), "centos-7-x86_64");
  EXPECT_EQ(text(list[0]->info->osname), "centos");
  EXPECT_EQ(text(list[0]->info->osver), "7");
  EXPECT_EQ(text(list[0]->info->arch), "x86_64");
  EXPECT_EQ(text(list[0]->info->confdir), "/var/lib/cv/template/centos/7/x86_64/config/os/default");
  EXPECT_EQ(text(list[0]->info->summary), "Centos 7 (for AMD64/Intel EM64T) Lyte OS Template");
  EXPECT_EQ(text(list[0]->info->cached), "yes");

  ASSERT_NE(list[1]->info, nullptr);
  EXPECT_EQ(list[1]->is_os, 0);
  EXPECT_EQ(list[1]->info->osver, nullptr);
  EXPECT_EQ(list[1]->info->summary, nullptr);
  EXPECT_EQ(text(list[1]->info->cached), "Yes");

  EXPECT_EQ(text(list[2]->timestamp), "2016-03-03 09:00:00");
  EXPECT_EQ(list[2]->info, nullptr) << "info=none";

  EXPECT_EQ(list[3]->timestamp, nullptr);
  ASSERT_NE(list[3]->info, nullptr) << "an info record, all of it missing";
  EXPECT_EQ(list[3]->info->name, nullptr);
  EXPECT_EQ(list[3]->info->cached, nullptr);

  EXPECT_EQ(text(list[4]->info->cached), "no");

  ASSERT_NE(list[5]->info, nullptr);
  EXPECT_EQ(text(list[5]->timestamp), "");
  EXPECT_EQ(text(list[5]->info->osname), "");
  EXPECT_EQ(text(list[5]->info->cached), "");
  cvtt_clean_templates_list(list);
  cvtt_clean_templates_list(nullptr);
}

TEST_F(SimHost, TemplateListingErrorAndUnknownBase) {
  useFixture("mixed");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct tmpl_list_el** list = reinterpret_cast<struct tmpl_list_el**>(1);
  EXPECT_EQ(cvtt_get_templates_list("ubuntu-16.04-x86_64", &options_, &list), 5);
  EXPECT_EQ(list, nullptr);
  ASSERT_EQ(cvtt_get_templates_list("no-such-os", &options_, &list), 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[0], nullptr);
  cvtt_clean_templates_list(list);
}






TEST_F(SimHost, RecordFilesAreStrict) {
  write("containers/1/packages", "[package]\nname=a\nversion=1\n");
  write("containers/2/packages", "name=before-any-record\n[package]\n");
  write("containers/3/packages", "[template]\nname=a\n");
  write("containers/4/packages", "[package]\nname a\n");
  write("containers/5/packages",
        "# comment\n\n[package]\nname=\\x41\\\\\\q\\x4\n[package]\ndescr=a=b\n");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct package** pkgs = nullptr;
  for (unsigned int id = 1; id <= 4; ++id) {
    EXPECT_EQ(cvtt_get_ve_pkgs(id, &options_, &pkgs), 22) << "container " << id;
    EXPECT_EQ(pkgs, nullptr);
  }
  ASSERT_EQ(cvtt_get_ve_pkgs(5, &options_, &pkgs), 0);
  ASSERT_NE(pkgs[0], nullptr);
  ASSERT_NE(pkgs[1], nullptr);
  EXPECT_EQ(text(pkgs[0]->name), "A\\\\q\\x4") << "unknown escapes stay as written";
  EXPECT_EQ(text(pkgs[1]->descr), "a=b");
  cvtt_clean_packages_list(pkgs);
}

TEST_F(SimHost, PackageFaultAndTemplateRecordErrors) {
  write("containers/7/state", "running\n");
  write("faults", "packages.7=61\n");
  write("templates/bad-info", "[template]\ninfo=maybe\n");
  write("templates/bad-kind", "[template]\nis_os=yes\n");
  ASSERT_EQ(cvtt_set_default_options(&options_), 0);
  struct package** pkgs = nullptr;
  EXPECT_EQ(cvtt_get_ve_pkgs(7, &options_, &pkgs), 61);
  EXPECT_EQ(pkgs, nullptr);
  struct tmpl_list_el** list = nullptr;
  EXPECT_EQ(cvtt_get_templates_list("bad-info", &options_, &list), 22);
  EXPECT_EQ(cvtt_get_templates_list("bad-kind", &options_, &list), 22);
  EXPECT_EQ(list, nullptr);
  char** names = nullptr;
  ASSERT_EQ(cvtt_get_all_base(&names), 0);
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(text(names[0]), "bad-info");
  EXPECT_EQ(text(names[1]), "bad-kind");
  EXPECT_EQ(names[2], nullptr);
}

}  // namespace
