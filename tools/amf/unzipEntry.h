#pragma once

#include <string>
#include <string_view>

namespace plasmabox {

// True when bytes begin with the signature of a ZIP local file header ("PK\3\4").
bool isZipArchive(std::string_view bytes);

// Unpacks the AMF document of a zipped AMF held in memory, as FreeCAD, legacy
// Cura and MatterControl write it: a ZIP archive with one file entry (its name
// may differ from the archive's). When there are several file entries, the one
// entry whose name ends in ".amf" is taken. Returns the entry's bytes.
// Throws std::runtime_error naming `name` for a damaged archive, an archive
// without a suitable entry, or an entry larger than 256 MiB unpacked (a guard
// against archives that announce absurd sizes).
std::string unzipAmfEntry(std::string_view bytes, const std::string& name);

}  // namespace plasmabox
