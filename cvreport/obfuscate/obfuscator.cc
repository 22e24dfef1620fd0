#include "obfuscate/obfuscator.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace cvreport {
namespace {

// Longer than any host name; anything longer is not a name we gather.
constexpr size_t kMaxNameBytes = 253;
constexpr int kSymbols = 40;

// Bytes that make up words and host names, numbered for the trie: upper case
// folds onto lower case, anything else (-1) ends a word.
struct Symbols {
  int8_t of[256];
  Symbols() {
    memset(of, -1, sizeof of);
    for (int c = 'a'; c <= 'z'; ++c) of[c] = of[c - 'a' + 'A'] = static_cast<int8_t>(c - 'a');
    for (int c = '0'; c <= '9'; ++c) of[c] = static_cast<int8_t>(26 + c - '0');
    of[static_cast<int>('.')] = 36;
    of[static_cast<int>('-')] = 37;
    of[static_cast<int>('_')] = 38;
    of[static_cast<int>('$')] = 39;
  }
};
const Symbols kSymbolTable;

int symbol(char c) { return kSymbolTable.of[static_cast<unsigned char>(c)]; }
bool isWordByte(char c) { return symbol(c) >= 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lower(c);
  return out;
}

bool caseSensitiveKind(const std::string& kind) { return kind == "user" || kind == "group"; }

// Two-letter words that a short account or host name would otherwise take
// out of every sentence.
bool isCommonWord(const std::string& name) {
  static const char* const kWords[] = {
      "a",  "i",  "am", "an", "as", "at", "be", "by", "do", "go", "he", "hi", "if", "in",
      "is", "it", "me", "my", "no", "of", "ok", "on", "or", "so", "to", "up", "us", "we",
      "id", "ip", "os", "pm", "vs", "ms", "kb", "mb", "gb", "tb", "rc", "fs", "vm"};
  if (name.size() == 1) return true;
  if (name.size() > 2) return false;
  std::string low = lowered(name);
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](const char* word) { return low == word; });
}

bool validName(NameKind kind, std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  if (name.front() == '.' || name.back() == '.' || name.find("..") != std::string_view::npos) {
    return false;
  }
  bool dollar = kind == NameKind::kUser || kind == NameKind::kGroup;
  return std::all_of(name.begin(), name.end(),
                     [&](char c) { return isWordByte(c) && (c != '$' || dollar); });
}

const char* kindName(NameKind kind) {
  switch (kind) {
    case NameKind::kHost: return "host";
    case NameKind::kDomain: return "domain";
    case NameKind::kUser: return "user";
    case NameKind::kGroup: return "group";
    case NameKind::kWord: return "word";
  }
  return "word";
}

std::string numbered(const std::string& kind, int number) {
  char text[64];
  if (kind == "host") snprintf(text, sizeof text, "host-%04d", number);
  else if (kind == "domain") snprintf(text, sizeof text, "domain-%04d.example", number);
  else if (kind == "user") snprintf(text, sizeof text, "user%04d", number);
  else if (kind == "group") snprintf(text, sizeof text, "group%04d", number);
  else snprintf(text, sizeof text, "word-%04d", number);
  return text;
}

void appendNumber(std::string& out, uint64_t value, int base) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % static_cast<uint64_t>(base)];
    value /= static_cast<uint64_t>(base);
  } while (value != 0);
  while (n > 0) out += digits[--n];
}

// "192.168.1" or "2001:db8:0:1" or "aa:bb:cc" as one number; false when text
// is not exactly that many fields.
bool parseFields(std::string_view text, char separator, int base, int fields, uint64_t& key) {
  int bits = base == 10 || fields == 3 ? 8 : 16;
  uint64_t limit = (uint64_t{1} << bits) - 1;
  key = 0;
  size_t at = 0;
  for (int field = 0; field < fields; ++field) {
    if (field > 0 && (at >= text.size() || text[at++] != separator)) return false;
    uint64_t value = 0;
    size_t start = at;
    while (at < text.size() && at - start < 4) {
      int digit = base == 10 ? (isDigit(text[at]) ? text[at] - '0' : -1) : hexValue(text[at]);
      if (digit < 0) break;
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
      ++at;
    }
    if (at == start || value > limit) return false;
    key = key << bits | value;
  }
  return at == text.size();
}

