// The binary VTK files decoded with zlib and plain byte reads, against the
// values in memory (VTK's own reader reads them in tests/driver).
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "output/particleSnapshot.h"
#include "output/seriesFile.h"
#include "output/vtkImageBinary.h"
#include "particles/currentDensity.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

// The XML before the raw bytes, made well-formed.
pugi::xml_node headOf(pugi::xml_document& doc, const std::string& file) {
  EXPECT_TRUE(doc.load_string((file.substr(0, file.find("<AppendedData")) + "</VTKFile>").c_str()));
  return doc.child("VTKFile");
}

uint64_t u64(const std::string& s, std::size_t at) {
  uint64_t v = 0;
  std::memcpy(&v, s.data() + at, 8);
  return v;
}

// The values of the array at offset in the appended block; for compressed
// files each block is inflated on its own, with the sizes of VTK's header.
template <class T>
std::vector<T> arrayAt(const std::string& file, uint64_t offset, bool compressed) {
  const std::size_t at = file.find("<AppendedData encoding=\"raw\">\n_") + 31 + offset;
  std::string bytes = file.substr(at + 8, u64(file, at));
  if (compressed) {
    const uint64_t blocks = u64(file, at), block = u64(file, at + 8), last = u64(file, at + 16);
    bytes.clear();
    for (uint64_t b = 0, next = at + 24 + 8 * blocks; b < blocks; next += u64(file, at + 24 + 8 * b++)) {
      const uLong expected = b + 1 == blocks && last ? last : block;
      uLongf size = expected;
      std::string raw(size, '\0');
      EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &size, reinterpret_cast<const Bytef*>(&file[next]),
                           u64(file, at + 24 + 8 * b)), Z_OK);
      EXPECT_EQ(size, expected) << "block " << b;
      bytes += raw;
    }
  }
  std::vector<T> v(bytes.size() / sizeof(T));
  std::memcpy(v.data(), bytes.data(), v.size() * sizeof(T));
  return v;
}

TEST(VtkImageBinary, EveryArrayHoldsTheValuesInMemoryInVtkPointOrder) {
  World w(3, 4, 5);  // every value distinct, so that a transposition fault shows
  w.grid.setExtents({-0.5, 0.1, 1e-3}, {0.5, 0.7, 2e-3});  // spacing 2.5e-4 m: not a 6-digit number
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 2.6e-26, 1.6e-19, 1, w);
  species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, w);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 5; ++k) {
        const double n = i + 10 * j + 100 * k + 1.0 / 3.0;
        w.object_id(i, j, k) = i + 10 * j + 100 * k;
        w.phi(i, j, k) = n, w.rho(i, j, k) = -n * 1e-9, w.ef(i, j, k) = {n, -n, n * 1e5};
        species[1].vel(i, j, k) = {n * 1234567.123, 1, -n};
        species[1].den(i, j, k) = n * 1e10, species[1].den_prev(i, j, k) = n;
      }
  // The current densities are computed as they are written.
  std::vector<VectorField> j_of;
  for (const Species& s : species) {
    j_of.emplace_back(3, 4, 5);
    for (std::size_t q = 0; q < j_of.back().size(); ++q) j_of.back().data[q] = currentDensityAt(s, q);
  }
  const Field zero(3, 4, 5);
  const std::map<std::string, const Field*> scalars = {
      {"NodeVol", &w.grid.node_vol}, {"phi", &w.phi}, {"rho", &w.rho}, {"phi_m", &w.phi_m}, {"phi_m_theory", &zero}};
  const std::map<std::string, const VectorField*> vectors = {
      {"j.O+", &j_of[0]}, {"j.e-", &j_of[1]}, {"vel.O+", &species[0].vel}, {"vel.e-", &species[1].vel},
      {"ef", &w.ef}, {"B", &w.B}, {"H", &w.H}, {"M", &w.M}};
  std::map<std::string, std::vector<double>> expected;  // each array's values in VTK's point order
  std::vector<int32_t> ids;
  for (int p = 0; p < 60; ++p) {
    const int i = p % 3, j = p / 3 % 4, k = p / 12;  // i fastest
    ids.push_back(w.object_id(i, j, k));
    for (const auto& [name, f] : scalars) expected[name].push_back((*f)(i, j, k));
    for (const auto& [name, f] : vectors)
      for (int d = 0; d < 3; ++d) expected[name].push_back((*f)(i, j, k)[d]);
  }
  // 400 bytes: blocks of 4 planes of doubles (the last one partial), of 1 plane of vectors.
  const AppendedOptions cases[] = {{false, 1}, {true, 1}, {true, 1, 400}, {true, 3, 400}, {false, 1, 400}};
  std::map<int, std::string> compressed_by_threads;
  for (const AppendedOptions& c : cases) {
    std::stringstream s;
    ASSERT_TRUE(writeVtkImageBinary(s, w, species, c));
    const std::string file = s.str();
    if (c.compress && c.block_bytes == 400) compressed_by_threads[c.threads] = file;
    pugi::xml_document doc;
    const pugi::xml_node vtk = headOf(doc, file), image = vtk.child("ImageData");
    EXPECT_STREQ(vtk.attribute("header_type").value(), "UInt64");
    EXPECT_EQ(vtk.attribute("compressor").empty(), !c.compress);
    EXPECT_STREQ(image.child("Piece").attribute("Extent").value(), "0 2 0 3 0 4");
    double dh[3];
    std::istringstream(image.attribute("Spacing").value()) >> dh[0] >> dh[1] >> dh[2];
    EXPECT_TRUE(dh[0] == w.grid.dh.x && dh[1] == w.grid.dh.y && dh[2] == w.grid.dh.z);  // exact, not 6 digits
    EXPECT_EQ(file.substr(file.size() - 28), "\n</AppendedData>\n</VTKFile>\n");

    std::vector<std::string> names;
    for (const pugi::xml_node a : image.child("Piece").child("PointData").children("DataArray")) {
      const std::string name = names.emplace_back(a.attribute("Name").value());
      const uint64_t offset = a.attribute("offset").as_ullong();
      EXPECT_STREQ(a.attribute("type").value(), name == "object_id" ? "Int32" : "Float64");
      if (name == "object_id")
        EXPECT_EQ(arrayAt<int32_t>(file, offset, c.compress), ids);
      else
        EXPECT_EQ(arrayAt<double>(file, offset, c.compress), expected.at(name)) << name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"object_id", "NodeVol", "phi", "rho", "j.O+", "j.e-", "vel.O+", "vel.e-",
                                               "ef", "phi_m", "phi_m_theory", "B", "H", "M"}));
  }
  EXPECT_TRUE(compressed_by_threads.at(1) == compressed_by_threads.at(3));  // the same bytes for any team
}

