#include "submit/upload.h"

#include <curl/curl.h>
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "default_credential.h"
#include "run/config.h"
#include "run/log.h"
#include "run/text.h"
#include "run/version.h"
#include "submit/credential.h"
#include "submit/progress.h"
#include "submit/proxy.h"
#include "submit/reply.h"

namespace cvreport {
namespace {

// An archive the front end opened is read where it is, by position, so
// that libcurl can start it over for the authenticated request.
struct DescriptorSource {
  int fd;
  curl_off_t offset = 0;
};

size_t readArchivePart(char* buffer, size_t size, size_t count, void* data) {
  auto* source = static_cast<DescriptorSource*>(data);
  ssize_t got;
  do {
    got = pread(source->fd, buffer, size * count, source->offset);
  } while (got < 0 && errno == EINTR);
  // An archive that shrank under the upload would send a short part.
  if (got <= 0) return CURL_READFUNC_ABORT;
  source->offset += got;
  return static_cast<size_t>(got);
}

int seekArchivePart(void* data, curl_off_t offset, int origin) {
  if (origin != SEEK_SET) return CURL_SEEKFUNC_CANTSEEK;
  static_cast<DescriptorSource*>(data)->offset = offset;
  return CURL_SEEKFUNC_OK;
}

curl_mime* buildForm(CURL* curl, const std::string& archivePath, DescriptorSource& opened,
                     const FormFields& fields) {
  curl_mime* form = curl_mime_init(curl);
  for (const auto& [name, value] : fields) {
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, name.c_str());
    curl_mime_data(part, value.data(), value.size());
  }
  curl_mimepart* report = curl_mime_addpart(form);
  curl_mime_name(report, "report");
  struct stat st;
  if (opened.fd >= 0 && fstat(opened.fd, &st) == 0) {
    curl_mime_data_cb(report, st.st_size, readArchivePart, seekArchivePart, nullptr, &opened);
    curl_mime_filename(report, kArchivePartName);
  } else {
    curl_mime_filedata(report, archivePath.c_str());
  }
  curl_mime_type(report, "application/x-gzip");
  return form;
}

// Only a "text/plain" reply is the service's own; anything else (a proxy's
// or portal's page) is replaced by a sentence about the status. False when
// the reply was replaced.
bool checkContentType(CURL* curl, long httpStatus, std::string& reply) {
  char* type = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) != CURLE_OK || !type) return true;
  std::string mediaType = type;
  size_t semicolon = mediaType.find(';');
  if (semicolon != std::string::npos) mediaType.resize(semicolon);
  trimBlank(mediaType);
  if (mediaType == "text/plain") return true;
  if (httpStatus < 0) {
    reply = "\nInvalid server response received\n";
  } else {
    reply = "\nServer responded with HTTP code " + std::to_string(httpStatus) + "\n";
  }
  return false;
}

const char* reasonPhrase(long status) {
  static const struct {
    long status;
    const char* phrase;
  } kPhrases[] = {
      {300, "Multiple Choices"},     {301, "Moved Permanently"},
      {302, "Found"},                {303, "See Other"},
      {304, "Not Modified"},         {307, "Temporary Redirect"},
      {308, "Permanent Redirect"},   {400, "Bad Request"},
      {401, "Unauthorized"},         {402, "Payment Required"},
      {403, "Forbidden"},            {404, "Not Found"},
      {405, "Method Not Allowed"},   {406, "Not Acceptable"},
      {407, "Proxy Authentication Required"},
      {408, "Request Timeout"},      {409, "Conflict"},
      {410, "Gone"},                 {411, "Length Required"},
      {413, "Content Too Large"},    {415, "Unsupported Media Type"},
      {429, "Too Many Requests"},    {500, "Internal Server Error"},
      {501, "Not Implemented"},      {502, "Bad Gateway"},
      {503, "Service Unavailable"},  {504, "Gateway Timeout"},
      {505, "HTTP Version Not Supported"},
      {507, "Insufficient Storage"},
  };
  for (const auto& entry : kPhrases) {
    if (entry.status == status) return entry.phrase;
  }
  return nullptr;
}

