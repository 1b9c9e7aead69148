#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace plasmabox {

// Where a path leads as the file system sees it, so that two spellings of one
// file ("run/../a.csv" and "a.csv", a symbolic link and its target, two hard
// links) compare equal.
struct FilePlace {
  std::filesystem::path folder;  // the folder the name is created in: canonical as far as it exists
  std::string name;              // the file's name in it; empty when the path names a folder
  bool regular = false;          // an existing regular file (links followed)
  bool special = false;          // something else that exists: a device, a pipe, a folder
  dev_t device = 0;              // with regular: its device and inode
  ino_t inode = 0;
};

// The place of path: symbolic links are followed, the last one too even when
// its target does not exist yet (writing through it would create that), at
// most 40 of them. Never throws: a folder that cannot be resolved is kept as
// written, made absolute.
FilePlace placeOf(const std::string& path);

// Whether writing to one of the places writes the other: the same device and
// inode when both are existing regular files, else the same folder and name.
// Devices and pipes (/dev/null) never overwrite stored data: writing to them
// twice is no clash.
bool sameFile(const FilePlace& a, const FilePlace& b);

}  // namespace plasmabox
