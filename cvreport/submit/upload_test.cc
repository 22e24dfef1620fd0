#include "submit/upload.h"

#include <gtest/gtest.h>

namespace cvreport {
namespace {

TEST(UploadForm, FieldsGoOutInNameOrder) {
  ContactInfo contact{"Full", "Company", "mail@x", "Subject", "Issue"};
  FormFields fields = buildFormFields(contact, "6.0.0");
  std::vector<std::string> names, values;
  for (const auto& [name, value] : fields) {
    names.push_back(name);
    values.push_back(value);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"company", "cv_version", "email", "fullname",
                                             "issue", "subject"}));
  EXPECT_EQ(values, (std::vector<std::string>{"Company", "6.0.0", "mail@x", "Full", "Issue",
                                              "Subject"}));
}

TEST(UploadReply, BodyIsCappedButFullyConsumed) {
  std::string reply;
  std::string chunk(300 * 1024, 'r');
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(writeReplyBody(&chunk[0], 1, chunk.size(), &reply), chunk.size());
  }
  EXPECT_EQ(reply.size(), kMaxReplyBytes);
}

TEST(UploadReport, NoAddressMeansNoRequest) {
  long status = 0;
  bool accepted = true;
  std::string reply;
  CURLcode transferError = CURLE_OK;
  EXPECT_EQ(uploadReport("/nonexistent.tgz", -1, {}, ReportConfig{}, status, reply, accepted,
                         transferError),
            UploadResult::kNoRequest);
  EXPECT_EQ(status, -1);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(uploadReport("/nonexistent.tgz", -1, {}, ReportConfig{{"SUBMIT_URI", ""}}, status, reply,
                         accepted, transferError),
            UploadResult::kNoRequest);
}

// Root runs the upload: libcurl itself refuses anything but http and
// https, whatever reaches it.
TEST(UploadReport, OnlyHttpAndHttpsAreSpoken) {
  long status = 0;
  bool accepted = true;
  std::string reply;
  CURLcode transferError = CURLE_OK;
  EXPECT_EQ(uploadReport("/nonexistent.tgz", -1, {}, ReportConfig{{"SUBMIT_URI", "file:///etc/hostname"}},
                         status, reply, accepted, transferError),
            UploadResult::kTransferFailed);
  EXPECT_EQ(transferError, CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_EQ(reply, "");
}

TEST(UploadReply, AReplyWithoutTextNamesTheStatus) {
  const struct {
    const char* reply;
    long status;
    const char* expected;
  } cases[] = {
      {"", 503, "\nServer responded with HTTP code 503 (Service Unavailable)\n"},
      {"\n\n", 404, "\nServer responded with HTTP code 404 (Not Found)\n"},
      {"", 302, "\nServer responded with HTTP code 302 (Found)\n"},
      {"", 599, "\nServer responded with HTTP code 599\n"},
      {"ERRCODE=17\n", 500,
       "ERRCODE=17\n\nServer responded with HTTP code 500 (Internal Server Error)\n"},
      {"ERRCODE=17\n\n  \n", 500,
       "ERRCODE=17\n\nServer responded with HTTP code 500 (Internal Server Error)\n"},
      // A text of its own stays.
      {"ERRCODE=17\n\nDisk full\n", 500, "ERRCODE=17\n\nDisk full\n"},
      {"\nServer responded with HTTP code 200\n", 200, "\nServer responded with HTTP code 200\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(replyWithReason(c.reply, c.status), c.expected) << c.reply << c.status;
  }
}

}  // namespace
}  // namespace cvreport
