// The upload worker: a forked copy of cvreport that posts the contact details
// and the archive to the support service and reports on its stdout.
#pragma once

#include <map>
#include <string>

#include "run/session.h"
#include "submit/child.h"

namespace cvreport {

using FormFields = std::map<std::string, std::string>;

// The most of a reply body that is kept; the rest is dropped.
inline constexpr size_t kMaxReplyBytes = 1024 * 1024;

int submitReport(ChildProcess& child);
// 0 when the transfer happened (whatever the HTTP status), -1 when no request
// could be made, else the libcurl error code. acceptedReply tells whether the
// reply came as the service's own "text/plain".
int uploadReport(const std::string& archivePath, const FormFields& fields,
                 const ReportConfig& config, long& httpStatus, std::string& reply,
                 bool& acceptedReply);
size_t writeReplyBody(char* data, size_t size, size_t count, void* reply);
// Seconds an upload may go on at under one byte per second (sending or
// waiting for the reply) before it fails as a transfer failure: the build
// setting CVREPORT_STALL_TIMEOUT (120 unless set); 0 waits for ever.
inline constexpr long kStallTimeoutSeconds = CVREPORT_STALL_TIMEOUT;
FormFields buildFormFields(const ContactInfo& contact, const std::string& version);
std::string defaultCredential();

}  // namespace cvreport
