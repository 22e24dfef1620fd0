#include "submit/attention_scan.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "run/unique_handles.h"

namespace cvreport {
namespace {

constexpr size_t kMinTokenLength = 32;
constexpr size_t kBinaryProbeBytes = 8192;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
bool isIdentifierChar(char c) { return isAlnum(c) || c == '_' || c == '.' || c == '-'; }
// Base64's "=" pads only the end: in a run it is "KEY=value"'s, and the
// padding adds nothing to the token's length anyway.
bool isTokenChar(char c) { return isAlnum(c) || c == '+' || c == '/' || c == '_' || c == '-'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool endsWithWord(std::string_view identifier, std::string_view word) {
  if (identifier.size() < word.size()) return false;
  // From the end: most identifiers differ in their last letter already.
  std::string_view tail = identifier.substr(identifier.size() - word.size());
  for (size_t i = word.size(); i-- > 0;) {
    if (lower(tail[i]) != word[i]) return false;
  }
  return true;
}

bool endsWithAny(std::string_view identifier, const std::initializer_list<std::string_view>& words) {
  return std::any_of(words.begin(), words.end(),
                     [identifier](std::string_view w) { return endsWithWord(identifier, w); });
}

bool contains(std::string_view line, std::string_view needle) {
  return line.find(needle) != std::string_view::npos;
}

// The value after an identifier: an optional closing quote, blanks, ":" or
// "=" (or, after an option "--name", only blanks), blanks, an opening quote,
// then up to a blank, quote or separator. Empty when there is none.
std::string_view valueAfter(std::string_view line, size_t pos, bool option) {
  if (pos < line.size() && (line[pos] == '"' || line[pos] == '\'')) ++pos;
  size_t start = pos;
  while (pos < line.size() && isBlank(line[pos])) ++pos;
  if (pos < line.size() && (line[pos] == ':' || line[pos] == '=')) {
    ++pos;
  } else if (!option || pos == start) {
    return {};
  }
  while (pos < line.size() && isBlank(line[pos])) ++pos;
  if (pos < line.size() && (line[pos] == '"' || line[pos] == '\'')) ++pos;
  size_t end = pos;
  while (end < line.size() && !isBlank(line[end]) && !strchr("\"';,<>&", line[end])) ++end;
  return line.substr(pos, end - pos);
}

// A value that names no secret: masked, a number, a path, a variable, a
// switch or a name service source.
bool isHarmlessValue(std::string_view value) {
  if (value.empty()) return true;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c == '*'; })) return true;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return true;
  }
  if (value[0] == '/' || value[0] == '$' || value[0] == '%' || value[0] == '{') return true;
  static const std::array<std::string_view, 10> kWords = {
      "yes", "no", "true", "false", "none", "null", "files", "required", "optional", "sufficient"};
  std::string folded;
  for (char c : value) folded += lower(c);
  return std::find(kWords.begin(), kWords.end(), folded) != kWords.end();
}

// Skips an authorization scheme word, so that "Bearer ********" is masked.
std::string_view credentialOf(std::string_view value, std::string_view line, size_t valueEnd) {
  static const std::array<std::string_view, 5> kSchemes = {"basic", "bearer", "digest",
                                                           "negotiate", "token"};
  std::string folded;
  for (char c : value) folded += lower(c);
  if (std::find(kSchemes.begin(), kSchemes.end(), folded) == kSchemes.end()) return value;
  size_t pos = valueEnd;
  while (pos < line.size() && isBlank(line[pos])) ++pos;
  size_t end = pos;
  while (end < line.size() && !isBlank(line[end]) && !strchr("\"',<>", line[end])) ++end;
  return line.substr(pos, end - pos);
}

// Calls visit(start, end) for each maximal run of characters that inRun
// takes, left to right, until visit returns true.
template <typename InRun, typename Visit>
void forEachRun(std::string_view line, InRun inRun, Visit visit) {
  size_t pos = 0;
  while (pos < line.size()) {
    if (!inRun(line[pos])) {
      ++pos;
      continue;
    }
    size_t start = pos;
    while (pos < line.size() && inRun(line[pos])) ++pos;
    if (visit(start, pos)) return;
  }
}

