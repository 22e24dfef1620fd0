// The obfuscation of a collection, for bench/obfuscate_bench.sh: gathers the
// names from DIR/etc/hosts, passwd, group and obfuscate.words as a report
// run would, builds the matcher, and replaces in every file under DIR (in
// pieces cut between words, as a report's members are read) into OUTFILE;
// with --check, also looks for survivors in the result as before sending.
// Prints names, bytes and survivors.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "obfuscate/obfuscator.h"

namespace {

using cvreport::NameKind;
using cvreport::Obfuscator;

std::vector<std::string> fields(const std::string& line, char separator) {
  std::vector<std::string> out;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, separator);) out.push_back(field);
  return out;
}

size_t gather(const std::string& dir, Obfuscator& obfuscator) {
  size_t names = 0;
  std::ifstream hosts(dir + "/etc/hosts");
  for (std::string line; std::getline(hosts, line);) {
    std::vector<std::string> words = fields(line, ' ');
    for (size_t i = 1; i < words.size(); ++i, ++names) obfuscator.addName(NameKind::kHost, words[i]);
  }
  for (const char* file : {"/etc/passwd", "/etc/group"}) {
    std::ifstream accounts(dir + file);
    for (std::string line; std::getline(accounts, line);) {
      std::vector<std::string> parts = fields(line, ':');
      if (parts.size() < 3 || atoi(parts[2].c_str()) < 1000) continue;
      obfuscator.addName(file[5] == 'p' ? NameKind::kUser : NameKind::kGroup, parts[0]);
      ++names;
    }
  }
  std::ifstream words(dir + "/etc/obfuscate.words");
  for (std::string line; std::getline(words, line); ++names) obfuscator.addName(NameKind::kWord, line);
  return names;
}

// Regular files under DIR, relative to it, links not followed.
std::vector<std::string> files(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file() && !entry.is_symlink()) {
      out.push_back(entry.path().string().substr(dir.size()));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bool check = argc == 4 && std::string(argv[3]) == "--check";
  if (argc != 3 && !check) {
    fputs("usage: cv_obfuscate DIR OUTFILE [--check]\n", stderr);
    return 2;
  }
  std::string dir = argv[1];
  std::ofstream to(argv[2], std::ios::binary);
  if (!to) return 1;
  cvreport::ObfuscationMap map;
  Obfuscator obfuscator(map);
  size_t names = gather(dir, obfuscator);
  obfuscator.build();
  std::vector<std::string> paths = files(dir);
  constexpr size_t kPiece = 4 << 20;
  std::vector<char> buffer(kPiece);
  size_t bytes = 0, survivors = 0;
  for (const std::string& path : paths) {
    std::ifstream in(dir + path, std::ios::binary);
    if (!in) return 1;
    std::string carry;
    for (size_t n; (n = static_cast<size_t>(in.read(buffer.data(), kPiece).gcount())) > 0 ||
                   !carry.empty();) {
      carry.append(buffer.data(), n);
      size_t cut = n == 0 ? carry.size() : cvreport::obfuscationPieceEnd(carry);
      std::string replaced = obfuscator.apply(std::string_view(carry).substr(0, cut));
      if (check) survivors += obfuscator.survivors(replaced).size();
      to.write(replaced.data(), static_cast<std::streamsize>(replaced.size()));
      bytes += cut;
      carry.erase(0, cut);
    }
  }
  printf("%zu names, %zu files, %zu bytes, %zu survivors, %zu map entries\n", names,
         paths.size(), bytes, survivors, map.entries.size());
  return survivors == 0 ? 0 : 1;
}