TEST(ParticleSnapshot, HoldsAnEvenlySpacedSampleAsVertices) {
  const struct {
    std::size_t n, limit, stride, count;
  } samples[] = {{0, 5, 1, 0}, {1, 1, 1, 1}, {7, 100, 1, 7}, {10, 3, 4, 3}, {11, 5, 3, 4}, {100001, 100000, 2, 50001}};
  for (const auto& c : samples) {
    const ParticleSample s = sampleParticles(c.n, c.limit);
    EXPECT_TRUE(s.stride == c.stride && s.count == c.count) << c.n << " of " << c.limit << ": " << s.stride << " " << s.count;
  }
  World world(3, 3, 3);
  Species s("O+", 2.6e-26, 1.6e-19, 1, world);
  std::vector<double> pos, vel, weight;  // of the sample of 5 at most: stride 3, particles 0, 3, 6, 9
  for (int n = 0; n < 11; ++n) {
    const Particle p{Vec3{n * 0.1, 1.0 / 3, -n * 1e-7}, Vec3{n * 1e5, -1, 2}, 50.0 + n};
    s.particles.append(p);
    if (n % 3) continue;
    pos.insert(pos.end(), {p.pos.x, p.pos.y, p.pos.z}), vel.insert(vel.end(), {p.vel.x, p.vel.y, p.vel.z});
    weight.push_back(p.weight);
  }
  for (const bool compress : {false, true}) {
    const OutputSettings settings{.vtk_format = VtkFormat::BINARY, .vtk_compress = compress, .particles_sample = 5};
    std::stringstream out;
    ASSERT_TRUE(writeParticleSnapshot(out, s, settings, 48));  // 48 bytes: several blocks per array
    pugi::xml_document doc;
    const pugi::xml_node piece = headOf(doc, out.str()).child("PolyData").child("Piece");
    EXPECT_EQ(piece.attribute("NumberOfVerts").as_int(), 4);
    auto array = [&]<class T>(const char* parent, const char* name, T) {
      const pugi::xml_node a = piece.child(parent).find_child_by_attribute("DataArray", "Name", name);
      return arrayAt<T>(out.str(), a.attribute("offset").as_ullong(), compress);
    };
    EXPECT_EQ(array("Points", "Points", 0.0), pos);
    EXPECT_EQ(array("PointData", "velocity", 0.0), vel);
    EXPECT_EQ(array("PointData", "weight", 0.0), weight);
    EXPECT_EQ(array("Verts", "connectivity", int64_t{}), (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(array("Verts", "offsets", int64_t{}), (std::vector<int64_t>{1, 2, 3, 4}));
  }
}

TEST(SeriesFile, AFailedRewriteLeavesTheOldFileWhole) {
  const TempFolder dir("series_rewrite");
  std::filesystem::create_directories(dir.path / "series.pvd.tmp");  // a folder where the temporary file must go
  const std::string path = dir.write("series.pvd", "old");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(writeSeriesFile(path, {{1e-11, 0, "vti/00000.vti"}}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Could not open " + path + ".tmp\n");
  EXPECT_EQ(readWholeFile(path), "old");
  std::filesystem::remove(dir.path / "series.pvd.tmp");
  EXPECT_TRUE(writeSeriesFile(path, {{1e-11, 0, "vti/00000.vti"}}));
  EXPECT_EQ(readWholeFile(path), seriesText({{1e-11, 0, "vti/00000.vti"}}));
  EXPECT_FALSE(std::filesystem::exists(dir.path / "series.pvd.tmp"));
}

}  // namespace
