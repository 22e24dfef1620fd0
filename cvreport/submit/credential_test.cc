#include "submit/credential.h"

#include <gtest/gtest.h>

#include "submit/upload.h"

namespace cvreport {
namespace {

TEST(Credential, ScrambleRoundTrips) {
  const char* plains[] = {"cvreport:placeholder", "user:password-123456", "a:b"};
  for (const char* plain : plains) {
    std::vector<unsigned char> stored = scrambleCredential(plain, 0x5a);
    ASSERT_FALSE(stored.empty()) << plain;
    EXPECT_EQ(stored.back(), 0);
    EXPECT_EQ(unscrambleCredential(stored.data(), 0x5a), plain);
    EXPECT_NE(std::string(stored.begin(), stored.end() - 1), plain);
  }
}

TEST(Credential, KeyChainFollowsTheStoredBytes) {
  // First byte: 'A' ^ 0x01; the next key is that stored byte rotated left.
  std::vector<unsigned char> stored = scrambleCredential("AB", 0x01);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0], 'A' ^ 0x01);
  unsigned char rotated = static_cast<unsigned char>((stored[0] << 1) | (stored[0] >> 7));
  EXPECT_EQ(stored[1], 'B' ^ rotated);
}

TEST(Credential, ZeroByteIsRefused) { EXPECT_TRUE(scrambleCredential("Z", 'Z').empty()); }

TEST(Credential, BuiltInCredentialIsTwentyCharacters) {
  std::string credential = defaultCredential();
  EXPECT_EQ(credential.size(), kCredentialLength);
  EXPECT_NE(credential.find(':'), std::string::npos);
}

}  // namespace
}  // namespace cvreport
