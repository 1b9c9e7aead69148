#include "output/checkpointFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

namespace plasmabox {

namespace fs = std::filesystem;

namespace {

// fsync of a file or a folder; false when it fails.
bool flushToDisk(const std::string& path, bool folder) {
  const int fd = open(path.c_str(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = fsync(fd) == 0;
  close(fd);
  return done;
}

// The step of a checkpoint's file name "NNNNN.h5" (or "NNNNN.h5.tmp" when
// unfinished is true), or -1 for any other name.
long stepOfName(const std::string& name, bool unfinished) {
  const std::string suffix = unfinished ? ".h5.tmp" : ".h5";
  if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return -1;
  const std::string digits = name.substr(0, name.size() - suffix.size());
  if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stol(digits);
}

void removeReported(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
  if (ec) std::cerr << "Could not remove " << path.string() << " (" << ec.message() << ")" << std::endl;
}

}  // namespace

std::string checkpointFileName(const std::string& csv_prefix, int32_t step) {
  char name[32];
  std::snprintf(name, sizeof name, "%05d.h5", static_cast<int>(step));
  return fs::path(csv_prefix + "output_O_0.csv//..//checkpoint//" + name).lexically_normal().string();
}

std::string unfinishedName(const std::string& path) { return path + ".tmp"; }

void commitFile(const std::string& unfinished, const std::string& path) {
  if (!flushToDisk(unfinished, false))
    throw std::runtime_error("file \"" + unfinished + "\" cannot be flushed to the disk (" + std::strerror(errno) + ")");
  std::error_code ec;
  fs::rename(unfinished, path, ec);
  if (ec) throw std::runtime_error("file \"" + unfinished + "\" cannot be renamed to \"" + path + "\" (" + ec.message() + ")");
  const fs::path folder = fs::path(path).parent_path();
  flushToDisk(folder.empty() ? "." : folder.string(), true);  // some file systems cannot sync a folder: not an error
}

void pruneCheckpoints(const std::string& newest, int32_t keep) {
  const fs::path folder = fs::path(newest).parent_path().empty() ? fs::path(".") : fs::path(newest).parent_path();
  const long last = stepOfName(fs::path(newest).filename().string(), false);
  std::vector<std::pair<long, fs::path>> older;
  std::vector<fs::path> unfinished;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (const long step = stepOfName(name, true); step >= 0 && step < last) unfinished.push_back(e.path());
    if (const long step = stepOfName(name, false); step >= 0 && step < last) older.emplace_back(step, e.path());
  }
  if (ec) std::cerr << "Could not list " << folder.string() << " (" << ec.message() << ")" << std::endl;
  // Removed once the listing is over: a folder changing under its listing may show an entry twice or not at all.
  for (const fs::path& p : unfinished) removeReported(p);
  if (keep <= 0) return;
  std::sort(older.begin(), older.end());
  const std::size_t kept = static_cast<std::size_t>(keep - 1);
  for (std::size_t n = 0; n + kept < older.size(); ++n) removeReported(older[n].second);
}

}  // namespace plasmabox
