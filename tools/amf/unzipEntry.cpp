#include "tools/amf/unzipEntry.h"

#include <zip.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "tools/amf/textNumbers.h"

namespace plasmabox {

namespace {

// Unpacked size above which an entry is refused: real AMF exports are a few
// megabytes, and a forged size must not make us allocate gigabytes.
constexpr zip_uint64_t MAX_ENTRY_BYTES = zip_uint64_t(256) << 20;

// Closes the archive (and with it the source) on every path out.
struct ArchiveCloser {
  zip_t* archive;
  ~ArchiveCloser() { zip_discard(archive); }
};

struct FileCloser {
  zip_file_t* file;
  ~FileCloser() { zip_fclose(file); }
};

std::string libzipMessage(zip_error_t* error) {
  const char* text = zip_error_strerror(error);
  return text ? std::string(text) : std::string("unknown error");
}

bool endsWithAmf(std::string_view entry) {
  return entry.size() >= 4 && equalsNoCase(entry.substr(entry.size() - 4), ".amf");
}

}  // namespace

bool isZipArchive(std::string_view bytes) {
  return bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

std::string unzipAmfEntry(std::string_view bytes, const std::string& name) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (!source) {
    const std::string why = libzipMessage(&error);
    zip_error_fini(&error);
    throw std::runtime_error(name + ": cannot read the ZIP archive: " + why);
  }
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!archive) {
    zip_source_free(source);
    const std::string why = libzipMessage(&error);
    zip_error_fini(&error);
    throw std::runtime_error(name + ": damaged ZIP archive: " + why);
  }
  zip_error_fini(&error);
  ArchiveCloser closer{archive};

  const zip_int64_t entry_count = zip_get_num_entries(archive, 0);
  std::vector<zip_uint64_t> files;     // entries that are files, not folders
  std::vector<zip_uint64_t> amf_files; // of those, the ones named *.amf
  for (zip_int64_t i = 0; i < entry_count; ++i) {
    const char* entry = zip_get_name(archive, zip_uint64_t(i), 0);
    if (!entry) continue;
    const std::string_view entry_name(entry);
    if (entry_name.empty() || entry_name.back() == '/') continue;
    files.push_back(zip_uint64_t(i));
    if (endsWithAmf(entry_name)) amf_files.push_back(zip_uint64_t(i));
  }
  zip_uint64_t chosen = 0;
  if (files.size() == 1) {
    chosen = files[0];
  } else if (amf_files.size() == 1) {
    chosen = amf_files[0];
  } else if (files.empty()) {
    throw std::runtime_error(name + ": the ZIP archive holds no file entry (expected one AMF XML entry)");
  } else {
    throw std::runtime_error(name + ": the ZIP archive holds " + std::to_string(files.size()) +
                             " file entries and " + std::to_string(amf_files.size()) +
                             " named *.amf; expected exactly one AMF XML entry");
  }
  const std::string entry_name = zip_get_name(archive, chosen, 0);

  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive, chosen, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
    throw std::runtime_error(name + ": ZIP entry '" + entry_name + "' has no readable size");
  }
  if (stat.size > MAX_ENTRY_BYTES) {
    throw std::runtime_error(name + ": ZIP entry '" + entry_name + "' unpacks to " +
                             std::to_string(stat.size) + " bytes, more than the 256 MiB accepted");
  }
  zip_file_t* file = zip_fopen_index(archive, chosen, 0);
  if (!file) {
    throw std::runtime_error(name + ": cannot open ZIP entry '" + entry_name +
                             "': " + zip_strerror(archive));
  }
  FileCloser file_closer{file};
  std::string data(stat.size, '\0');
  zip_uint64_t filled = 0;
  while (filled < stat.size) {
    const zip_int64_t got = zip_fread(file, data.data() + filled, stat.size - filled);
    if (got < 0) {
      throw std::runtime_error(name + ": damaged ZIP entry '" + entry_name +
                               "': " + zip_file_strerror(file));
    }
    if (got == 0) break;
    filled += zip_uint64_t(got);
  }
  if (filled != stat.size) {
    throw std::runtime_error(name + ": ZIP entry '" + entry_name + "' is shorter than its recorded size");
  }
  return data;
}

}  // namespace plasmabox
