// Replaces a host's names, addresses and users in text with stable
// placeholders, in one pass whose time grows linearly with the text whatever
// it holds: names are looked up in a trie built once, starting only where a
// word starts, and addresses are recognised by bounded scanners.
#pragma once

#include <stdint.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "obfuscate/obfuscation_map.h"

namespace cvreport {

enum class NameKind { kHost, kDomain, kUser, kGroup, kWord };

// Where text may be cut so that its two parts, replaced one after the other,
// give what the whole would: just after its last blank (space, tab, line
// end), which no name or address holds; 0 when it has none.
size_t obfuscationPieceEnd(std::string_view text);

// Names are whole runs of [A-Za-z0-9._$-] (dots at either end aside): "ops"
// is replaced in "user=ops" and "/home/ops/" but not in "ops-team",
// "ops_x" or "ops.log"; a domain also where it ends a longer dotted name
// ("mail.corp.example"). Every name the map holds, from this run or an
// earlier one, is replaced and looked for, except one spelt like a
// placeholder.
class Obfuscator {
 public:
  explicit Obfuscator(ObfuscationMap& map);  // placeholders are taken from and added to map
  // Names to replace; a fully qualified host name also registers its domain (and each
  // parent domain with at least two labels). Empty names, names of one or two characters
  // that are common words, and names with bytes outside [A-Za-z0-9._-] (users: also '$')
  // are ignored, never a crash. Call before build().
  void addName(NameKind kind, std::string_view name);
  // Builds the matcher (Aho-Corasick or equivalent: linear in the text, no backtracking).
  void build();
  // Replaces in text: every added name at word boundaries (a name never inside a longer
  // word or host name: "in" never touches "init"), IPv4 addresses keeping the /24 structure
  // (loopback 127/8, link-local 169.254/16, 0.0.0.0 and x.x.x.255/255.255.255.255 kept),
  // IPv6 addresses keeping the /64 structure (::1, ::, fe80::/10 kept), MAC addresses (the
  // vendor part replaced, the device part kept), and names that embed an IPv4 address
  // ("dhcp-10-1-2-3", "ip-10-1-2-3.example.net": the address part mapped as the address).
  // The same original always gives the same placeholder. Linear in text.
  std::string apply(std::string_view text);
  // The originals of the map (and the added names) that occur in text, for the check
  // before sending; linear in text.
  std::vector<std::string> survivors(std::string_view text) const;
  // The same with each original's kind as the map names it ("host", "ipv4net", ...), so
  // that a caller can say what survived without printing it.
  std::vector<std::pair<std::string, std::string>> survivingEntries(std::string_view text) const;

 private:
  struct Name {
    std::string kind;      // as in the map file
    std::string original;  // lower case unless caseSensitive
    std::string placeholder;
    bool caseSensitive;
    bool domain;           // may end a longer dotted name
  };
  struct Node {
    int32_t next[40] = {};  // 0: no edge (nothing leads back to the root)
    int32_t first = -1;    // the first of this node's names in names_, chained by chain_
  };
  // One kind of address part that maps to numbered placeholders.
  struct Family {
    const char* kind;
    char separator;
    int base;
    int fields;
    uint64_t placeholderBase;
    std::unordered_map<uint64_t, uint64_t> to;  // original key -> placeholder key
    std::unordered_set<uint64_t> placeholders;
    uint64_t next = 1;
  };
  struct Sink;

  std::string placeholderFor(const std::string& kind, const std::string& original);
  std::string hostPlaceholder(const std::string& host);
  void insert(size_t name);
  int32_t lookup(std::string_view text, bool domainOnly) const;
  void scan(std::string_view text, Sink& sink) const;
  void token(std::string_view text, Sink& sink) const;
  void embedded(std::string_view text, Sink& sink) const;
  bool ipv4(std::string_view text, Sink& sink) const;
  size_t ipv6(std::string_view text, size_t at, Sink& sink) const;
  size_t mac(std::string_view text, size_t at, Sink& sink) const;
  uint64_t mapKey(Family& family, uint64_t key, Sink& sink) const;

  ObfuscationMap& map_;
  std::unordered_map<std::string, int> counters_;  // per kind: placeholders handed out
  std::unordered_set<std::string> usedPlaceholders_;
  std::vector<std::pair<std::string, std::string>> pending_;  // (kind, original) to add
  std::vector<Name> names_;
  std::vector<int32_t> chain_;
  std::vector<Node> nodes_;
  // Address parts met so far; apply() adds to them, survivors() only reads.
  mutable Family v4_{"ipv4net", '.', 10, 3, 0x0a0000, {}, {}};
  mutable Family v6_{"ipv6net", ':', 16, 4, 0xfd00000000000000, {}, {}};
  mutable Family vendors_{"macvendor", ':', 16, 3, 0x020000, {}, {}};
};

}  // namespace cvreport
