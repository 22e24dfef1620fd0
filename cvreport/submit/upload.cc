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
#include "submit/reply.h"

namespace cvreport {
namespace {

std::string joinCredentials(const std::string& user, const std::string& password) {
  return user.empty() || password.empty() ? std::string() : user + ":" + password;
}

void setProxy(CURL* curl, const ReportConfig& config, std::string& proxyUrl,
              std::string& credentials) {
  proxyUrl = configValue(config, "HTTP_PROXY");
  credentials.clear();
  if (proxyUrl.empty()) readProxySettings(proxyUrl, credentials);  // none is no error
  std::string configured =
      joinCredentials(configValue(config, "HTTP_PROXY_USER"), configValue(config, "HTTP_PROXY_PASSWORD"));
  if (!configured.empty()) credentials = configured;
  // Only the proxy the two files name, never one from the environment
  // (http_proxy, no_proxy): root's environment under sudo may be a user's,
  // and it would pass the report by the checks the configured proxy gets.
  // An empty proxy means none at all, and an empty list no exception.
  curl_easy_setopt(curl, CURLOPT_PROXY, proxyUrl.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  if (proxyUrl.empty()) return;
  if (!credentials.empty()) {
    curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, credentials.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
  }
}

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

UploadResult uploadReport(const std::string& archivePath, int archiveFd, const FormFields& fields,
                          const ReportConfig& config, long& httpStatus, std::string& reply,
                          bool& acceptedReply, CURLcode& transferError) {
  httpStatus = -1;
  acceptedReply = false;
  transferError = CURLE_OK;
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
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  // The authenticated request goes on a fresh connection. A proxy that keeps
  // no client connection alive closes the challenge's connection after its
  // answer; on a loaded host that close can arrive only once the next
  // request is under way, and libcurl does not resend a form whose body
  // failed to go out ("Failed sending data to the peer").
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  // No overall limit, but a service that accepts the connection and then
  // stops reading or answering must not hold the report for ever.
  if (kStallTimeoutSeconds > 0) {
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallTimeoutSeconds);
  }
  // A trickling reply keeps clear of the stall limit: the reply as a whole
  // has a time of its own once the body is sent.
  ReplyDeadline deadline;
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
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_URL, uri.c_str());
  DescriptorSource opened{archiveFd};
  curl_mime* form = buildForm(curl, archivePath, opened, fields);
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);

  CURLcode result = curl_easy_perform(curl);
  if (result == CURLE_OK) {
    long status = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) httpStatus = status;
    acceptedReply = checkContentType(curl, httpStatus, reply);
  }
  curl_mime_free(form);
  curl_easy_cleanup(curl);
  transferError = result;
  if (result == CURLE_ABORTED_BY_CALLBACK && deadline.expired) return UploadResult::kReplyTimedOut;
  return result == CURLE_OK ? UploadResult::kTransferred : UploadResult::kTransferFailed;
}

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

  long httpStatus = -1;
  bool acceptedReply = false;
  std::string reply;
  CURLcode transferError = CURLE_OK;
  UploadResult result = uploadReport(archivePath, archiveFd, buildFormFields(contact, version), config,
                                     httpStatus, reply, acceptedReply, transferError);
  if (result == UploadResult::kTransferred && !(httpStatus == 200 && acceptedReply)) {
    reply = replyWithReason(reply, httpStatus);
  }
  if (!reply.empty() && reply.back() == '\n') reply.pop_back();
  if (result == UploadResult::kTransferred) {
    fwrite(reply.data(), 1, reply.size(), stdout);
    putchar('\n');
    // A 200 that is not the service's own reply did not come from the
    // service: the report may never have arrived, so the archive is kept.
    if (httpStatus == 200 && acceptedReply) exitWorker(WorkerExit::kAccepted);
    if (!reply.empty() && reply.front() == '\n') reply.erase(0, 1);
    logMessage("The server returned an error: %s", reply.c_str());
    exitWorker(WorkerExit::kRefused);
  }
  if (result == UploadResult::kNoRequest) {
    logMessage("Can't initialize network library");
    printf("\nCan't initialize network library\n");
    exitWorker(WorkerExit::kNothingSent);
  }
  if (result == UploadResult::kReplyTimedOut) {
    std::string text = "The service did not finish its reply within " +
                       std::to_string(kReplyTimeoutSeconds) + " seconds";
    logMessage("Can't submit report: %s", text.c_str());
    printf("\n%s\n", text.c_str());
    exitWorker(WorkerExit::kReplyTimedOut);
  }
  const char* error = curl_easy_strerror(transferError);
  logMessage("Can't submit report: %s", error);
  printf("\n%s\n", error);
  exitWorker(WorkerExit::kTransferFailed);
}

}  // namespace cvreport