[[noreturn]] void exitWorker(WorkerExit code) { exitChild(static_cast<int>(code)); }

}  // namespace

std::string httpStatusSentence(long httpStatus) {
  // The phrase comes from this table, not from the status line: HTTP/2 has
  // none, and a server's phrase is one more text to trust.
  std::string sentence = "Server responded with HTTP code " + std::to_string(httpStatus);
  if (const char* phrase = reasonPhrase(httpStatus)) sentence += std::string(" (") + phrase + ")";
  return sentence;
}

std::string replyWithReason(const std::string& reply, long httpStatus) {
  std::map<std::string, std::string> values;
  std::string message;
  parseServerReply(reply, values, message);
  std::string text = message;
  if (trimBlank(text) > 0) return reply;
  std::string kept = reply;
  trimBlank(kept);
  // Value lines, if any, then the blank line before the text.
  if (!kept.empty()) kept += '\n';
  return kept + "\n" + httpStatusSentence(httpStatus) + "\n";
}

std::string defaultCredential() {
  return unscrambleCredential(kScrambledCredential, kCredentialFirstKey);
}

size_t writeReplyBody(char* data, size_t size, size_t count, void* replyPtr) {
  auto* reply = static_cast<std::string*>(replyPtr);
  size_t bytes = size * count;
  if (reply->size() < kMaxReplyBytes) {
    reply->append(data, std::min(bytes, kMaxReplyBytes - reply->size()));
  }
  return bytes;
}

FormFields buildFormFields(const ContactInfo& contact, const std::string& version) {
  return FormFields{
      {"fullname", contact.fullName}, {"company", contact.company},
      {"email", contact.email},       {"subject", contact.subject},
      {"issue", contact.description}, {"cv_version", version},
  };
}

std::string urlWithoutCredentials(const std::string& url) {
  // Userinfo ends at the last "@" before the authority ends: a password
  // may hold "@" itself, never "/", "?" or "#".
  size_t scheme = url.find("://");
  size_t authority = scheme == std::string::npos ? 0 : scheme + 3;
  size_t end = url.find_first_of("/?#", authority);
  if (end == std::string::npos) end = url.size();
  size_t at = url.rfind('@', end == 0 ? 0 : end - 1);
  if (at == std::string::npos || at < authority || at >= end) return url;
  return url.substr(0, authority) + url.substr(at + 1);
}

std::string transferFailureText(const TransferReport& transfer, const std::string& reason) {
  std::string text = "Can't submit the report to " + transfer.uri + ": " + reason;
  if (!transfer.proxy.empty()) text += " (through the proxy " + transfer.proxy + ")";
  return text;
}

namespace {

bool isRetryableTransferError(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SSL_CONNECT_ERROR:  // the handshake broken off, not refused
    case CURLE_OPERATION_TIMEDOUT:
      return true;
    default:  // a refused certificate among them
      return false;
  }
}

bool hasProblemId(const std::string& reply) {
  std::map<std::string, std::string> values;
  std::string message;
  parseServerReply(reply, values, message);
  return values.count("REPID") != 0;
}

}  // namespace

std::string proxyRefusalText(long proxyStatus) {
  return "The proxy refused the tunnel (HTTP " + std::to_string(proxyStatus) + ")";
}

bool mayRetryUpload(UploadResult result, const TransferReport& transfer) {
  if (result == UploadResult::kTransferFailed) {
    // libcurl reports a refused CONNECT as a receive error; asking again
    // gets the same refusal.
    if (transfer.proxyStatus >= 300) return false;
    return !transfer.bodySent && isRetryableTransferError(transfer.transferError);
  }
  if (result != UploadResult::kTransferred) return false;
  long status = transfer.httpStatus;
  if (status != 502 && status != 503 && status != 504) return false;
  if (hasProblemId(transfer.reply)) return false;
  // A proxy's page after the whole body went out may hide a report the
  // service filed before it went away.
  return transfer.acceptedReply || !transfer.bodySent;
}

