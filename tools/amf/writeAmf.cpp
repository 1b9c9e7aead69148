#include "tools/amf/writeAmf.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "output/xmlEscaped.h"

namespace plasmabox {

namespace {

// Shortest text that converts back to exactly v (round trip of doubles).
void appendNumber(std::string& out, double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, ec == std::errc() ? end : buffer);
}

void appendElement(std::string& out, const char* tag, double v) {
  out += '<';
  out += tag;
  out += '>';
  appendNumber(out, v);
  out += "</";
  out += tag;
  out += '>';
}

void appendIndex(std::string& out, const char* tag, std::uint32_t i) {
  out += '<';
  out += tag;
  out += '>';
  out += std::to_string(i);
  out += "</";
  out += tag;
  out += '>';
}

}  // namespace

std::string formatAmf(const std::vector<NamedMesh>& objects) {
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<amf unit=\"meter\">\n";
  out += "  <metadata type=\"producer\">plasmabox-amf</metadata>\n";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const NamedMesh& o = objects[i];
    out += "  <object id=\"" + std::to_string(i) + "\">\n";
    out += "    <metadata type=\"name\">";
    out += xmlEscaped(o.name);
    out += "</metadata>\n";
    out += "    <mesh>\n      <vertices>\n";
    for (const Vec3& v : o.mesh.vertices) {
      out += "        <vertex><coordinates>";
      appendElement(out, "x", v.x);
      appendElement(out, "y", v.y);
      appendElement(out, "z", v.z);
      out += "</coordinates></vertex>\n";
    }
    out += "      </vertices>\n      <volume>\n";
    for (const auto& t : o.mesh.triangles) {
      out += "        <triangle>";
      appendIndex(out, "v1", t[0]);
      appendIndex(out, "v2", t[1]);
      appendIndex(out, "v3", t[2]);
      out += "</triangle>\n";
    }
    out += "      </volume>\n    </mesh>\n  </object>\n";
  }
  out += "</amf>\n";
  return out;
}

void writeTextFile(const std::string& path, const std::string& text) {
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error(path + ": cannot create the output file");
    file.write(text.data(), std::streamsize(text.size()));
    file.close();
    if (file) return;
  }
  std::remove(path.c_str());
  throw std::runtime_error(path + ": writing the output file failed (disk full?)");
}

}  // namespace plasmabox
