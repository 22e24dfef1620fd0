// The check, before minutes of collection, that the support service can be
// reached at all: the administrator learns early that the report will have
// to be kept and sent later.
#pragma once

#include <string>

#include "run/session.h"

namespace cvreport {

// Seconds the whole check may take: name lookup, connection, proxy tunnel
// and TLS handshake together.
inline constexpr long kPreflightSeconds = 10;

// Looks up the service (or its proxy), connects, opens the proxy's tunnel
// with the proxy credentials and shakes hands over TLS with the
// certificate checked, the way the upload will, within kPreflightSeconds;
// sends no request, so the service files nothing. 0 when it got through,
// or when there is no address to check (the upload says so); -1 with what
// failed in reason (lookup, connection, proxy, certificate, time). A signal
// recorded by the interrupt watch ends it at once with -1: the caller
// checks pendingInterrupt. Runs in the parent, prints and logs nothing.
int checkServiceReachable(const ReportConfig& config, std::string* reason);

// The one line the console prints and both front ends log for a reason
// from checkServiceReachable.
std::string unreachableWarning(const std::string& reason);

}  // namespace cvreport