void appendFields(std::string& out, uint64_t key, char separator, int base, int fields) {
  int bits = base == 10 || fields == 3 ? 8 : 16;
  for (int field = fields - 1; field >= 0; --field) {
    uint64_t value = key >> (field * bits) & ((uint64_t{1} << bits) - 1);
    if (base == 16 && bits == 8 && value < 16) out += '0';
    appendNumber(out, value, base);
    if (field > 0) out += separator;
  }
}

std::string fieldsText(uint64_t key, char separator, int base, int fields) {
  std::string out;
  appendFields(out, key, separator, base, fields);
  return out;
}

}  // namespace

size_t obfuscationPieceEnd(std::string_view text) {
  size_t blank = text.find_last_of(" \t\r\n");
  return blank == std::string_view::npos ? 0 : blank + 1;
}

struct Obfuscator::Sink {
  std::string* out = nullptr;
  std::vector<std::pair<std::string, std::string>>* found = nullptr;
  std::unordered_set<std::string> seen;

  // Text kept as it was is appended in runs, not piece by piece.
  const char* keptBegin = nullptr;
  const char* keptEnd = nullptr;

  // A part of the text being scanned, kept as it is.
  void copy(std::string_view text) {
    if (!out) return;
    if (text.data() != keptEnd) {
      flush();
      keptBegin = text.data();
    }
    keptEnd = text.data() + text.size();
  }
  // Where replacements go (apply only).
  std::string& output() {
    flush();
    return *out;
  }
  void put(const std::string& text) {
    if (out) output() += text;
  }
  void flush() {
    if (keptBegin != keptEnd) out->append(keptBegin, static_cast<size_t>(keptEnd - keptBegin));
    keptBegin = keptEnd = nullptr;
  }
  void record(const std::string& kind, const std::string& original) {
    if (found && seen.insert(kind + '\t' + original).second) found->emplace_back(kind, original);
  }
};

Obfuscator::Obfuscator(ObfuscationMap& map) : map_(map) {
  for (const auto& entry : map_.entries) {
    const std::string& kind = entry.first.first;
    Family* family = kind == v4_.kind ? &v4_ : kind == v6_.kind ? &v6_
                   : kind == vendors_.kind ? &vendors_ : nullptr;
    if (family) {
      uint64_t original, placeholder;
      if (parseFields(entry.first.second, family->separator, family->base, family->fields,
                      original) &&
          parseFields(entry.second, family->separator, family->base, family->fields,
                      placeholder)) {
        family->to[original] = placeholder;
        family->placeholders.insert(placeholder);
      }
      continue;
    }
    ++counters_[kind];
    usedPlaceholders_.insert(entry.second.substr(0, entry.second.find('.')));
    usedPlaceholders_.insert(entry.second);
  }
}

void Obfuscator::addName(NameKind kind, std::string_view name) {
  if (!name.empty() && name.back() == '.' && kind == NameKind::kHost) name.remove_suffix(1);
  if (!validName(kind, name) || isCommonWord(std::string(name))) return;
  std::string kindText = kindName(kind);
  std::string original = caseSensitiveKind(kindText) ? std::string(name) : lowered(name);
  if (kind == NameKind::kHost || kind == NameKind::kDomain) {
    // The domain and each parent of two labels or more: "corp.example" of
    // "db1.corp.example" as well.
    size_t dot = original.find('.');
    std::string rest = kind == NameKind::kDomain ? original
                       : dot == std::string::npos ? std::string() : original.substr(dot + 1);
    for (dot = rest.find('.'); dot != std::string::npos; dot = rest.find('.')) {
      pending_.emplace_back("domain", rest);
      rest.erase(0, dot + 1);
    }
    if (kind == NameKind::kDomain) return;
  }
  pending_.emplace_back(kindText, original);
}

