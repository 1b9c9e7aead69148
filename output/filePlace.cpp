#include "output/filePlace.h"

#include <sys/stat.h>

#include <system_error>

namespace plasmabox {

namespace fs = std::filesystem;

namespace {

// The canonical form of a folder, as far as it exists; the rest lexically
// normal. An error (a folder without search permission) keeps it as written.
fs::path canonicalFolder(const fs::path& folder) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, ec);
  if (ec) return folder.lexically_normal();
  const fs::path canonical = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : canonical;
}

}  // namespace

FilePlace placeOf(const std::string& path) {
  fs::path p = path;
  std::error_code ec;
  // The last component: a link to a file not created yet is where the writer lands.
  for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hop) {
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  FilePlace place;
  const std::string name = p.filename().string();
  const bool folder_name = name.empty() || name == "." || name == "..";
  place.folder = canonicalFolder(folder_name ? p : p.parent_path());
  if (!folder_name) place.name = name;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    place.regular = S_ISREG(st.st_mode);
    place.special = !place.regular;
    place.device = st.st_dev;
    place.inode = st.st_ino;
  }
  return place;
}

bool sameFile(const FilePlace& a, const FilePlace& b) {
  if (a.special || b.special) return false;
  if (a.regular && b.regular) return a.device == b.device && a.inode == b.inode;
  return !a.name.empty() && a.name == b.name && a.folder == b.folder;
}

}  // namespace plasmabox
