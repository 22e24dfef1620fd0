#include "node/hardware.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

// One processor block as the kernel prints it; a negative id leaves its
// line out.
std::string processor_block(int processor, int physical, int core, const char* model) {
  std::string block = "processor\t: " + std::to_string(processor) + "\n";
  block += "vendor_id\t: GenuineCorvan\n";
  if (model) block += std::string("model name\t: ") + model + "\n";
  if (physical >= 0) block += "physical id\t: " + std::to_string(physical) + "\n";
  block += "siblings\t: 8\n";
  if (core >= 0) block += "core id\t\t: " + std::to_string(core) + "\n";
  block += "flags\t\t: fpu vme de pse tsc msr pae mce cx8 apic sep mtrr\n\n";
  return block;
}

struct Topology {
  int rc, logical, sockets, cores, threads;
};

Topology parse(const std::string& text, std::string* model = nullptr) {
  cvtest::ScratchDir dir;
  std::string path = dir.write("cpuinfo", text);
  HwInfo info;
  int rc = parse_cpuinfo(info, path.c_str());
  if (model) *model = info.has_model_name ? info.model_name : "<none>";
  return {rc, info.logical, info.sockets, info.cores_per_socket, info.threads_per_core};
}

TEST(Cpuinfo, Topologies) {
  std::string twoByFourByTwo;
  // Core by core over both sockets, then the second thread of every core.
  for (int p = 0; p < 16; ++p) twoByFourByTwo += processor_block(p, (p / 4) % 2, p % 4, "X");
  std::string noPhysical;
  for (int p = 0; p < 4; ++p) noPhysical += processor_block(p, -1, -1, "X");
  std::string oneCore = processor_block(0, 0, 0, nullptr);
  std::string sparse = processor_block(0, 3, 17, "X") + processor_block(1, 255, 255, "X");
  struct {
    const char* what;
    std::string text;
    Topology expected;
  } cases[] = {
      {"2 sockets x 4 cores x 2 threads", twoByFourByTwo, {0, 16, 2, 4, 2}},
      {"no physical id or core id", noPhysical, {0, 1, 0, 1, 1}},
      {"one processor", oneCore, {0, 1, 1, 1, 1}},
      {"socket and core numbers up to 255", sparse, {0, 2, 2, 1, 1}},
      {"physical id 256", processor_block(0, 0, 0, "X") + processor_block(1, 256, 0, "X"), {-1, 0, 0, 0, 0}},
      {"core id 256", processor_block(0, 1, 256, "X"), {-1, 0, 0, 0, 0}},
      {"empty file", "", {0, 1, 0, 1, 1}},
  };
  for (auto& c : cases) {
    testing::internal::CaptureStderr();
    Topology got = parse(c.text);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(got.rc, c.expected.rc) << c.what;
    if (got.rc != 0) {
      EXPECT_NE(err.find("internal error: curr_"), std::string::npos) << c.what;
      continue;
    }
    EXPECT_EQ(got.logical, c.expected.logical) << c.what;
    EXPECT_EQ(got.sockets, c.expected.sockets) << c.what;
    EXPECT_EQ(got.cores, c.expected.cores) << c.what;
    EXPECT_EQ(got.threads, c.expected.threads) << c.what;
  }
}

