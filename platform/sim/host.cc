#include "host.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>

namespace cvsim {
namespace {

const char kDefaultHost[] = "/var/lib/cvsim/host";

std::string trim(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(start, end - start);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

std::vector<std::string> directoryNames(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (!dir) return names;
  while (struct dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<unsigned int> parseId(const std::string& word) {
  if (word.empty() || word.size() > 10) return std::nullopt;
  unsigned long value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > UINT_MAX) return std::nullopt;
  return static_cast<unsigned int>(value);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string hostDir() {
  const char* env = getenv("CVSIM_HOST");
  return env && *env ? env : kDefaultHost;
}

std::string hostPath(const std::string& relative) { return hostDir() + "/" + relative; }

bool isDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

std::optional<long> parseNumber(const std::string& text) {
  std::string word = trim(text);
  if (word.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  long value = strtol(word.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

std::optional<int> fault(const std::string& key) {
  std::optional<std::string> text = readFile(hostPath("faults"));
  if (!text) return std::nullopt;
  for (const std::string& raw : lines(*text)) {
    std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos || trim(line.substr(0, eq)) != key) continue;
    std::optional<long> value = parseNumber(line.substr(eq + 1));
    if (!value || *value < INT_MIN || *value > INT_MAX) return kInvalid;
    return static_cast<int>(*value);
  }
  return std::nullopt;
}

bool containerExists(unsigned int id) {
  return isDirectory(hostPath("containers/" + std::to_string(id)));
}

int containerFlags(unsigned int id, unsigned int* flags) {
  *flags = 0;
  std::optional<std::string> text =
      readFile(hostPath("containers/" + std::to_string(id) + "/state"));
  if (!text) return 0;
  std::string state = trim(*text);
  if (!state.empty() && isdigit(static_cast<unsigned char>(state[0]))) {
    std::optional<long> value = parseNumber(state);
    if (!value || *value < 0 || *value > static_cast<long>(UINT_MAX)) return kInvalid;
    *flags = static_cast<unsigned int>(*value);
    return 0;
  }
  // Several words combine, so that precedence between flags can be shown.
  for (char& c : state) {
    if (c == ',' || c == '|' || c == '+') c = ' ';
  }
  std::istringstream words(state);
  std::string word;
  while (words >> word) {
    if (word == "running") {
      *flags |= 0x4;
    } else if (word == "suspended") {
      *flags |= 0x8;
    } else if (word == "mounted") {
      *flags |= 0x2;
    } else if (word != "stopped") {
      return kInvalid;
    }
  }
  return 0;
}

bool listIds(std::vector<unsigned int>* ids) {
  ids->clear();
  std::optional<std::string> text = readFile(hostPath("ids"));
  if (text) {
    std::istringstream words(*text);
    std::string word;
    while (words >> word) {
      if (word[0] == '#') {  // a comment runs to the end of its line
        std::getline(words, word);
        continue;
      }
      std::optional<unsigned int> id = parseId(word);
      if (!id) return false;
      ids->push_back(*id);
    }
    return true;
  }
  for (const std::string& name : directoryNames(hostPath("containers"))) {
    if (std::optional<unsigned int> id = parseId(name)) ids->push_back(*id);
  }
  std::sort(ids->begin(), ids->end());
  return true;
}

std::vector<std::string> listBases() {
  std::optional<std::string> text = readFile(hostPath("bases"));
  if (!text) return directoryNames(hostPath("templates"));
  std::vector<std::string> bases;
  for (const std::string& line : lines(*text)) {
    if (!line.empty() && line[0] != '#') bases.push_back(line);
  }
  return bases;
}

const std::string* Record::get(const std::string& key) const {
  auto it = values.find(key);
  return it == values.end() ? nullptr : &it->second;
}

bool parseRecords(const std::string& text, const std::string& kind,
                  const std::vector<std::string>& keys, std::vector<Record>* records) {
  records->clear();
  const std::string header = "[" + kind + "]";
  for (const std::string& line : lines(text)) {
    if (trim(line).empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (trim(line) != header) return false;
      records->emplace_back();
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || records->empty()) return false;
    std::string key = line.substr(0, eq);
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) return false;
    records->back().values[key] = unescape(line.substr(eq + 1));
  }
  return true;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 >= text.size()) {
      out += c;
      continue;
    }
    char next = text[i + 1];
    if (next == '\\') {
      out += '\\';
      ++i;
    } else if (next == 'n') {
      out += '\n';
      ++i;
    } else if (next == 't') {
      out += '\t';
      ++i;
    } else if (next == 'r') {
      out += '\r';
      ++i;
    } else if (next == 'x' && i + 3 < text.size() && hexDigit(text[i + 2]) >= 0 &&
               hexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
      i += 3;
    } else {
      out += c;
    }
  }
  return out;
}

char* copyText(const std::string* text, bool* failed) {
  if (!text) return nullptr;
  char* copy = static_cast<char*>(malloc(text->size() + 1));
  if (!copy) {
    *failed = true;
    return nullptr;
  }
  memcpy(copy, text->data(), text->size());
  copy[text->size()] = '\0';
  return copy;
}

}  // namespace cvsim
