#include "submit/pipe_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace cvreport {
namespace {

class NonBlockingPipe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe(fds_), 0);
    fcntl(fds_[0], F_SETFL, fcntl(fds_[0], F_GETFL) | O_NONBLOCK);
  }
  void TearDown() override {
    close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  void write(const std::string& text) {
    ASSERT_EQ(::write(fds_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void closeWriter() {
    close(fds_[1]);
    fds_[1] = -1;
  }
  int fds_[2] = {-1, -1};
};

TEST_F(NonBlockingPipe, LinesAreTakenWholeAsTheyComplete) {
  std::string pending;
  std::vector<std::string> lines;
  write("Progress: 1\nProgr");
  EXPECT_EQ(readPipeLines(fds_[0], pending, lines, 4095), PipeState::kOpen);
  EXPECT_EQ(lines, std::vector<std::string>{"Progress: 1\n"});
  EXPECT_EQ(pending, "Progr");
  write("ess: 50\n\nlast");
  closeWriter();
  EXPECT_EQ(readPipeLines(fds_[0], pending, lines, 4095), PipeState::kEnded);
  EXPECT_EQ(lines, (std::vector<std::string>{"Progress: 1\n", "Progress: 50\n", "\n", "last"}));
  EXPECT_EQ(pending, "");
}

TEST_F(NonBlockingPipe, OverlongLinesAreCut) {
  std::string pending;
  std::vector<std::string> lines;
  write(std::string(10, 'x') + "\nab\n");
  EXPECT_EQ(readPipeLines(fds_[0], pending, lines, 4), PipeState::kOpen);
  EXPECT_EQ(lines, (std::vector<std::string>{"xxxx", "xxxx", "xx\n", "ab\n"}));
}

TEST_F(NonBlockingPipe, LinesGiveBackTheBytesAsWritten) {
  // The console echoes the collector's lines: cut pieces and a last line
  // without newline must come back exactly as written.
  const std::string text = "one\n" + std::string(9, 'x') + "\n\nlast";
  std::string pending;
  std::vector<std::string> lines;
  write(text);
  closeWriter();
  EXPECT_EQ(readPipeLines(fds_[0], pending, lines, 4), PipeState::kEnded);
  EXPECT_EQ(lines, (std::vector<std::string>{"one\n", "xxxx", "xxxx", "x\n", "\n", "last"}));
}

TEST_F(NonBlockingPipe, DrainTakesEverythingWithoutWaiting) {
  std::string collected = "before ";
  EXPECT_EQ(drainPipe(fds_[0], collected), PipeState::kOpen);
  EXPECT_EQ(collected, "before ");
  std::string big(50000, 'y');
  write(big);
  EXPECT_EQ(drainPipe(fds_[0], collected), PipeState::kOpen);
  EXPECT_EQ(collected, "before " + big);
  closeWriter();
  EXPECT_EQ(drainPipe(fds_[0], collected), PipeState::kEnded);
}

TEST(PipeReader, AClosedDescriptorFails) {
  std::string collected;
  EXPECT_EQ(drainPipe(-1, collected), PipeState::kFailed);
}

}  // namespace
}  // namespace cvreport
