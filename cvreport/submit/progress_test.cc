#include "submit/progress.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

namespace cvreport {
namespace {

TEST(UploadPercent, TruncatesTowardZero) {
  const curl_off_t tera = static_cast<curl_off_t>(1) << 40;
  struct {
    curl_off_t total, now;
    int percent;
  } cases[] = {
      {0, 0, 0},       {0, 500, 0},    {1024, 512, 50},       {1024, 1023, 99},
      {1024, 1024, 100}, {3, 1, 33}, {tera, tera - 1, 99},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(uploadPercent(c.total, c.now), c.percent) << c.now << "/" << c.total;
  }
}

std::string printLines(const std::string& collected, size_t& scanPos) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  printCompleteProgressLines(collected, scanPos, out);
  fclose(out);
  std::string text(buffer, size);
  free(buffer);
  return text;
}

TEST(ProgressLines, OnlyCompleteLinesArePrintedOnceInOrder) {
  std::string collected = "PROGRESS=0\nPROGRESS=1";
  size_t scan = 0;
  EXPECT_EQ(printLines(collected, scan), "Upload progress: 0%\n");
  // The split line is held back until its newline arrives.
  EXPECT_EQ(printLines(collected, scan), "");
  collected += "2\nPROGRESS=50\nPROGRESS=100\n";
  EXPECT_EQ(printLines(collected, scan),
            "Upload progress: 12%\nUpload progress: 50%\nUpload progress: 100%\n");
  collected += "REPID=7\n";
  EXPECT_EQ(printLines(collected, scan), "");
}

TEST(ProgressLines, WorkerWritesOnlyChangedPercentages) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* saved = stdout;
  stdout = open_memstream(&buffer, &size);
  resetUploadProgress();
  const curl_off_t total = 1000;
  for (curl_off_t now = 0; now <= total; ++now) reportUploadProgress(nullptr, 0, 0, total, now);
  reportUploadProgress(nullptr, 0, 0, total, total);
  fclose(stdout);
  stdout = saved;
  std::string text(buffer, size);
  free(buffer);
  std::string expected;
  for (int p = 0; p <= 100; ++p) expected += "PROGRESS=" + std::to_string(p) + "\n";
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace cvreport
