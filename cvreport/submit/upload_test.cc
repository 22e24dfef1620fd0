#include "submit/upload.h"

#include <gtest/gtest.h>

#include "submit/upload_run.h"

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
  TransferReport transfer;
  transfer.httpStatus = 0;
  EXPECT_EQ(uploadReport("/nonexistent.tgz", -1, {}, ReportConfig{}, transfer),
            UploadResult::kNoRequest);
  EXPECT_EQ(transfer.httpStatus, -1);
  EXPECT_FALSE(transfer.acceptedReply);
  EXPECT_EQ(uploadReport("/nonexistent.tgz", -1, {}, ReportConfig{{"SUBMIT_URI", ""}}, transfer),
            UploadResult::kNoRequest);
}

// Root runs the upload: libcurl itself refuses anything but http and
// https, whatever reaches it.
TEST(UploadReport, OnlyHttpAndHttpsAreSpoken) {
  TransferReport transfer;
  EXPECT_EQ(uploadReport("/nonexistent.tgz", -1, {},
                         ReportConfig{{"SUBMIT_URI", "file:///etc/hostname"}}, transfer),
            UploadResult::kTransferFailed);
  EXPECT_EQ(transfer.transferError, CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_EQ(transfer.reply, "");
  EXPECT_EQ(transfer.uri, "file:///etc/hostname");
  EXPECT_FALSE(mayRetryUpload(UploadResult::kTransferFailed, transfer));
}

TEST(UploadRetry, OnlyWhatTheServiceCannotHaveFiled) {
  const UploadResult kSent = UploadResult::kTransferred, kBroke = UploadResult::kTransferFailed;
  const struct {
    UploadResult result;
    CURLcode error;
    long status;
    const char* reply;
    bool acceptedReply, bodySent, retried;
  } cases[] = {
      {kBroke, CURLE_COULDNT_CONNECT, -1, "", false, false, true},
      {kBroke, CURLE_COULDNT_RESOLVE_HOST, -1, "", false, false, true},
      {kBroke, CURLE_SEND_ERROR, -1, "", false, false, true},
      {kBroke, CURLE_RECV_ERROR, -1, "", false, false, true},
      {kBroke, CURLE_OPERATION_TIMEDOUT, -1, "", false, false, true},
      {kBroke, CURLE_RECV_ERROR, -1, "", false, true, false},  // the service may have it
      {kBroke, CURLE_GOT_NOTHING, -1, "", false, true, false},
      {kBroke, CURLE_OPERATION_TIMEDOUT, -1, "", false, true, false},
      {kBroke, CURLE_PEER_FAILED_VERIFICATION, -1, "", false, false, false},
      {kBroke, CURLE_SSL_CACERT_BADFILE, -1, "", false, false, false},
      {kBroke, CURLE_SSL_PINNEDPUBKEYNOTMATCH, -1, "", false, false, false},
      {UploadResult::kReplyTimedOut, CURLE_ABORTED_BY_CALLBACK, -1, "", false, true, false},
      {kSent, CURLE_OK, 503, "", true, true, true},
      {kSent, CURLE_OK, 502, "ERRCODE=1\n", true, true, true},
      {kSent, CURLE_OK, 504, "\nBusy\n", true, true, true},
      {kSent, CURLE_OK, 503, "REPID=7\n", true, true, false},
      {kSent, CURLE_OK, 502, "\nInvalid server response received\n", false, true, false},
      {kSent, CURLE_OK, 502, "\nInvalid server response received\n", false, false, true},
      {kSent, CURLE_OK, 500, "", true, false, false},
      {kSent, CURLE_OK, 501, "", true, false, false},
      {kSent, CURLE_OK, 401, "", true, false, false},
      {kSent, CURLE_OK, 429, "", true, false, false},
      {kSent, CURLE_OK, 200, "", true, true, false},
  };
  for (const auto& c : cases) {
    TransferReport transfer;
    transfer.transferError = c.error;
    transfer.httpStatus = c.status;
    transfer.reply = c.reply;
    transfer.acceptedReply = c.acceptedReply;
    transfer.bodySent = c.bodySent;
    EXPECT_EQ(mayRetryUpload(c.result, transfer), c.retried)
        << curl_easy_strerror(c.error) << " " << c.status << " " << c.bodySent;
  }
  // A tunnel the proxy refused comes back as a receive error.
  TransferReport tunnel;
  tunnel.transferError = CURLE_RECV_ERROR;
  for (long proxyStatus : {0L, 200L, 403L, 407L}) {
    tunnel.proxyStatus = proxyStatus;
    EXPECT_EQ(mayRetryUpload(kBroke, tunnel), proxyStatus < 300) << proxyStatus;
  }
}

TEST(UploadFailureText, AddressesLoseTheirCredentials) {
  const struct {
    const char* url;
    const char* shown;
  } urls[] = {
      {"https://u:p@w@host:8443/path?q=a@b", "https://host:8443/path?q=a@b"},
      {"http://proxy:3128", "http://proxy:3128"},
      {"px:secret@proxy:3128", "proxy:3128"},
      {"http://host/p@th", "http://host/p@th"},
      {"", ""},
  };
  for (const auto& u : urls) EXPECT_EQ(urlWithoutCredentials(u.url), u.shown) << u.url;
}

// The service's Retry-After is honoured up to a minute.
TEST(UploadRetry, Pauses) {
  const struct {
    int next;
    long retryAfter;
    int pause;
  } cases[] = {
      {2, 0, 2}, {3, 0, 8}, {2, 1, 1}, {3, 30, 30}, {2, 60, 60}, {2, 61, 60}, {3, 3600, 60},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(retryPauseSeconds(c.next, c.retryAfter), c.pause) << c.next << " " << c.retryAfter;
  }
}

}  // namespace
}  // namespace cvreport