std::string Obfuscator::placeholderFor(const std::string& kind, const std::string& original) {
  auto found = map_.entries.find({kind, original});
  if (found != map_.entries.end()) return found->second;
  std::string placeholder;
  do {
    placeholder = numbered(kind, ++counters_[kind]);
  } while (!usedPlaceholders_.insert(placeholder).second);
  map_.entries[{kind, original}] = placeholder;
  return placeholder;
}

// A fully qualified name keeps its shape: its first label's placeholder
// and its domain's. A short name and the fully qualified names it starts
// share their first part, whichever was met first.
std::string Obfuscator::hostPlaceholder(const std::string& host) {
  auto found = map_.entries.find({"host", host});
  if (found != map_.entries.end()) return found->second;
  size_t dot = host.find('.');
  std::string label = host.substr(0, dot);
  std::string head;
  auto shortName = map_.entries.find({"host", label});
  if (shortName != map_.entries.end()) head = shortName->second;
  auto sibling = map_.entries.lower_bound({"host", label + '.'});
  if (head.empty() && sibling != map_.entries.end() && sibling->first.first == "host" &&
      sibling->first.second.compare(0, label.size() + 1, label + '.') == 0) {
    head = sibling->second.substr(0, sibling->second.find('.'));
  }
  while (head.empty() || head.find('.') != std::string::npos) {
    head = numbered("host", ++counters_["host"]);
    if (!usedPlaceholders_.insert(head).second) head.clear();
  }
  std::string placeholder = head;
  if (dot != std::string::npos) placeholder += '.' + placeholderFor("domain", host.substr(dot + 1));
  map_.entries[{"host", host}] = placeholder;
  return placeholder;
}

void Obfuscator::build() {
  // Domains first, then short names, so that longer names reuse their parts.
  std::stable_sort(pending_.begin(), pending_.end(), [](const auto& a, const auto& b) {
    auto rank = [](const std::pair<std::string, std::string>& p) {
      return p.first == "domain" ? 0 : p.second.find('.') == std::string::npos ? 1 : 2;
    };
    return rank(a) < rank(b);
  });
  for (const auto& name : pending_) {
    if (name.first == "host") hostPlaceholder(name.second);
    else placeholderFor(name.first, name.second);
  }
  pending_.clear();
  names_.clear();
  chain_.clear();
  nodes_.assign(1, Node());
  // Every name the map holds, from this run or an earlier one: once a name
  // was private it stays so.
  for (const auto& entry : map_.entries) {
    const std::string& kind = entry.first.first;
    if (kind != "host" && kind != "domain" && kind != "user" && kind != "group" && kind != "word") {
      continue;
    }
    // A name spelt like a placeholder would be found again in every
    // replaced text; it tells nothing that a placeholder does not.
    if (usedPlaceholders_.count(lowered(entry.first.second))) continue;
    names_.push_back(
        {kind, entry.first.second, entry.second, caseSensitiveKind(kind), kind == "domain"});
    insert(names_.size() - 1);
  }
}

void Obfuscator::insert(size_t name) {
  const std::string& text = names_[name].original;
  if (text.empty() || text.size() > kMaxNameBytes) return;
  int32_t node = 0;
  for (char c : text) {
    int s = symbol(c);
    if (s < 0) return;
    if (nodes_[node].next[s] == 0) {
      nodes_[node].next[s] = static_cast<int32_t>(nodes_.size());
      nodes_.emplace_back();
    }
    node = nodes_[node].next[s];
  }
  chain_.resize(names_.size(), -1);
  chain_[name] = nodes_[node].first;
  nodes_[node].first = static_cast<int32_t>(name);
}

int32_t Obfuscator::lookup(std::string_view text, bool domainOnly) const {
  if (nodes_.empty() || text.size() > kMaxNameBytes) return -1;
  int32_t node = 0;
  for (char c : text) {
    int s = symbol(c);
    if (s < 0) return -1;
    node = nodes_[node].next[s];
    if (node == 0) return -1;
  }
  for (int32_t name = nodes_[node].first; name >= 0; name = chain_[name]) {
    const Name& candidate = names_[name];
    if (domainOnly && !candidate.domain) continue;
    if (!candidate.caseSensitive || text == candidate.original) return name;
  }
  return -1;
}

