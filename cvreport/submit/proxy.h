// The proxy and the credentials every request to the support service goes
// with: the upload and the check before collection must take the same way.
#pragma once

#include <curl/curl.h>

#include <string>

#include "run/session.h"

namespace cvreport {

// "user:password", or empty when either half is empty (half a pair is
// never used).
std::string joinCredentials(const std::string& user, const std::string& password);

// Points curl at the configured proxy (HTTP_PROXY, else the host-wide one)
// with its credentials, or at none; never at one from the environment.
// proxyUrl and credentials receive the strings curl keeps pointing at:
// they must outlive the transfer.
void setProxy(CURL* curl, const ReportConfig& config, std::string& proxyUrl,
              std::string& credentials);

}  // namespace cvreport
