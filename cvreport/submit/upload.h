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

// Starts the upload worker, which writes its progress, the service's reply
// and, on failure, the reason on the pipe, and exits 0 when the service took
// the report. -1 in the parent when it could not be started (child.message;
// the front end reports it).
int submitReport(ChildProcess& child, const std::string& archivePath, const ContactInfo& contact,
                 const ReportConfig& config);
enum class UploadResult {
  kTransferred,     // whatever the HTTP status
  kNoRequest,       // no address, or no libcurl handle
  kTransferFailed,  // libcurl's code in transferError
  kReplyTimedOut,   // the reply did not end within kReplyTimeoutSeconds
};

// Runs in the worker; acceptedReply tells whether the reply came as the
// service's own "text/plain". Silent: submitReport reports the outcome.
UploadResult uploadReport(const std::string& archivePath, const FormFields& fields,
                          const ReportConfig& config, long& httpStatus, std::string& reply,
                          bool& acceptedReply, CURLcode& transferError);
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
