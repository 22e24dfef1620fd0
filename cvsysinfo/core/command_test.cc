#include "core/command.h"

#include <gtest/gtest.h>

#include <string>

namespace cvsysinfo {
namespace {

TEST(Command, LongCommandsAreRefusedNotCut) {
  std::string command;
  EXPECT_TRUE(format_command(command, "cvctl exec %d docker inspect %s", 101, shell_quote("a b").c_str()));
  EXPECT_EQ(command, "cvctl exec 101 docker inspect 'a b'");
  EXPECT_TRUE(command_with_value(command, "/sbin/mdadm -D -Y %s", "/dev/md0;x"));
  EXPECT_EQ(command, "/sbin/mdadm -D -Y '/dev/md0;x'");

  // Exactly the limit is run; one byte more is refused with the message.
  std::string prefix = "df -P ";
  std::string fits(kMaxCommandLength - prefix.size(), 'r');
  EXPECT_TRUE(command_with_value(command, "df -P %s", fits));
  EXPECT_EQ(command.size(), kMaxCommandLength);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(command_with_value(command, "df -P %s", fits + "r"));
  EXPECT_EQ(command, "");
  EXPECT_FALSE(format_command(command, "df -P %s", (fits + "r").c_str()));
  EXPECT_EQ(command, "");
  std::string err = testing::internal::GetCapturedStderr();
  std::string message = "Command is longer than 255 bytes, not run: df -P " + fits + "r\n";
  EXPECT_EQ(err, message + message);
}

}  // namespace
}  // namespace cvsysinfo
