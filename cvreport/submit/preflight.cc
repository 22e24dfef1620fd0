#include "submit/preflight.h"

#include <curl/curl.h>
#include <string.h>

#include <memory>

#include "run/config.h"
#include "run/interrupt.h"
#include "submit/proxy.h"

namespace cvreport {
namespace {

struct EasyCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct UrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// "host:port" of url as the user knows it; a proxy may go without a scheme.
std::string hostAndPort(const std::string& url) {
  std::unique_ptr<CURLU, UrlCleanup> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(),
                              CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return url;
  }
  char* host = nullptr;
  char* port = nullptr;
  std::string text = url;
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(parsed.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
    text = std::string(host) + ":" + port;
  }
  curl_free(host);
  curl_free(port);
  return text;
}

int abortOnInterrupt(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return pendingInterrupt() ? 1 : 0;
}

struct Attempt {
  std::string service;  // host:port
  std::string proxy;    // host:port, empty without a proxy
  bool https = false;
  long connectCode = 0;  // the proxy's answer to CONNECT
  bool nameFound = false;
  bool connected = false;  // to the proxy, when there is one
  int osError = 0;
  std::string detail;  // libcurl's own sentence
};

// The name looked up first is the proxy's, when there is one.
std::string lookupFailure(const Attempt& a) {
  return a.proxy.empty() ? "the name of " + a.service + " cannot be looked up"
                         : "the name of the proxy " + a.proxy + " cannot be looked up";
}

std::string connectionFailure(const Attempt& a) {
  std::string text = a.proxy.empty() ? "cannot connect to " + a.service
                                     : "cannot connect to the proxy " + a.proxy;
  if (a.osError != 0) text += std::string(": ") + strerror(a.osError);
  return text;
}

// A refused tunnel. The upload of an http address does not tunnel: it
// hands the proxy the request, so a proxy that allows no tunnels at all
// (403, 405, 501) says nothing against it; the proxy and its credentials
// were still checked. -1 with the reason otherwise.
int tunnelRefusal(const Attempt& a, std::string* reason) {
  long code = a.connectCode;
  std::string status = " (HTTP " + std::to_string(code) + ")";
  if (code == 401 || code == 407) {
    *reason = "the proxy " + a.proxy + " refused its credentials" + status;
    return -1;
  }
  bool noTunnels = code == 403 || code == 405 || code == 501;
  if (noTunnels && !a.https) return 0;
  *reason = "the proxy " + a.proxy + (noTunnels ? " refused a tunnel to " : " could not reach ") +
            a.service + status;
  return -1;
}

int explainFailure(CURLcode result, const Attempt& a, std::string* reason) {
  // Whatever code libcurl gives a refused CONNECT, the proxy's answer says more.
  if (!a.proxy.empty() && a.connectCode >= 300) return tunnelRefusal(a, reason);
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      *reason = lookupFailure(a);
      return -1;
    case CURLE_COULDNT_CONNECT:
      *reason = connectionFailure(a);
      return -1;
    case CURLE_OPERATION_TIMEDOUT:
      if (!a.nameFound) {
        *reason = lookupFailure(a) + " within " + std::to_string(kPreflightSeconds) + " seconds";
        return -1;
      }
      *reason = (a.proxy.empty()  ? a.service
                 : a.connected ? a.service + " through the proxy " + a.proxy
                               : "the proxy " + a.proxy) +
                " did not answer within " + std::to_string(kPreflightSeconds) + " seconds";
      return -1;
    case CURLE_PEER_FAILED_VERIFICATION:
      *reason = "the certificate of " + a.service + " is not trusted: " + a.detail;
      return -1;
    case CURLE_SSL_CONNECT_ERROR:
      *reason = "the TLS handshake with " + a.service + " failed: " + a.detail;
      return -1;
    case CURLE_ABORTED_BY_CALLBACK:
      *reason = "interrupted";
      return -1;
    default:
      break;
  }
  *reason = a.service + ": " + (a.detail.empty() ? curl_easy_strerror(result) : a.detail);
  return -1;
}

}  // namespace

int checkServiceReachable(const ReportConfig& config, std::string* reason) {
  std::string uri = configValue(config, "SUBMIT_URI");
  if (uri.empty()) return 0;
  EasyHandle curl(curl_easy_init());
  if (!curl) {
    *reason = "the network library cannot start a check";
    return -1;
  }
  Attempt attempt;
  attempt.service = hostAndPort(uri);
  attempt.https = strncasecmp(uri.c_str(), "https:", 6) == 0;
  std::string proxyUrl, proxyCredentials;  // must outlive the transfer
  setProxy(curl.get(), config, proxyUrl, proxyCredentials);
  if (!proxyUrl.empty()) attempt.proxy = hostAndPort(proxyUrl);
  char errorBuffer[CURL_ERROR_SIZE] = "";
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, uri.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  // Up to the point where the upload would start its request: through the
  // proxy's tunnel, so that the proxy checks its credentials, and through
  // the TLS handshake; no request, so nothing is filed.
  curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(h, CURLOPT_HTTPPROXYTUNNEL, 1L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, kPreflightSeconds);
  // The parent's signals are its own: no alarm for the name lookup. A
  // lookup still waiting for its name server when the time is up or the
  // user interrupts is left to end by itself, not waited for: that wait is
  // the resolver's, up to its own timeouts times its servers.
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, abortOnInterrupt);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  CURLcode result = curl_easy_perform(h);
  if (result == CURLE_OK) return 0;
  curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &attempt.connectCode);
  long osError = 0;
  if (curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osError) == CURLE_OK) {
    attempt.osError = static_cast<int>(osError);
  }
  attempt.detail = errorBuffer;
  curl_off_t lookupMicros = 0;
  attempt.nameFound = curl_easy_getinfo(h, CURLINFO_NAMELOOKUP_TIME_T, &lookupMicros) == CURLE_OK &&
                      lookupMicros > 0;
  curl_off_t connectMicros = 0;
  attempt.connected = curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connectMicros) == CURLE_OK &&
                      connectMicros > 0;
  return explainFailure(result, attempt, reason);
}

std::string unreachableWarning(const std::string& reason) {
  return "Warning: the support service cannot be reached (" + reason +
         "); the report will be collected and kept for sending later";
}

}  // namespace cvreport
