#include "output/vtkDataArrays.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "output/zlibDeflate.h"

namespace plasmabox {

namespace {

// zlib level: 1 is about three times faster than the default 6 on field data
// and gives files only a few per cent larger (bench/README.md).
constexpr int COMPRESSION_LEVEL = 1;

std::size_t typeBytes(std::string_view type) { return type == "Int32" ? 4 : 8; }

void putUInt64(std::ostream& os, uint64_t v) { os.write(reinterpret_cast<const char*>(&v), sizeof v); }

void putBytes(std::ostream& os, const std::byte* data, std::size_t n) {
  os.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
}

// Tuples per block: block_bytes rounded down to whole tuples (or whole
// multiples of block_multiple), at least one (multiple).
std::size_t tuplesPerBlock(const VtkArray& a, std::size_t block_bytes) {
  const std::size_t unit = a.block_multiple > 0 ? static_cast<std::size_t>(a.block_multiple) : 1;
  return std::max<std::size_t>(1, block_bytes / (a.tupleBytes() * unit)) * unit;
}

void writeRaw(std::ostream& os, const VtkArray& a, std::vector<std::byte>& buf, std::size_t per_block) {
  putUInt64(os, a.tuples * a.tupleBytes());
  for (uint64_t first = 0; first < a.tuples; first += per_block) {
    const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(per_block, a.tuples - first));
    a.fill(first, count, buf.data());
    putBytes(os, buf.data(), count * a.tupleBytes());
  }
}

// One thread's share of the compression: its zlib state, the raw block it
// filled and the compressed result.
struct Compressor {
  ZlibDeflate zlib{COMPRESSION_LEVEL};
  std::vector<std::byte> raw, packed;
  std::size_t size = 0;  // compressed bytes in packed; 0 when zlib failed
};

// One array in VTK's compressed layout. The block header goes first but holds
// the compressed sizes: write it as zeros, then the blocks, then go back.
// Blocks are filled and compressed a batch at a time, one per thread, and
// written in order.
bool writeCompressed(std::ostream& os, const VtkArray& a, std::vector<Compressor>& team, std::size_t per_block,
                     bool serial_fill) {
  const uint64_t total = a.tuples * a.tupleBytes();
  const uint64_t block = per_block * a.tupleBytes();
  const uint64_t blocks = (a.tuples + per_block - 1) / per_block;
  std::vector<uint64_t> header(3 + blocks, 0);
  header[0] = blocks;
  header[1] = block;
  header[2] = total % block;  // a last partial block's size, 0 when every block is full
  const std::streampos header_at = os.tellp();
  os.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size() * 8));
  const int64_t team_size = static_cast<int64_t>(team.size());
  for (uint64_t b0 = 0; b0 < blocks && os; b0 += team.size()) {
    const int64_t batch = std::min<int64_t>(team_size, static_cast<int64_t>(blocks - b0));
    const auto countAt = [&](int64_t q) {
      const uint64_t first = (b0 + static_cast<uint64_t>(q)) * per_block;
      return std::pair{first, static_cast<std::size_t>(std::min<uint64_t>(per_block, a.tuples - first))};
    };
    if (serial_fill)
      for (int64_t q = 0; q < batch; ++q) {
        const auto [first, count] = countAt(q);
        a.fill(first, count, team[static_cast<std::size_t>(q)].raw.data());
      }
#pragma omp parallel for num_threads(static_cast<int>(batch)) schedule(static, 1) if (batch > 1)
    for (int64_t q = 0; q < batch; ++q) {
      Compressor& c = team[static_cast<std::size_t>(q)];
      const auto [first, count] = countAt(q);
      if (!serial_fill) a.fill(first, count, c.raw.data());
      c.size = c.zlib.compress({c.raw.data(), count * a.tupleBytes()}, c.packed);
    }
    for (int64_t q = 0; q < batch; ++q) {
      const Compressor& c = team[static_cast<std::size_t>(q)];
      if (c.size == 0) return false;
      putBytes(os, c.packed.data(), c.size);
      header[3 + b0 + static_cast<uint64_t>(q)] = c.size;
    }
  }
  const std::streampos end = os.tellp();
  os.seekp(header_at);
  os.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size() * 8));
  os.seekp(end);
  return true;
}

const char APPENDED_OPEN[] = "<AppendedData encoding=\"raw\">\n_";
const char APPENDED_CLOSE[] = "\n</AppendedData>\n</VTKFile>\n";

}  // namespace

std::size_t VtkArray::tupleBytes() const { return typeBytes(type) * static_cast<std::size_t>(components); }

