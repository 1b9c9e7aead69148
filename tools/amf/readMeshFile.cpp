#include "tools/amf/readMeshFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "tools/amf/readAmf.h"
#include "tools/amf/readStl.h"
#include "tools/amf/textNumbers.h"
#include "tools/amf/unzipEntry.h"

namespace plasmabox {

namespace {

// True when the bytes, after an optional UTF-8 byte order mark and blanks,
// begin with '<' as every XML document does.
bool looksLikeXml(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  while (!bytes.empty() && isBlank(bytes.front())) bytes.remove_prefix(1);
  return !bytes.empty() && bytes.front() == '<';
}

}  // namespace

std::string readFileBytes(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) throw std::runtime_error(path + ": no such file");
  if (std::filesystem::is_directory(status)) throw std::runtime_error(path + ": is a folder, not a mesh file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open the file for reading");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(path + ": read error");
  return bytes;
}

MeshSoup readMeshBytes(std::string_view bytes, const std::string& name, std::size_t object_number) {
  if (bytes.empty()) throw std::runtime_error(name + ": the file is empty");
  if (isZipArchive(bytes)) {
    const std::string xml = unzipAmfEntry(bytes, name);
    if (!looksLikeXml(xml)) throw std::runtime_error(name + ": the ZIP entry is not an XML (AMF) document");
    MeshSoup soup = readAmf(xml, name, object_number);
    soup.format = "zipped AMF";
    return soup;
  }
  if (!hasBinaryStlSize(bytes) && looksLikeXml(bytes)) return readAmf(bytes, name, object_number);
  MeshSoup soup = readStl(bytes, name);
  if (object_number != 1) {
    throw std::runtime_error(name + ": object " + std::to_string(object_number) +
                             " requested, but an STL file holds one object (use :1 or nothing)");
  }
  return soup;
}

}  // namespace plasmabox