std::string retryReason(UploadResult result, const TransferReport& transfer) {
  if (result == UploadResult::kTransferred) return httpStatusSentence(transfer.httpStatus);
  switch (transfer.transferError) {
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SSL_CONNECT_ERROR:
      return "Connection closed or reset before the report was sent";
    case CURLE_OPERATION_TIMEDOUT:
      return "Timed out before the report was sent";
    default:
      return curl_easy_strerror(transfer.transferError);
  }
}

namespace {

// Everything but the address, the form and where the reply goes.
void setTransferOptions(CURL* curl, ReplyDeadline& deadline) {
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  // The authenticated request goes on a fresh connection. A proxy that keeps
  // no client connection alive closes the challenge's connection after its
  // answer; on a loaded host that close can arrive only once the next
  // request is under way, and libcurl does not resend a form whose body
  // failed to go out ("Failed sending data to the peer"). Nor does libcurl
  // send a body twice: it resends a request by itself only on a reused
  // connection, and the service would file the report a second time.
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  // No overall limit, but a service that accepts the connection and then
  // stops reading or answering must not hold the report for ever.
  if (kStallTimeoutSeconds > 0) {
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallTimeoutSeconds);
  }
  // A trickling reply keeps clear of the stall limit: the reply as a whole
  // has a time of its own once the body is sent.
  deadline.limitSeconds = kReplyTimeoutSeconds;
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, reportUploadProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &deadline);
  // Root posts the archive: only to an http or https address (the start
  // checks the configured one), and no redirect is followed, so the report
  // and the credentials never go anywhere but the configured service. A
  // redirect is an error reply that names its status.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeReplyBody);
}

void readReplyInfo(CURL* curl, TransferReport& transfer) {
  long status = 0;
  if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
    transfer.httpStatus = status;
  }
  transfer.acceptedReply = checkContentType(curl, transfer.httpStatus, transfer.reply);
  // libcurl turns an HTTP-date into the seconds until then as well.
  curl_off_t retryAfter = 0;
  if (curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0) {
    transfer.retryAfter = retryAfter > 3600 ? 3600 : static_cast<long>(retryAfter);
  }
}

}  // namespace

UploadResult uploadReport(const std::string& archivePath, int archiveFd, const FormFields& fields,
                          const ReportConfig& config, TransferReport& transfer) {
  transfer = TransferReport();
  std::string uri = configValue(config, "SUBMIT_URI");
  if (uri.empty()) return UploadResult::kNoRequest;
  CURL* curl = curl_easy_init();
  if (!curl) return UploadResult::kNoRequest;

  curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
  std::string userPassword =
      joinCredentials(configValue(config, "SUBMIT_USER"), configValue(config, "SUBMIT_PASSWORD"));
  if (userPassword.empty()) userPassword = defaultCredential();
  curl_easy_setopt(curl, CURLOPT_USERPWD, userPassword.c_str());
  std::string proxyUrl, proxyCredentials;  // must outlive the transfer
  setProxy(curl, config, proxyUrl, proxyCredentials);
  transfer.uri = urlWithoutCredentials(uri);
  transfer.proxy = urlWithoutCredentials(proxyUrl);
  ReplyDeadline deadline;
  setTransferOptions(curl, deadline);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer.reply);
  curl_easy_setopt(curl, CURLOPT_URL, uri.c_str());
  DescriptorSource opened{archiveFd};
  curl_mime* form = buildForm(curl, archivePath, opened, fields);
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);

  CURLcode result = curl_easy_perform(curl);
  if (result == CURLE_OK) readReplyInfo(curl, transfer);
  curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &transfer.proxyStatus);
  curl_mime_free(form);
  curl_easy_cleanup(curl);
  transfer.transferError = result;
  transfer.bodySent = deadline.bodySent;
  if (result == CURLE_ABORTED_BY_CALLBACK && deadline.expired) return UploadResult::kReplyTimedOut;
  return result == CURLE_OK ? UploadResult::kTransferred : UploadResult::kTransferFailed;
}