TEST(Cpuinfo, LimitMessages) {
  testing::internal::CaptureStderr();
  parse(processor_block(0, 256, 0, "X"));
  parse(processor_block(0, 0, 300, "X"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "internal error: curr_socket = 256, need to increase MAX_CPU_SOCKETS limit and recompile\n"
            "internal error: curr_core = 300, need to increase MAX_CPU_CORES limit and recompile\n");
}

TEST(Cpuinfo, ModelName) {
  struct {
    std::string text;
    std::string model;
  } cases[] = {
      {processor_block(0, 0, 0, "Corvan(R) CPU E5 @ 2.40GHz") + processor_block(1, 0, 1, "Other"),
       "Corvan(R) CPU E5 @ 2.40GHz"},
      {processor_block(0, 0, 0, nullptr), "<none>"},
      {"model name\t: \n", ""},
      {"model name\t:", "<none>"},
  };
  for (auto& c : cases) {
    std::string model;
    parse(c.text, &model);
    EXPECT_EQ(model, c.model) << c.text;
  }
}

TEST(Cpuinfo, UnreadableFile) {
  HwInfo info;
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse_cpuinfo(info, "/nonexistent/cpuinfo"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "can't read /nonexistent/cpuinfo\nerror: No such file or directory\n");
}

TEST(FindKey, ValuesAndNumbers) {
  struct {
    const char* line;
    const char* key;
    const char* value;
    int number;
  } cases[] = {
      {"processor\t: 12\n", "processor", "12\n", 12},
      {"core id\t\t: 3", "core id", "3", 3},
      {"processor\t: \t", "processor", nullptr, -1},
      {"vendor_id : x", "processor", nullptr, -1},
      {"physical id : abc", "physical id", "abc", 0},
      {"physical id : 99999999999999", "physical id", "99999999999999", 2147483647},
      {"Node 1, zone Normal", "Node", "1, zone Normal", 1},
  };
  for (auto& c : cases) {
    const char* value = find_key_value(c.line, c.key, "\t :");
    EXPECT_EQ(value ? std::string(value) : "<none>", c.value ? c.value : "<none>") << c.line;
    EXPECT_EQ(find_key_number(c.line, c.key, "\t :"), c.number) << c.line;
  }
}

TEST(Zoneinfo, NodesCounted) {
  cvtest::ScratchDir dir;
  std::string two = dir.write_lines("two", {"Node 0, zone      DMA", "  pages free     3975",
                                           "Node 0, zone    DMA32", "Node 1, zone   Normal",
                                           "  nr_free_pages 1000", "Node 1, zone  Movable"});
  std::string one = dir.write_lines("one", {"Node 0, zone DMA", "  per-node stats"});
  EXPECT_EQ(count_numa_nodes(two.c_str()), 2);
  EXPECT_EQ(count_numa_nodes(one.c_str()), 1);
  EXPECT_EQ(count_numa_nodes(dir.file("absent").c_str()), 0);
}

TEST(HardwareElement, WrittenFromTheKernelFiles) {
  cvtest::ScratchDir dir;
  std::string cpuinfo = dir.write("cpuinfo", processor_block(0, 0, 0, "M <1>") + processor_block(1, 0, 0, "M"));
  std::string zoneinfo = dir.write_lines("zoneinfo", {"Node 0, zone DMA", "Node 1, zone DMA"});
  HwInfo info;
  ASSERT_EQ(get_hw_info(info, cpuinfo.c_str(), zoneinfo.c_str()), 0);
  EXPECT_GT(info.ram_mb, 0);
  TestWriter w;
  add_cpu_info(w.get(), info);
  info.has_model_name = false;
  add_cpu_info(w.get(), info);
  EXPECT_EQ(w.text(),
            "<cpu><logical>2</logical><layout><sockets>1</sockets><cores-per-socket>1</cores-per-socket>"
            "<threads-per-core>2</threads-per-core></layout><model-name>M &lt;1&gt;</model-name></cpu>"
            "<cpu><logical>2</logical><layout><sockets>1</sockets><cores-per-socket>1</cores-per-socket>"
            "<threads-per-core>2</threads-per-core></layout><model-name/></cpu>");
}

TEST(HardwareElement, EmptyWhenCpuinfoFails) {
  cvtest::ScratchDir dir;
  std::string cpuinfo = dir.write("cpuinfo", processor_block(0, 256, 0, "X"));
  TestWriter w;
  testing::internal::CaptureStderr();
  add_hw_info(w.get(), cpuinfo.c_str(), dir.file("absent").c_str());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(w.text(), "<hardware/>");
  EXPECT_NE(err.find("failed to get hardware info\n"), std::string::npos);
}

}  // namespace
}  // namespace cvsysinfo