uint64_t Obfuscator::mapKey(Family& family, uint64_t key, Sink& sink) const {
  auto found = family.to.find(key);
  if (!sink.out) {
    if (found != family.to.end() && !family.placeholders.count(key)) {
      sink.record(family.kind, fieldsText(key, family.separator, family.base, family.fields));
    }
    return key;
  }
  if (found != family.to.end()) return found->second;
  uint64_t placeholder;
  do {
    placeholder = family.placeholderBase | (family.next++ & 0xffff);
  } while (placeholder == key || family.placeholders.count(placeholder));
  family.to[key] = placeholder;
  family.placeholders.insert(placeholder);
  map_.entries[{family.kind, fieldsText(key, family.separator, family.base, family.fields)}] =
      fieldsText(placeholder, family.separator, family.base, family.fields);
  return placeholder;
}

namespace {

// Addresses that say nothing about a site: loopback, link-local, this
// network, broadcast, and multicast and reserved (which holds the netmasks).
bool keptV4(uint32_t address) {
  uint32_t first = address >> 24;
  return first == 127 || first == 0 || first >= 224 || (address >> 16) == 0xa9fe ||
         (address & 0xff) == 255;
}

// Four numbers of 0-255, each one to three digits, separated by separator and
// nothing else in text.
bool parseQuad(std::string_view text, char separator, uint32_t& address) {
  uint32_t value = 0;
  size_t at = 0;
  for (int field = 0; field < 4; ++field) {
    if (field > 0 && (at >= text.size() || text[at++] != separator)) return false;
    size_t start = at;
    uint32_t number = 0;
    while (at < text.size() && at - start < 3 && isDigit(text[at])) {
      number = number * 10 + static_cast<uint32_t>(text[at++] - '0');
    }
    if (at == start || number > 255) return false;
    value = value << 8 | number;
  }
  address = value;
  return at == text.size();
}

}  // namespace

bool Obfuscator::ipv4(std::string_view text, Sink& sink) const {
  uint32_t address;
  if (!parseQuad(text, '.', address)) return false;
  if (keptV4(address)) {
    sink.copy(text);
    return true;
  }
  uint64_t network = mapKey(v4_, address >> 8, sink);
  if (sink.out) {
    appendFields(sink.output(), network, '.', 10, 3);
    sink.output() += '.';
    appendNumber(sink.output(), address & 0xff, 10);
  }
  return true;
}

// "dhcp-10-1-2-3": the four numbers map as the address they spell.
void Obfuscator::embedded(std::string_view text, Sink& sink) const {
  if (std::count(text.begin(), text.end(), '-') < 3) {
    sink.copy(text);
    return;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = std::min(text.find('.', start), text.size());
    std::string_view label = text.substr(start, end - start);
    size_t field = 0;
    bool done = false;
    while (!done && field < label.size()) {
      // The four fields from here: digits, dash, digits, dash, digits, dash, digits.
      size_t stop = field;
      for (int n = 0; n < 4 && stop != std::string_view::npos; ++n) {
        stop = label.find('-', stop);
        if (n < 3 && stop != std::string_view::npos) ++stop;
      }
      size_t quadEnd = stop == std::string_view::npos ? label.size() : stop;
      uint32_t address;
      // A longer run of numbers is a date or a version, not an address.
      bool alone = (field < 2 || !isDigit(label[field - 2])) &&
                   (quadEnd + 1 >= label.size() || !isDigit(label[quadEnd + 1]));
      if (alone && parseQuad(label.substr(field, quadEnd - field), '-', address) &&
          !keptV4(address)) {
        sink.copy(label.substr(0, field));
        uint64_t network = mapKey(v4_, address >> 8, sink);
        if (sink.out) {
          appendFields(sink.output(), network, '-', 10, 3);
          sink.output() += '-';
          appendNumber(sink.output(), address & 0xff, 10);
        }
        sink.copy(label.substr(quadEnd));
        done = true;
      }
      size_t dash = label.find('-', field);
      field = dash == std::string_view::npos ? label.size() : dash + 1;
    }
    if (!done) sink.copy(label);
    if (end < text.size()) sink.copy(text.substr(end, 1));
    start = end + 1;
  }
}

