#include "submit/proxy.h"

#include "run/config.h"

namespace cvreport {

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

}  // namespace cvreport