namespace {

// Writes the reply and ends the worker for a transfer that got one.
[[noreturn]] void finishWithReply(TransferReport& transfer, bool retryable) {
  std::string& reply = transfer.reply;
  long httpStatus = transfer.httpStatus;
  bool accepted = httpStatus == 200 && transfer.acceptedReply;
  if (!accepted) reply = replyWithReason(reply, httpStatus);
  if (!reply.empty() && reply.back() == '\n') reply.pop_back();
  // The service's own Digest refusal: the configured credentials are wrong.
  // A proxy's 401 comes as a page of its own and says nothing of them.
  if (httpStatus == 401 && transfer.acceptedReply) {
    reply += std::string("\n") + kCredentialsRefusedText;
  }
  // Only a proxy answers 407, and only to a request that went through it.
  if (httpStatus == 407 && !transfer.proxy.empty()) {
    reply += std::string("\n") + kProxyCredentialsRefusedText;
  }
  fwrite(reply.data(), 1, reply.size(), stdout);
  putchar('\n');
  // A 200 that is not the service's own reply did not come from the
  // service: the report may never have arrived, so the archive is kept.
  if (accepted) exitWorker(WorkerExit::kAccepted);
  if (!reply.empty() && reply.front() == '\n') reply.erase(0, 1);
  logMessage("The server returned an error: %s", reply.c_str());
  exitWorker(retryable ? WorkerExit::kRetryable : WorkerExit::kRefused);
}

}  // namespace

void runUploadWorker(const std::string& archivePath, int archiveFd, const ContactInfo& contact,
                     const std::string& productVersion, const ReportConfig& config) {
  resetUploadProgress();
  std::string version = productVersion, message;
  if (version.empty() && readProductVersion(version, &message) != 0) {
    // The worker's stdout is its reply to the parent: the reason goes there.
    logMessage("%s", message.c_str());
    printf("\n%s\n", message.c_str());
    exitWorker(WorkerExit::kVersionUnreadable);
  }

  TransferReport transfer;
  UploadResult result =
      uploadReport(archivePath, archiveFd, buildFormFields(contact, version), config, transfer);
  bool retryable = mayRetryUpload(result, transfer);
  if (retryable) {
    printf("RETRY_AFTER=%ld\nRETRY_REASON=%s\n", transfer.retryAfter,
           retryReason(result, transfer).c_str());
  }
  if (result == UploadResult::kTransferred) finishWithReply(transfer, retryable);
  if (result == UploadResult::kNoRequest) {
    logMessage("Can't initialize network library");
    printf("\nCan't initialize network library\n");
    exitWorker(WorkerExit::kNothingSent);
  }
  std::string reason = result == UploadResult::kReplyTimedOut
                           ? "The service did not finish its reply within " +
                                 std::to_string(kReplyTimeoutSeconds) + " seconds"
                       : transfer.proxyStatus >= 300 ? proxyRefusalText(transfer.proxyStatus)
                                                     : curl_easy_strerror(transfer.transferError);
  logMessage("Can't submit report: %s", reason.c_str());
  std::string text = transferFailureText(transfer, reason);
  if (transfer.proxyStatus == 407) text += std::string("\n") + kProxyCredentialsRefusedText;
  printf("\n%s\n", text.c_str());
  if (retryable) exitWorker(WorkerExit::kRetryable);
  exitWorker(result == UploadResult::kReplyTimedOut ? WorkerExit::kReplyTimedOut
                                                    : WorkerExit::kTransferFailed);
}

}  // namespace cvreport
