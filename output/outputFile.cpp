#include "output/outputFile.h"

#include <cstdio>
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

namespace {

// Straight to the process's standard error, not through std::cerr: the
// processes of a distributed run other than the first have their console
// silenced, yet each writes its own piece of an image with vtk_parallel=on,
// and a file it could not write must not go unseen. Standard output is
// flushed first, as std::cerr would, so the lines keep their order.
void reportFileProblem(const std::string& text) {
  std::cout.flush();
  std::fputs((text + "\n").c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

void reportCannotOpen(const std::string& name) { reportFileProblem("Could not open " + name); }

bool closeAndCheck(std::ofstream& f, const std::string& name) {
  if (!f.is_open()) return false;
  f.close();
  if (f) return true;
  reportFileProblem("Could not write " + name);
  return false;
}

}  // namespace plasmabox
