#include "tools/amf/readStl.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "tools/amf/textNumbers.h"

namespace plasmabox {

namespace {

constexpr std::size_t HEADER_BYTES = 80;      // free-form header of a binary STL
constexpr std::size_t PREAMBLE_BYTES = 84;    // header plus the 32-bit triangle count
constexpr std::size_t FACET_BYTES = 50;       // normal, 3 corners (12 floats) and a 16-bit attribute

std::uint32_t readU32(const unsigned char* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// IEEE single precision, little-endian regardless of the host.
float readF32(const unsigned char* p) {
  const std::uint32_t bits = readU32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::uint32_t announcedCount(std::string_view bytes) {
  return readU32(reinterpret_cast<const unsigned char*>(bytes.data()) + HEADER_BYTES);
}

bool beginsWithSolid(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && isBlank(bytes[i])) ++i;
  return bytes.size() - i >= 5 && equalsNoCase(bytes.substr(i, 5), "solid");
}

// Splits text into blank-separated words, remembering the line of each.
struct WordReader {
  std::string_view text;
  std::size_t pos = 0;
  std::size_t line = 1;

  // Next word, or "" at the end of the text.
  std::string_view next() {
    while (pos < text.size() && isBlank(text[pos])) {
      if (text[pos] == '\n') ++line;
      ++pos;
    }
    const std::size_t start = pos;
    while (pos < text.size() && !isBlank(text[pos])) ++pos;
    return text.substr(start, pos - start);
  }

  // Skips the rest of the current line (the free-text name after "solid").
  void skipLine() {
    while (pos < text.size() && text[pos] != '\n') ++pos;
  }
};

[[noreturn]] void asciiError(const std::string& name, std::size_t line, const std::string& what) {
  throw std::runtime_error(name + ": ASCII STL, line " + std::to_string(line) + ": " + what);
}

void expectWord(WordReader& words, const std::string& name, std::string_view keyword) {
  const std::string_view w = words.next();
  if (!equalsNoCase(w, keyword)) {
    asciiError(name, words.line,
               "expected '" + std::string(keyword) + "' but found " +
                   (w.empty() ? std::string("the end of the file") : quoteForMessage(w)));
  }
}

double expectNumber(WordReader& words, const std::string& name) {
  const std::string_view w = words.next();
  double v = 0.0;
  if (!parseFiniteDouble(w, v)) {
    asciiError(name, words.line,
               w.empty() ? std::string("expected a number but found the end of the file")
                         : quoteForMessage(w) + " is not a finite number");
  }
  return v;
}

}  // namespace

bool hasBinaryStlSize(std::string_view bytes) {
  if (bytes.size() < PREAMBLE_BYTES) return false;
  // 64-bit arithmetic: a count near 2^32 must not wrap around.
  return PREAMBLE_BYTES + FACET_BYTES * std::uint64_t(announcedCount(bytes)) == bytes.size();
}

MeshSoup readBinaryStl(std::string_view bytes, const std::string& name) {
  if (bytes.size() < PREAMBLE_BYTES) {
    throw std::runtime_error(name + ": truncated binary STL: " + std::to_string(bytes.size()) +
                             " bytes, fewer than the 84-byte header and triangle count");
  }
  const std::uint64_t count = announcedCount(bytes);
  const std::uint64_t expected = PREAMBLE_BYTES + FACET_BYTES * count;
  if (expected != bytes.size()) {
    throw std::runtime_error(name + ": " + (bytes.size() < expected ? "truncated" : "oversized") +
                             " binary STL: the header announces " + std::to_string(count) +
                             " triangles, which take " + std::to_string(expected) +
                             " bytes, but the file has " + std::to_string(bytes.size()));
  }
  if (count == 0) throw std::runtime_error(name + ": binary STL holds no triangles");
  MeshSoup soup;
  soup.format = "binary STL";
  soup.corners.reserve(3 * count);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + PREAMBLE_BYTES;
  for (std::uint64_t t = 0; t < count; ++t, p += FACET_BYTES) {
    for (int c = 0; c < 3; ++c) {
      const unsigned char* q = p + 12 + 12 * c;  // skip the 12-byte normal
      const Vec3 v{readF32(q), readF32(q + 4), readF32(q + 8)};
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
        throw std::runtime_error(name + ": binary STL, triangle " + std::to_string(t + 1) +
                                 ": corner coordinate is not a finite number");
      }
      soup.corners.push_back(v);
    }
  }
  return soup;
}

MeshSoup readAsciiStl(std::string_view bytes, const std::string& name) {
  MeshSoup soup;
  soup.format = "ASCII STL";
  WordReader words{bytes};
  expectWord(words, name, "solid");
  words.skipLine();
  for (;;) {
    const std::string_view w = words.next();
    if (equalsNoCase(w, "facet")) {
      expectWord(words, name, "normal");
      for (int i = 0; i < 3; ++i) expectNumber(words, name);
      expectWord(words, name, "outer");
      expectWord(words, name, "loop");
      for (int c = 0; c < 3; ++c) {
        expectWord(words, name, "vertex");
        const double x = expectNumber(words, name);
        const double y = expectNumber(words, name);
        const double z = expectNumber(words, name);
        soup.corners.push_back({x, y, z});
      }
      expectWord(words, name, "endloop");
      expectWord(words, name, "endfacet");
    } else if (equalsNoCase(w, "endsolid")) {
      words.skipLine();
      // Some exporters write one solid per part into the same file.
      const std::string_view after = words.next();
      if (after.empty()) break;
      if (!equalsNoCase(after, "solid")) {
        asciiError(name, words.line, "expected 'solid' or the end of the file after 'endsolid'");
      }
      words.skipLine();
    } else if (w.empty()) {
      asciiError(name, words.line, "the file ends before 'endsolid'");
    } else {
      asciiError(name, words.line,
                 "expected 'facet' or 'endsolid' but found " + quoteForMessage(w));
    }
  }
  if (soup.corners.empty()) throw std::runtime_error(name + ": ASCII STL holds no triangles");
  return soup;
}

MeshSoup readStl(std::string_view bytes, const std::string& name) {
  if (hasBinaryStlSize(bytes)) return readBinaryStl(bytes, name);
  // An ASCII STL never holds a NUL byte, while a binary one almost always does
  // (in its triangle count or attribute words): a "solid" header with NULs is a
  // binary STL of the wrong size, and is reported as such.
  const bool has_nul = bytes.find('\0') != std::string_view::npos;
  if (beginsWithSolid(bytes) && !has_nul) return readAsciiStl(bytes, name);
  if (!has_nul) {
    throw std::runtime_error(name + ": not a mesh file: it begins with neither 'solid' (ASCII STL), "
                             "'<' (AMF) nor a ZIP signature, and its size does not match a binary STL");
  }
  return readBinaryStl(bytes, name);
}

}  // namespace plasmabox
