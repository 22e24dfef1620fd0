#include "node/memdedup.h"

#include <gtest/gtest.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "core/test_writer.h"
#include "scratch_dir.h"

namespace cvsysinfo {
namespace {

TEST(MemdedupStat, DispatchTable) {
  struct {
    std::string line;
    std::string xml;
  } cases[] = {
      {"csums: 1024 entries", "<csums>1024</csums>"},
      {"csums: 1024", ""},
      {"csums:\t1024 \t entries", "<csums>1024</csums>"},
      {"inodes: 10 20 30 total", "<inodes><fetched>10</fetched><uncached>20</uncached><cached>30</cached></inodes>"},
      {"size: 1 2 3 MB", "<size><fetched>1</fetched><uncached>2</uncached><cached>3</cached></size>"},
      {"RAM: 4 5 6 KB", "<RAM><fetched>4</fetched><uncached>5</uncached><cached>6</cached></RAM>"},
      {"RAM: 4 5 6", ""},
      {"RAM: 4 5 6 KB extra", ""},
      {"  csums: 1 x", ""},
      {"ram: 1 2 3 x", ""},
      {"csums 1 x", ""},
      {"csumsx: 1 x", ""},
      {"", ""},
  };
  for (auto& c : cases) {
    TestWriter w;
    LineParser parser{w.get(), memdedup_stat_parser, nullptr};
    std::string line = c.line;
    memdedup_stat_parser(&parser, &line[0]);
    EXPECT_EQ(w.text(), c.xml) << c.line;
  }
}

// The free blocks of a shared scratch file system move while the test runs;
// they are checked against the total and then taken over from the output.
std::string fs_line(const std::string& path, const std::string& xml) {
  struct statfs stats {};
  statfs(path.c_str(), &stats);
  size_t start = xml.find("<mount>" + path + "</mount>");
  start = xml.find("<bavail>", start) + 8;
  std::string bavail = xml.substr(start, xml.find('<', start) - start);
  EXPECT_GT(std::stoull(bavail), 0u);
  EXPECT_LE(std::stoull(bavail), static_cast<unsigned long long>(stats.f_blocks));
  return "<blocks>" + std::to_string(stats.f_blocks) + "</blocks><bavail>" + bavail +
         "</bavail><bsize>" + std::to_string(stats.f_bsize) + "</bsize>";
}

TEST(Memdedup, RootsSharingOneCache) {
  cvtest::ScratchDir dir;
  std::string cache = dir.mkdir("cache");
  std::string table = dir.write_lines(
      "mounts", {"/dev/hdimg1p1 /var/lib/cv/root/101 ext4 rw,memdedup=" + cache + ",data=ordered 0 0",
                 "/dev/sda1 / ext4 rw 0 0",
                 "/dev/hdimg2p1 /var/lib/cv/root/1\\0402 ext4 memdedup=/no/such/cache 0 0",
                 "/dev/hdimg3p1 /var/lib/cv/root/103 ext4 rw,memdedup=" + cache + " 0 0"});
  std::string conf = dir.write_lines("memdedup.conf", {"CACHE_SIZE=10G", "# comment"});
  std::string tool = dir.write("memdedup",
                               "#!/bin/sh\necho \"csums: $# arguments\"\necho \"root: $2\"\n"
                               "echo \"inodes: 1 2 3 total\"\n",
                               0755);
  TestWriter w;
  add_memdedup_info(w.get(), MemdedupSources{table.c_str(), conf.c_str(), (tool + " stat %s").c_str()});
  // Two arguments each: the root with a blank reached the tool as one.
  std::string stats = "<csums>2</csums><inodes><fetched>1</fetched><uncached>2</uncached>"
                      "<cached>3</cached></inodes>";
  std::string xml = w.text();
  EXPECT_EQ(xml,
            "<memdedups><CONF><CACHE_SIZE>10G</CACHE_SIZE></CONF>"
            "<memdedup><mount>/no/such/cache</mount><blocks>0</blocks><bavail>0</bavail>"
            "<bsize>0</bsize><containers>1</containers>"
            "<HdimgInfo><root>/var/lib/cv/root/1 2</root>" + stats + "</HdimgInfo></memdedup>"
            "<memdedup><mount>" + cache + "</mount>" + fs_line(cache, xml) + "<containers>2</containers>"
            "<HdimgInfo><root>/var/lib/cv/root/101</root>" + stats + "</HdimgInfo>"
            "<HdimgInfo><root>/var/lib/cv/root/103</root>" + stats + "</HdimgInfo></memdedup></memdedups>");
}

TEST(Memdedup, WrittenOnlyWhenTheTableHasEntries) {
  cvtest::ScratchDir dir;
  std::string empty = dir.write("empty", "");
  std::string plain = dir.write_lines("plain", {"/dev/sda1 / ext4 rw 0 0"});
  TestWriter w;
  add_memdedup_info(w.get(), MemdedupSources{dir.file("absent").c_str(), "/nonexistent", "true %s"});
  add_memdedup_info(w.get(), MemdedupSources{empty.c_str(), "/nonexistent", "true %s"});
  add_memdedup_info(w.get(), MemdedupSources{plain.c_str(), "/nonexistent", "true %s"});
  EXPECT_EQ(w.text(), "<memdedups/>");
}

}  // namespace
}  // namespace cvsysinfo
