// The upload worker: a forked copy of cvreport that posts the contact details
// and the archive to the support service and reports on its stdout.
#pragma once

#include <curl/curl.h>

#include <map>
#include <string>

#include "run/session.h"
#include "submit/child.h"

namespace cvreport {

using FormFields = std::map<std::string, std::string>;

// The most of a reply body that is kept; the rest is dropped.
inline constexpr size_t kMaxReplyBytes = 1024 * 1024;

// How the upload worker ends: its exit status, which the parent tells
// apart. Its stdout has its PROGRESS=N lines, then the service's reply or
// the reason for the user (value lines, a blank line, the text). Before
// that reply, a kRetryable worker writes two value lines of its own:
//   RETRY_AFTER=N    the seconds the service asked to wait, 0 when none
//   RETRY_REASON=T   one short line for the retry's announcement
// The parent takes the first of each, which the service cannot forge.
enum class WorkerExit : int {
  kAccepted = 0,                   // the service took the report
  kSetupFailed = kChildSetupFailed,  // the child's plumbing
  kVersionUnreadable = 2,          // the release file names no version
  kNothingSent = 3,                // no address, or no libcurl handle
  kTransferFailed = 4,             // connection, proxy, TLS, a stall
  kRefused = 5,                    // an error status, or a reply not the service's
  kReplyTimedOut = 6,              // the reply did not end in kReplyTimeoutSeconds
  kRetryable = 7,                  // failed before the service could have filed it
};

// The name the archive's part has always had, whatever the file is called.
inline constexpr char kArchivePartName[] = "cvreport.tgz";

// The upload worker's body, run in a child whose stdout is the parent's
// pipe: posts the contact details and the archive (read from archiveFd
// when that is open, else from archivePath), naming productVersion (the
// host's release file's when empty), writes its progress and the reply,
// and ends with exitChild and its WorkerExit.
[[noreturn]] void runUploadWorker(const std::string& archivePath, int archiveFd,
                                  const ContactInfo& contact, const std::string& productVersion,
                                  const ReportConfig& config);
enum class UploadResult {
  kTransferred,     // whatever the HTTP status
  kNoRequest,       // no address, or no libcurl handle
  kTransferFailed,  // libcurl's code in transferError
  kReplyTimedOut,   // the reply did not end within kReplyTimeoutSeconds
};

// What one upload attempt saw.
struct TransferReport {
  long httpStatus = -1;
  std::string reply;
  bool acceptedReply = false;  // the reply came as the service's own "text/plain"
  CURLcode transferError = CURLE_OK;
  bool bodySent = false;       // the whole authenticated body went out
  long retryAfter = 0;         // the service's Retry-After in seconds, 0: none
  std::string uri;             // the address and proxy tried, without credentials
  std::string proxy;
  long proxyStatus = 0;        // the proxy's answer to CONNECT, 0: no tunnel asked
};

// Runs in the worker. Silent: runUploadWorker reports the outcome.
UploadResult uploadReport(const std::string& archivePath, int archiveFd, const FormFields& fields,
                          const ReportConfig& config, TransferReport& transfer);
// Whether the attempt failed before the service could have filed the
// report, so that another is safe: the connection not made, or lost or
// stalled before the whole body went out, or a 502, 503 or 504 without a
// REPID (from a proxy only while the body had not gone out whole). Never a
// refused certificate, a tunnel the proxy refused, or another refusal.
bool mayRetryUpload(UploadResult result, const TransferReport& transfer);
// The short reason the announcement of a retry gives.
std::string retryReason(UploadResult result, const TransferReport& transfer);
// The user's text for a failed transfer: the address tried, the reason and
// the proxy, if any.
std::string transferFailureText(const TransferReport& transfer, const std::string& reason);
// url without the user name and password it may hold; unchanged otherwise.
std::string urlWithoutCredentials(const std::string& url);
// The line added to the service's refusal of the credentials (a 401).
inline constexpr char kCredentialsRefusedText[] =
    "The service refused the credentials: check SUBMIT_USER and SUBMIT_PASSWORD in "
    "/etc/cvreport.conf";
// The line added to the proxy's refusal of its credentials (a 407, to the
// request or to CONNECT).
inline constexpr char kProxyCredentialsRefusedText[] =
    "The proxy refused the credentials: check HTTP_PROXY_USER and HTTP_PROXY_PASSWORD in "
    "/etc/cvreport.conf";
// The reason for a tunnel the proxy refused (its answer to CONNECT).
std::string proxyRefusalText(long proxyStatus);
// libcurl write callback: keeps up to kMaxReplyBytes, consumes all.
size_t writeReplyBody(char* data, size_t size, size_t count, void* reply);
// Seconds an upload may go on at under one byte per second (sending or
// waiting for the reply) before it fails as a transfer failure: the build
// setting CVREPORT_STALL_TIMEOUT (120 unless set); 0 waits for ever.
inline constexpr long kStallTimeoutSeconds = CVREPORT_STALL_TIMEOUT;
// Seconds the service has, once the whole body is sent, to finish its
// reply, however slowly it comes: the build setting CVREPORT_REPLY_TIMEOUT
// (300 unless set); 0 waits for ever.
inline constexpr long kReplyTimeoutSeconds = CVREPORT_REPLY_TIMEOUT;
// The sentence that stands for an error reply without text: the status
// and, for a status HTTP names, its reason phrase.
std::string httpStatusSentence(long httpStatus);
// The reply with httpStatusSentence as its text when it has no text of its
// own (an empty error, a redirect); otherwise unchanged.
std::string replyWithReason(const std::string& reply, long httpStatus);
// The form fields beside the archive, in the service's names.
FormFields buildFormFields(const ContactInfo& contact, const std::string& version);
// The built-in service credential, unscrambled.
std::string defaultCredential();

}  // namespace cvreport
