#include "driver/runFingerprint.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "driver/runOptions.h"

namespace plasmabox {

namespace {

// Shortest text that reads back to the same double.
std::string realText(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string vectorText(const Vec3& v) { return realText(v.x) + "," + realText(v.y) + "," + realText(v.z); }

struct Fingerprint {
  std::vector<FingerprintEntry> entries;
  void add(int position, const char* name, const std::string& value) {
    entries.push_back({"argument " + std::to_string(position) + " (" + name + ")", value});
  }
  void add(int position, const char* name, double value) { add(position, name, realText(value)); }
  void add(int position, const char* name, int32_t value) { add(position, name, std::to_string(value)); }
  // A point given as three consecutive positions.
  void add(int position, const char* name, const Vec3& v) {
    const char* axes[] = {".x", ".y", ".z"};
    for (int d = 0; d < 3; ++d) add(position + d, (std::string(name) + axes[d]).c_str(), realText(v[d]));
  }
};

// "crc32 1a2b3c4d, 123456 bytes" of the file's contents.
std::string contentsChecksum(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "unreadable";
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t bytes = 0;
  std::vector<char> buf(1 << 20);
  while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0) {
    const auto n = static_cast<std::size_t>(in.gcount());
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(buf.data()), n);
    bytes += n;
  }
  if (in.bad()) return "unreadable";
  char text[64];
  std::snprintf(text, sizeof text, "crc32 %08lx, %llu bytes", crc, static_cast<unsigned long long>(bytes));
  return text;
}

}  // namespace

std::vector<FingerprintEntry> runFingerprint(const RunSettings& settings, const std::vector<std::string>& args) {
  const RunParameters& p = settings.positional;
  Fingerprint f;
  f.add(1, "ni", p.ni);
  f.add(2, "nj", p.nj);
  f.add(3, "nk", p.nk);
  const char* ends[] = {"x0.x", "xm.x", "x0.y", "xm.y", "x0.z", "xm.z"};
  for (int d = 0; d < 3; ++d) {
    f.add(4 + 2 * d, ends[2 * d], p.x0[d]);
    f.add(5 + 2 * d, ends[2 * d + 1], p.xm[d]);
  }
  f.add(11, "electron box corner 1", p.electron_box_1);
  f.add(14, "electron box corner 2", p.electron_box_2);
  f.add(17, "ion box corner 1", p.ion_box_1);
  f.add(20, "ion box corner 2", p.ion_box_2);
  f.add(26, "ion_mass_amu", p.ion_mass_amu);
  f.add(29, "density_e", p.density_e);
  f.add(30, "density_i", p.density_i);
  f.add(32, "inject_mode", p.inject_mode);
  f.add(33, "ion inject_face", p.ion_inject_face);
  f.add(34, "electron inject_face", p.electron_inject_face);
  f.add(35, "ion drift_speed", p.ion_drift_speed);
  f.add(36, "electron drift_speed", p.electron_drift_speed);
  f.add(37, "ion inject_density", p.ion_inject_density);
  f.add(38, "electron inject_density", p.electron_inject_density);
  f.add(39, "ion plane corner 1", p.ion_inject_1);
  f.add(42, "ion plane corner 2", p.ion_inject_2);
  f.add(45, "electron plane corner 1", p.electron_inject_1);
  f.add(48, "electron plane corner 2", p.electron_inject_2);
  f.add(53, "num_objects", p.num_objects);
  std::vector<double> remanence = p.remanence;
  overrideRemanence(remanence, settings.remanence_override);
  for (const auto& [name, m] : buildMagnetisationTable(args, remanence))
    f.entries.push_back({"magnetisation of " + name + " (arguments after 53, A/m)", vectorText(m)});
  f.entries.push_back({"contents of the AMF file (argument 10)", contentsChecksum(p.amf_path)});
  for (const auto& [name, shown] : physicsOptions(settings)) f.entries.push_back({"option " + name, shown});
  // A ramp ends at the last step: with one, max_step is physics too.
  for (const auto& [name, volts] : settings.voltage_ramps)
    f.entries.push_back({"voltage ramp of " + name + " (voltage." + name + "=V0:V1 and max_step)",
                         realText(volts.first) + " V to " + realText(volts.second) + " V at step " +
                             std::to_string(settings.max_step)});
  return f.entries;
}

void checkSameFingerprint(const std::vector<FingerprintEntry>& stored, const std::vector<FingerprintEntry>& now,
                          const std::string& path) {
  const auto named = [](const std::vector<FingerprintEntry>& list, const std::string& name) {
    return std::find_if(list.begin(), list.end(), [&](const FingerprintEntry& e) { return e.name == name; });
  };
  const auto refuse = [&](const std::string& name, const std::string& then, const std::string& here) {
    throw std::invalid_argument("option \"restart=" + path + "\": " + name + " is " + then +
                                " in the checkpoint's run and " + here +
                                " in this one; a restart continues the same physics (max_step, the output and "
                                "checkpoint options, the solvers, their limits and tolerances and threads may change)");
  };
  for (const FingerprintEntry& e : stored) {
    const auto found = named(now, e.name);
    if (found == now.end())
      refuse(e.name, "\"" + e.value + "\"", "not given");
    else if (found->value != e.value) refuse(e.name, "\"" + e.value + "\"", "\"" + found->value + "\"");
  }
  for (const FingerprintEntry& e : now)
    if (named(stored, e.name) == stored.end()) refuse(e.name, "not given", "\"" + e.value + "\"");
}

}  // namespace plasmabox