namespace {

// Where an address may end: not inside a longer word, number or address.
bool addressEnds(std::string_view text, size_t at) {
  if (at >= text.size()) return true;
  char c = text[at];
  if (c == '.') return at + 1 >= text.size() || !isWordByte(text[at + 1]);
  return c != ':' && !isWordByte(c);
}

}  // namespace

// "aa:bb:cc:dd:ee:ff" or with dashes: the vendor half maps, the device half
// stays; group addresses (broadcast, multicast) and all zeros stay whole.
size_t Obfuscator::mac(std::string_view text, size_t at, Sink& sink) const {
  constexpr size_t kLength = 17;
  if (text.size() - at < kLength) return 0;
  char separator = text[at + 2];
  if (separator != ':' && separator != '-') return 0;
  uint64_t value = 0;
  for (size_t i = 0; i < kLength; ++i) {
    char c = text[at + i];
    if (i % 3 == 2) {
      if (c != separator) return 0;
    } else {
      int digit = hexValue(c);
      if (digit < 0) return 0;
      value = value << 4 | static_cast<uint64_t>(digit);
    }
  }
  if (!addressEnds(text, at + kLength)) return 0;
  uint64_t vendor = value >> 24;
  if ((vendor >> 16 & 1) != 0 || value == 0) {
    sink.copy(text.substr(at, kLength));
    return kLength;
  }
  uint64_t placeholder = mapKey(vendors_, vendor, sink);
  if (sink.out) {
    for (int shift = 16; shift >= 0; shift -= 8) {
      uint64_t byte = placeholder >> shift & 0xff;
      sink.output() += "0123456789abcdef"[byte >> 4];
      sink.output() += "0123456789abcdef"[byte & 0xf];
      sink.output() += separator;
    }
    sink.copy(text.substr(at + 9, kLength - 9));
  }
  return kLength;
}

namespace {

// The groups of an IPv6 address at text[at], "::" expanded; its length, 0
// when there is none. At most 39 bytes are looked at.
size_t parseIpv6(std::string_view text, size_t at, uint16_t (&groups)[8]) {
  uint16_t head[8], tail[8];
  int heads = 0, tails = 0;
  bool compressed = false;
  size_t i = at;
  if (text.compare(i, 2, "::") == 0) {
    compressed = true;
    i += 2;
  }
  while (heads + tails < 8) {
    size_t start = i;
    uint32_t value = 0;
    while (i < text.size() && i - start < 4 && hexValue(text[i]) >= 0) {
      value = value << 4 | static_cast<uint32_t>(hexValue(text[i++]));
    }
    if (i == start) {
      if (!compressed || text[i - 1] != ':' || (i >= 2 && text[i - 2] != ':')) return 0;
      break;
    }
    (compressed ? tail[tails++] : head[heads++]) = static_cast<uint16_t>(value);
    if (heads + tails == 8) break;
    if (!compressed && text.compare(i, 2, "::") == 0) {
      compressed = true;
      i += 2;
      if (i >= text.size() || hexValue(text[i]) < 0) break;
    } else if (i + 1 < text.size() && text[i] == ':' && hexValue(text[i + 1]) >= 0) {
      ++i;
    } else {
      break;
    }
  }
  if (compressed ? heads + tails > 7 : heads != 8) return 0;
  if (!addressEnds(text, i)) return 0;
  std::fill(std::begin(groups), std::end(groups), 0);
  std::copy(head, head + heads, groups);
  std::copy(tail, tail + tails, groups + 8 - tails);
  return i - at;
}

// The usual text: lower case, the longest run of zero groups as "::".
void appendIpv6(std::string& out, const uint16_t (&groups)[8]) {
  int bestStart = -1, bestLength = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength) bestStart = i, bestLength = j - i;
    i = j == i ? i + 1 : j;
  }
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      out += "::";
      i += bestLength - 1;
      continue;
    }
    if (i > 0 && i != bestStart + bestLength) out += ':';
    appendNumber(out, groups[i], 16);
  }
}

}  // namespace

