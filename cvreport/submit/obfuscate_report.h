// Replacing the host's names, addresses and users in a collected report
// with the placeholders of the map kept on this host, so that support
// reads a consistent report and the originals never leave.
#pragma once

#include <stddef.h>

#include <string>

namespace cvreport {

// Customer names and other words to replace, one a line; root's alone,
// like the configuration.
inline constexpr char kObfuscationWordsPath[] = "/etc/cvreport/obfuscate.words";

enum class ObfuscateResult {
  kObfuscated,
  kRefused,   // the map or the words file is not root's alone: nothing changed
  kFailed,    // the archive could not be read or packed, or the map saved
  kSurvived,  // an original is still in the archive, which was removed
};

struct ObfuscateOutcome {
  ObfuscateResult result = ObfuscateResult::kFailed;
  std::string file;  // kSurvived: the archive's file that still holds an original
  std::string kind;  // kSurvived: what it holds, "a host name", never the original
  size_t originals = 0;  // kObfuscated: how many originals the map holds
};

// Gathers the names to replace from this host (its name, /etc/hosts, the
// accounts and groups with ids from 1000, the words file) and from every
// file of the archive, then packs the archive again with each text file
// replaced, the manifest noting it, and writes the replaced texts over
// their copies in filesDir, which the review reads. The map is loaded from
// and saved to its fixed place. Then every file of the new archive, and
// every file name, is searched for every original; on a find the archive
// and its checksum are removed. The reporter's own contact file is left
// as written. The reason, when there is one, in message.
ObfuscateOutcome obfuscateReport(const std::string& archivePath, const std::string& filesDir,
                                 std::string* message);

// The sentences the front ends show: where the map is, and why a report
// that still held an original was stopped.
std::string obfuscatedText();
std::string obfuscationSurvivorText(const ObfuscateOutcome& outcome);

}  // namespace cvreport
