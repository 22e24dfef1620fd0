#include "core/command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

namespace cvsysinfo {
namespace {

TEST(Command, PlainCommandsAreTheShellsWords) {
  std::vector<std::string> words;
  EXPECT_TRUE(plain_command_words("cvps -A -E 101 -o user,pid,%cpu,%mem,vsz", words));
  EXPECT_EQ(words, (std::vector<std::string>{"cvps", "-A", "-E", "101", "-o", "user,pid,%cpu,%mem,vsz"}));
  // Runs of blanks separate words as the shell's splitting does.
  EXPECT_TRUE(plain_command_words("  df  -P /var/lib/root@x:y=z+1 ", words));
  EXPECT_EQ(words, (std::vector<std::string>{"df", "-P", "/var/lib/root@x:y=z+1"}));

  // Quoting, expansion, redirection, globbing, tabs and the shell's own
  // words all need the shell; the words are cleared then.
  for (const char* command :
       {"cvctl exec 101 docker inspect 'a b'", "echo $HOME", "ls >x", "ls *", "a;b", "a|b", "cat ~/x",
        "a\tb", "ls \\x", "A=1 env", "echo hello", "test -e x", "cd /", ". /etc/profile", "", "   ",
        "exec ls", "ls `x`", "ls #x", "ls (x)", "ls {a,b}", "ls ?"}) {
    words = {"left over"};
    EXPECT_FALSE(plain_command_words(command, words)) << command;
    EXPECT_TRUE(words.empty()) << command;
  }
}

}  // namespace
}  // namespace cvsysinfo
