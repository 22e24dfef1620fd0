// The second look at a masked report: rules written apart from the
// collector's masking rules, so that a secret in a form those rules do not
// know still reaches the reporter's attention before the report leaves.
// The hits point at what may be secret: they stay on the host, beside the
// archive, and never go into it.
#pragma once

#include <stddef.h>

#include <string>
#include <string_view>
#include <vector>

namespace cvreport {

enum class AttentionRule {
  kSecretValue,         // a word naming a secret, then a value
  kRandomToken,         // 32 or more base64 or hex characters that look random
  kPrivateKey,          // a private key block's header
  kCertificateRequest,  // a certificate request's header
  kAuthorizationHeader, // Authorization, Cookie, X-Api-Key... with a value
};

// The rule's words in the attention list and on the review page.
const char* attentionRuleName(AttentionRule rule);

struct AttentionHit {
  std::string file;  // relative to the collected files' directory
  size_t line = 0;   // from 1
  AttentionRule rule = AttentionRule::kSecretValue;
};

// Scans one file's lines in order: the body of a certificate (public, and
// base64 through and through) is no random token.
class AttentionScanner {
 public:
  // The rules the line hits, each once, in the enum's order. Linear in the
  // line's length; a masked value (********) is no hit.
  std::vector<AttentionRule> scanLine(std::string_view line);

 private:
  bool inCertificate_ = false;
};

// Scans every text file under filesDir (regular files only, links not
// followed, a file with a NUL byte in its first 8 KiB taken for binary and
// skipped), appending the hits in path and line order; -1 with the reason
// when the directory cannot be read. A file that cannot be opened is
// skipped: it will not be in the archive either.
int scanReportFiles(const std::string& filesDir, std::vector<AttentionHit>& hits,
                    std::string* message);

// Writes the list, one "FILE:LINE: RULE" line a hit, to path (created 0600,
// replacing an earlier list); -1 with the reason.
int writeAttentionList(const std::string& path, const std::vector<AttentionHit>& hits,
                       std::string* message);

}  // namespace cvreport
