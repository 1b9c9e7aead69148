#include "output/outputFile.h"

#include <filesystem>
#include <iostream>
#include <system_error>

namespace plasmabox {

void openOutputFile(std::ofstream& f, const std::string& path) {
  f.open(path, std::ios::binary);
  if (f.is_open()) return;
  const std::filesystem::path dir = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (dir.empty()) return;
  // Another process of a distributed run may be creating the same folder at
  // this moment: whoever made it, try once more when it exists.
  if (!std::filesystem::exists(dir, ec)) std::filesystem::create_directories(dir, ec);
  f.clear();
  f.open(path, std::ios::binary);
}

void reportCannotOpen(const std::string& name) { std::cerr << "Could not open " << name << std::endl; }

bool closeAndCheck(std::ofstream& f, const std::string& name) {
  if (!f.is_open()) return false;
  f.close();
  if (f) return true;
  std::cerr << "Could not write " << name << std::endl;
  return false;
}

}  // namespace plasmabox
