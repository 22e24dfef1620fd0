// Reading the simulated host description (format: README.md). Shared by
// the two simulated libraries; nothing here is exported from them.
#ifndef CVSIM_HOST_H
#define CVSIM_HOST_H

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cvsim {

// The error codes of the simulation itself, as distinct from the codes a
// description asks for in its faults file.
constexpr int kNoEntry = 2;      // no description, or no such container
constexpr int kBadHandle = 9;    // cvctl used before cvctl_open
constexpr int kNoMemory = 12;
constexpr int kInvalid = 22;     // malformed description entry or argument

// The description's directory: CVSIM_HOST, or the fixed default.
std::string hostDir();
std::string hostPath(const std::string& relative);

bool isDirectory(const std::string& path);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::string& path);

// A number as C writes it (decimal, 0x hex, leading sign); the whole text
// apart from surrounding white space must be the number.
std::optional<long> parseNumber(const std::string& text);

// The value that the faults file gives a key, if any. A value that is not
// a number still marks the fault, as kInvalid.
std::optional<int> fault(const std::string& key);

// The container's state file as status flags; kInvalid when malformed.
// A container without a state file is stopped.
int containerFlags(unsigned int id, unsigned int* flags);
bool containerExists(unsigned int id);

// The IDs in listing order: the ids file, else the numeric names under
// containers/ in rising order. False when the ids file is malformed.
bool listIds(std::vector<unsigned int>* ids);

// The OS template names in listing order: the bases file, else the files
// of templates/ not starting with ".", in byte order.
std::vector<std::string> listBases();

// A record of a record file: its keys and their decoded values.
struct Record {
  std::map<std::string, std::string> values;
  const std::string* get(const std::string& key) const;
};

// Parses a record file: "[kind]" starts a record, "key=value" lines fill
// it, "#" lines and blank lines are skipped. Any other line, a key not in
// `keys`, a record of another kind, or a key line before the first record
// makes the whole file invalid (false), so that a slip in a fixture shows.
bool parseRecords(const std::string& text, const std::string& kind,
                  const std::vector<std::string>& keys, std::vector<Record>* records);

// Decodes \\ \n \t \r \xHH; any other backslash stays as it is.
std::string unescape(const std::string& text);

// malloc'd copy (the records are freed by the C clean-up calls), or null.
char* copyText(const std::string* text, bool* failed);

}  // namespace cvsim

#endif