void scanIdentifiers(std::string_view line, bool& secretValue, bool& authorization) {
  forEachRun(line, isIdentifierChar, [&](size_t start, size_t pos) {
    std::string_view identifier = line.substr(start, pos - start);
    bool option = identifier.size() > 1 && identifier[0] == '-';
    if (!secretValue && endsWithAny(identifier, {"password", "passwd", "passphrase", "pwd",
                                                 "secret", "token", "apikey", "api_key",
                                                 "accesskey", "access_key", "private_key",
                                                 "credential", "credentials"})) {
      secretValue = !isHarmlessValue(valueAfter(line, pos, option));
    }
    if (!authorization && endsWithAny(identifier, {"authorization", "cookie", "api-key",
                                                   "auth-token", "x-auth"})) {
      std::string_view value = valueAfter(line, pos, false);
      size_t valueEnd = value.empty() ? pos : static_cast<size_t>(value.data() - line.data()) +
                                                  value.size();
      authorization = !isHarmlessValue(credentialOf(value, line, valueEnd));
    }
    return false;
  });
}

double entropyBits(std::string_view run) {
  std::array<int, 256> counts{};
  for (unsigned char c : run) ++counts[c];
  double bits = 0;
  for (int n : counts) {
    if (n == 0) continue;
    double p = static_cast<double>(n) / static_cast<double>(run.size());
    bits -= p * std::log2(p);
  }
  return bits;
}

bool isHashLength(size_t length) {
  return length == 32 || length == 40 || length == 56 || length == 64 || length == 96 ||
         length == 128;
}

// A run of base64 or hex characters that looks random: hex of a length no
// checksum or ID has, or base64 with upper and lower case and digits, with
// high entropy, and not named as a digest ("sha256:", "sha512-").
bool looksRandom(std::string_view line, size_t start, std::string_view run) {
  if (run.size() < kMinTokenLength) return false;
  // The digest's name may lead the run itself ("sha512-" in a lock file).
  size_t from = start >= 8 ? start - 8 : 0;
  std::string folded;
  for (char c : line.substr(from, start - from + 8)) folded += lower(c);
  if (contains(folded, "sha") || contains(folded, "md5")) return false;
  bool hex = std::all_of(run.begin(), run.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
  if (hex) return !isHashLength(run.size()) && entropyBits(run) >= 3.0;
  bool upper = std::any_of(run.begin(), run.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  bool lowerCase = std::any_of(run.begin(), run.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  bool digit = std::any_of(run.begin(), run.end(), [](char c) { return c >= '0' && c <= '9'; });
  return upper && lowerCase && digit && entropyBits(run) >= 4.0;
}

bool isPathChar(char c) { return c != '/' && isTokenChar(c); }

// A run that begins with "/" is a path (a mount's, a temporary directory's
// with a random name): its parts are looked at one by one.
bool hasRandomToken(std::string_view line) {
  bool found = false;
  forEachRun(line, isTokenChar, [&](size_t start, size_t end) {
    std::string_view run = line.substr(start, end - start);
    if (run[0] != '/') {
      found = looksRandom(line, start, run);
    } else {
      forEachRun(run, isPathChar, [&](size_t from, size_t to) {
        found = looksRandom(line, start + from, run.substr(from, to - from));
        return found;
      });
    }
    return found;
  });
  return found;
}

// Opens a regular file without following a link or waiting on a FIFO.
UniqueFile openRegular(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFile();
  FILE* file = fdopen(fd.get(), "r");
  if (!file) return UniqueFile();
  fd.release();
  return UniqueFile(file);
}

// getline's buffer, which it grows with realloc.
struct LineBuffer {
  char* data = nullptr;
  size_t capacity = 0;
  LineBuffer() = default;
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  ~LineBuffer() { free(data); }
};

bool looksBinary(FILE* file) {
  std::array<char, kBinaryProbeBytes> probe;
  size_t got = fread(probe.data(), 1, probe.size(), file);
  rewind(file);
  return memchr(probe.data(), '\0', got) != nullptr;
}

void scanFile(const std::string& path, const std::string& relative,
              std::vector<AttentionHit>& hits) {
  UniqueFile file = openRegular(path);
  if (!file || looksBinary(file.get())) return;
  AttentionScanner scanner;
  size_t number = 0;
  LineBuffer line;
  ssize_t length;
  while ((length = getline(&line.data, &line.capacity, file.get())) >= 0) {
    ++number;
    std::string_view text(line.data, static_cast<size_t>(length));
    // The line's end is no part of its last value: "password=********\n"
    // is masked.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    for (AttentionRule rule : scanner.scanLine(text)) {
      hits.push_back(AttentionHit{relative, number, rule});
    }
  }
}

}  // namespace

int scanReportFiles(const std::string& filesDir, std::vector<AttentionHit>& hits,
                    std::string* message) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<std::string> files;
  fs::recursive_directory_iterator it(filesDir, fs::directory_options::none, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) {
      files.push_back(fs::relative(it->path(), filesDir, error).string());
    }
  }
  if (error) {
    *message = "Can't read " + filesDir + ": " + error.message();
    return -1;
  }
  std::sort(files.begin(), files.end());
  for (const std::string& relative : files) scanFile(filesDir + "/" + relative, relative, hits);
  return 0;
}