std::string exactText(double v) {
  char buf[MAX_NUMBER_CHARS];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string vtkFileOpening(std::string_view type, bool compressed) {
  std::string s = "<?xml version=\"1.0\"?>\n<VTKFile type=\"";
  s.append(type).append("\" version=\"1.0\" byte_order=\"");
  s.append(std::endian::native == std::endian::big ? "BigEndian" : "LittleEndian");
  s.append("\" header_type=\"UInt64\"");
  if (compressed) s.append(" compressor=\"vtkZLibDataCompressor\"");
  return s + ">\n";
}

std::string appendedArrayElement(const VtkArray& a, uint64_t offset) {
  return "<DataArray type=\"" + std::string(a.type) + "\" Name=\"" + xmlEscaped(a.name) + "\" NumberOfComponents=\"" +
         std::to_string(a.components) + "\" format=\"appended\" offset=\"" + std::to_string(offset) + "\"/>\n";
}

void writeAsciiArray(BlockWriter& w, const VtkArray& a) {
  w.text("<DataArray type=\"");
  w.text(a.type);
  w.text("\" Name=\"");
  w.text(xmlEscaped(a.name));
  w.text("\" NumberOfComponents=\"");
  w.number(int64_t{a.components});
  w.text("\" format=\"ascii\">\n");
  const std::size_t per_block = tuplesPerBlock(a, APPENDED_BLOCK_BYTES);
  std::vector<std::byte> buf(per_block * a.tupleBytes());
  const std::size_t values = static_cast<std::size_t>(a.components);
  enum { FLOAT64, INT64, INT32 } const kind = a.type == "Float64" ? FLOAT64 : a.type == "Int64" ? INT64 : INT32;
  for (uint64_t first = 0; first < a.tuples; first += per_block) {
    const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(per_block, a.tuples - first));
    a.fill(first, count, buf.data());
    const std::byte* v = buf.data();
    for (std::size_t t = 0; t < count; ++t) {
      for (std::size_t c = 0; c < values; ++c) {
        if (c > 0) w.put(' ');
        if (kind == FLOAT64) {
          double d;
          std::memcpy(&d, v, 8), v += 8;
          w.exactNumber(d);
        } else if (kind == INT64) {
          int64_t n;
          std::memcpy(&n, v, 8), v += 8;
          w.number(n);
        } else {
          int32_t n;
          std::memcpy(&n, v, 4), v += 4;
          w.number(int64_t{n});
        }
      }
      w.put('\n');
    }
  }
  w.text("</DataArray>\n");
}

bool writeAppendedFile(std::ostream& os, const AppendedHead& head, std::span<const VtkArray> arrays,
                       const AppendedOptions& options) {
  const std::size_t block_bytes = options.block_bytes;
  std::size_t largest_block = 0;
  for (const VtkArray& a : arrays) largest_block = std::max(largest_block, tuplesPerBlock(a, block_bytes) * a.tupleBytes());
  std::vector<uint64_t> offsets(arrays.size(), 0);

  if (!options.compress) {  // every size is known: offsets first, then the data in one pass
    std::vector<std::byte> buf(largest_block);
    uint64_t at = 0;
    for (std::size_t n = 0; n < arrays.size(); ++n) {
      offsets[n] = at;
      at += sizeof(uint64_t) + arrays[n].tuples * arrays[n].tupleBytes();
    }
    os << head(offsets) << APPENDED_OPEN;
    for (const VtkArray& a : arrays) writeRaw(os, a, buf, tuplesPerBlock(a, block_bytes));
    os << APPENDED_CLOSE;
    return static_cast<bool>(os);
  }

  // Reserve room for the head with the widest offsets (20 digits each); the
  // real head, written at the end, is padded with blanks before <AppendedData>.
  const std::streampos head_at = os.tellp();
  const std::vector<uint64_t> widest(arrays.size(), std::numeric_limits<uint64_t>::max());
  const std::size_t reserved = head(widest).size();
  os << std::string(reserved, ' ') << APPENDED_OPEN;
  const std::streampos data_at = os.tellp();
  std::vector<Compressor> team(static_cast<std::size_t>(std::clamp(options.threads, 1, MAX_COMPRESSION_THREADS)));
  for (Compressor& c : team) {
    c.raw.resize(largest_block);
    c.packed.resize(ZlibDeflate::bound(largest_block));
  }
  for (std::size_t n = 0; n < arrays.size() && os; ++n) {
    offsets[n] = static_cast<uint64_t>(os.tellp() - data_at);
    if (!writeCompressed(os, arrays[n], team, tuplesPerBlock(arrays[n], block_bytes), options.serial_fill))
      os.setstate(std::ios::badbit);
  }
  os << APPENDED_CLOSE;
  const std::streampos end = os.tellp();
  const std::string text = head(offsets);
  if (text.size() > reserved) return false;  // cannot happen: offsets never exceed the widest
  os.seekp(head_at);
  os << text << std::string(reserved - text.size(), ' ');
  os.seekp(end);
  return static_cast<bool>(os);
}

}  // namespace plasmabox
