// A main for the fuzz targets in ordinary builds: feeds every file of the given
// folders (or given files) to LLVMFuzzerTestOneInput once, without libFuzzer.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsOf(const fs::path& place) {
  std::vector<fs::path> files;
  if (fs::is_directory(place)) {
    for (const auto& entry : fs::directory_iterator(place))  // dot files only keep empty folders in git
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
  } else if (fs::is_regular_file(place)) {
    files.push_back(place);
  }
  std::sort(files.begin(), files.end());  // the same order on every machine
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::size_t count = 0;
  for (int a = 1; a < argc; ++a) {
    if (!fs::exists(argv[a])) {
      std::clog << "replay: no such input " << argv[a] << std::endl;
      return 1;
    }
    for (const fs::path& file : inputsOf(argv[a])) {
      std::ifstream in(file, std::ios::binary);
      // A fresh buffer of exactly the file's size, so a read past the end is caught.
      std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
      ++count;
    }
  }
  std::clog << "replay: " << count << " inputs, no failure" << std::endl;
  return 0;
}