int writeAttentionList(const std::string& path, const std::vector<AttentionHit>& hits,
                       std::string* message) {
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  UniqueFile out(fd.get() >= 0 ? fdopen(fd.get(), "w") : nullptr);
  if (out) fd.release();
  bool written = static_cast<bool>(out);
  for (const AttentionHit& hit : hits) {
    if (!written) break;
    written = fprintf(out.get(), "%s:%zu: %s\n", hit.file.c_str(), hit.line,
                      attentionRuleName(hit.rule)) > 0;
  }
  if (out.close() != 0) written = false;
  if (!written) *message = "Can't write " + path + ": " + strerror(errno);
  return written ? 0 : -1;
}

const char* attentionRuleName(AttentionRule rule) {
  switch (rule) {
    case AttentionRule::kSecretValue: return "a value named as a secret";
    case AttentionRule::kRandomToken: return "a long random-looking token";
    case AttentionRule::kPrivateKey: return "a private key header";
    case AttentionRule::kCertificateRequest: return "a certificate request header";
    case AttentionRule::kAuthorizationHeader: return "an authorization header with a value";
  }
  return "";
}

std::vector<AttentionRule> AttentionScanner::scanLine(std::string_view line) {
  std::vector<AttentionRule> hits;
  bool secretValue = false, authorization = false;
  scanIdentifiers(line, secretValue, authorization);
  if (secretValue) hits.push_back(AttentionRule::kSecretValue);
  bool certificateLine = inCertificate_;
  if (contains(line, "-----BEGIN CERTIFICATE-----")) inCertificate_ = certificateLine = true;
  if (contains(line, "-----END ")) inCertificate_ = false;
  if (!certificateLine && hasRandomToken(line)) hits.push_back(AttentionRule::kRandomToken);
  size_t begin = line.find("-----BEGIN ");
  if (begin != std::string_view::npos) {
    std::string_view label = line.substr(begin);
    label = label.substr(0, label.find("-----", 11));
    if (contains(label, "PRIVATE KEY")) hits.push_back(AttentionRule::kPrivateKey);
    if (contains(label, "CERTIFICATE REQUEST")) hits.push_back(AttentionRule::kCertificateRequest);
  }
  if (authorization) hits.push_back(AttentionRule::kAuthorizationHeader);
  return hits;
}

}  // namespace cvreport