size_t Obfuscator::ipv6(std::string_view text, size_t at, Sink& sink) const {
  uint16_t groups[8];
  size_t length = parseIpv6(text, at, groups);
  if (length == 0) return 0;
  uint64_t prefix = 0;
  for (int i = 0; i < 4; ++i) prefix = prefix << 16 | groups[i];
  // Unspecified, loopback and the rest of the zero prefix, link-local, multicast.
  if (prefix == 0 || (groups[0] & 0xffc0) == 0xfe80 || (groups[0] >> 8) == 0xff) {
    sink.copy(text.substr(at, length));
    return length;
  }
  uint64_t mapped = mapKey(v6_, prefix, sink);
  if (sink.out) {
    for (int i = 0; i < 4; ++i) groups[i] = static_cast<uint16_t>(mapped >> (48 - 16 * i));
    appendIpv6(sink.output(), groups);
  }
  return length;
}

// A run of word bytes: a name as a whole, else a known domain ending it,
// else each label as it may embed an address.
void Obfuscator::token(std::string_view text, Sink& sink) const {
  size_t first = text.find_first_not_of('.');
  if (first == std::string_view::npos) {
    sink.copy(text);
    return;
  }
  size_t last = text.find_last_not_of('.') + 1;
  sink.copy(text.substr(0, first));
  std::string_view core = text.substr(first, last - first);
  int32_t name = ipv4(core, sink) ? -2 : lookup(core, false);
  if (name >= 0) {
    sink.put(names_[name].placeholder);
    sink.record(names_[name].kind, names_[name].original);
  } else if (name == -1) {
    size_t dot = core.find('.');
    for (; dot != std::string_view::npos; dot = core.find('.', dot + 1)) {
      name = lookup(core.substr(dot + 1), true);
      if (name >= 0) break;
    }
    embedded(core.substr(0, dot), sink);
    if (name >= 0) {
      sink.copy(core.substr(dot, 1));
      sink.put(names_[name].placeholder);
      sink.record(names_[name].kind, names_[name].original);
    }
  }
  sink.copy(text.substr(last));
}

void Obfuscator::scan(std::string_view text, Sink& sink) const {
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    bool starts = i == 0 || !(isWordByte(text[i - 1]) || text[i - 1] == ':');
    if (starts && (c == ':' || hexValue(c) >= 0)) {
      size_t length = mac(text, i, sink);
      if (length == 0) length = ipv6(text, i, sink);
      if (length > 0) {
        i += length;
        continue;
      }
    }
    size_t end = i + 1;
    if (isWordByte(c)) {
      while (end < text.size() && isWordByte(text[end])) ++end;
      token(text.substr(i, end - i), sink);
    } else {
      while (end < text.size() && !isWordByte(text[end]) && text[end] != ':') ++end;
      sink.copy(text.substr(i, end - i));
    }
    i = end;
  }
}

std::string Obfuscator::apply(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4 + 64);
  Sink sink;
  sink.out = &out;
  scan(text, sink);
  sink.flush();
  return out;
}

std::vector<std::pair<std::string, std::string>> Obfuscator::survivingEntries(
    std::string_view text) const {
  std::vector<std::pair<std::string, std::string>> found;
  Sink sink;
  sink.found = &found;
  scan(text, sink);
  return found;
}

std::vector<std::string> Obfuscator::survivors(std::string_view text) const {
  std::vector<std::string> originals;
  for (auto& entry : survivingEntries(text)) originals.push_back(std::move(entry.second));
  return originals;
}

}  // namespace cvreport
