// The binary VTK files decoded here with zlib and plain byte reads, against
// the values in memory; python3-vtk reads the same files in
// tests/driver/test_output_files.cpp.
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "output/particleSnapshot.h"
#include "output/seriesFile.h"
#include "output/vtkImageBinary.h"

using namespace plasmabox;

namespace {

// The XML part of a file (everything before the raw bytes), made well-formed.
pugi::xml_document headOf(const std::string& file) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string((file.substr(0, file.find("<AppendedData")) + "</VTKFile>").c_str()));
  return doc;
}

uint64_t u64(const std::string& s, std::size_t at) {
  uint64_t v = 0;
  std::memcpy(&v, s.data() + at, 8);
  return v;
}

// The bytes of the array at offset in the appended block; for compressed
// files also checks VTK's block header against the blocks that follow.
std::string arrayBytes(const std::string& file, uint64_t offset, bool compressed) {
  const std::size_t at = file.find("<AppendedData encoding=\"raw\">\n_") + 31 + offset;
  if (!compressed) return file.substr(at + 8, u64(file, at));
  const uint64_t blocks = u64(file, at), block = u64(file, at + 8), last = u64(file, at + 16);
  std::string out;
  std::size_t next = at + 24 + 8 * blocks;
  for (uint64_t b = 0; b < blocks; ++b) {
    const uint64_t packed = u64(file, at + 24 + 8 * b);
    uLongf size = static_cast<uLongf>(b + 1 == blocks && last ? last : block);
    std::string raw(size, '\0');
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                         reinterpret_cast<const Bytef*>(file.data() + next), static_cast<uLong>(packed)), Z_OK);
    EXPECT_EQ(size, b + 1 == blocks && last ? last : block) << "block " << b;
    out += raw;
    next += packed;
  }
  return out;
}

template <class T>
std::vector<T> values(const std::string& bytes) {
  std::vector<T> v(bytes.size() / sizeof(T));
  std::memcpy(v.data(), bytes.data(), v.size() * sizeof(T));
  return v;
}

// 3 x 4 x 5 nodes, every value distinct, so that a transposition or
// ordering fault shows.
struct DistinctRun {
  World world{3, 4, 5};
  std::vector<Species> species;
  DistinctRun() {
    world.grid.setExtents({-0.5, 0.1, 1e-3}, {0.5, 0.7, 2e-3});  // spacings 0.5, 0.2, 2.5e-4: not 6-digit numbers
    species.reserve(2);
    species.emplace_back("O+", 2.6e-26, 1.6e-19, 1, world);
    species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, world);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 5; ++k) {
          const double n = i + 10 * j + 100 * k + 1.0 / 3.0;
          world.object_id(i, j, k) = i + 10 * j + 100 * k;
          world.phi(i, j, k) = n, world.rho(i, j, k) = -n * 1e-9, world.phi_m(i, j, k) = n / 7;
          world.ef(i, j, k) = {n, -n, n * 1e5}, world.B(i, j, k) = {1e-3 * n, 0, -n};
          species[1].vel(i, j, k) = {n * 1234567.123, 1, -n};
        }
  }
};

TEST(VtkImageBinary, EveryArrayHoldsTheValuesInMemoryInVtkPointOrder) {
  const struct {
    bool compress;
    int threads;
    std::size_t block_bytes;  // 400: a block of 4 planes of doubles (one partial) or 1 plane of vectors
  } cases[] = {{false, 1, APPENDED_BLOCK_BYTES}, {true, 1, APPENDED_BLOCK_BYTES}, {true, 1, 400}, {true, 3, 400},
               {false, 1, 400}};
  const DistinctRun run;
  const World& w = run.world;
  std::map<int, std::string> compressed_by_threads;  // the same bytes for any team
  const std::map<std::string, const Field*> scalars = {
      {"NodeVol", &w.grid.node_vol}, {"phi", &w.phi}, {"rho", &w.rho}, {"phi_m", &w.phi_m}, {"phi_m_theory", &w.phi_m_theory}};
  const std::map<std::string, const VectorField*> vectors = {
      {"j.O+", &run.species[0].j}, {"j.e-", &run.species[1].j}, {"vel.O+", &run.species[0].vel},
      {"vel.e-", &run.species[1].vel}, {"ef", &w.ef}, {"B", &w.B}, {"H", &w.H}, {"M", &w.M}};
  for (const auto& c : cases) {
    std::stringstream s;
    ASSERT_TRUE(writeVtkImageBinary(s, w, run.species, {c.compress, c.threads, c.block_bytes}));
    const std::string file = s.str();
    if (c.compress && c.block_bytes == 400) compressed_by_threads[c.threads] = file;
    const pugi::xml_document doc = headOf(file);
    const pugi::xml_node vtk = doc.child("VTKFile"), image = vtk.child("ImageData");
    EXPECT_STREQ(vtk.attribute("header_type").value(), "UInt64");
    EXPECT_STREQ(vtk.attribute("byte_order").value(), "LittleEndian");
    EXPECT_EQ(vtk.attribute("compressor").empty(), !c.compress);
    EXPECT_STREQ(image.attribute("WholeExtent").value(), "0 2 0 3 0 4");
    EXPECT_STREQ(image.child("Piece").attribute("Extent").value(), "0 2 0 3 0 4");
    std::istringstream spacing(image.attribute("Spacing").value()), origin(image.attribute("Origin").value());
    for (int d = 0; d < 3; ++d) {
      double sp = 0, o = 0;
      spacing >> sp, origin >> o;
      EXPECT_EQ(sp, w.grid.dh[d]);  // exact, not rounded
      EXPECT_EQ(o, w.grid.x0[d]);
    }
    EXPECT_EQ(file.substr(file.size() - 28), "\n</AppendedData>\n</VTKFile>\n");

    std::vector<std::string> names;
    for (const pugi::xml_node a : image.child("Piece").child("PointData").children("DataArray")) {
      const std::string name = a.attribute("Name").value();
      names.push_back(name);
      const std::string bytes = arrayBytes(file, a.attribute("offset").as_ullong(), c.compress);
      const int nc = a.attribute("NumberOfComponents").as_int();
      EXPECT_STREQ(a.attribute("type").value(), name == "object_id" ? "Int32" : "Float64");
      const std::vector<int32_t> ints = values<int32_t>(bytes);
      const std::vector<double> doubles = values<double>(bytes);
      ASSERT_EQ(bytes.size(), 60u * static_cast<std::size_t>(nc) * (name == "object_id" ? 4 : 8)) << name;
      for (int k = 0; k < 5; ++k)
        for (int j = 0; j < 4; ++j)
          for (int i = 0; i < 3; ++i) {
            const std::size_t p = static_cast<std::size_t>(i + 3 * (j + 4 * k));  // VTK's point order
            if (name == "object_id")
              ASSERT_EQ(ints[p], w.object_id(i, j, k));
            else if (nc == 1)
              ASSERT_EQ(doubles[p], scalars.at(name)->operator()(i, j, k)) << name;
            else
              for (int d = 0; d < 3; ++d) ASSERT_EQ(doubles[3 * p + d], vectors.at(name)->operator()(i, j, k)[d]) << name;
          }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"object_id", "NodeVol", "phi", "rho", "j.O+", "j.e-", "vel.O+", "vel.e-",
                                               "ef", "phi_m", "phi_m_theory", "B", "H", "M"}));
  }
  EXPECT_TRUE(compressed_by_threads.at(1) == compressed_by_threads.at(3));
}

TEST(ParticleSnapshot, SampleIsEvenlySpacedAndAtMostTheLimit) {
  const struct {
    std::size_t n, limit, stride, count;
  } cases[] = {{0, 5, 1, 0},       {1, 1, 1, 1},    {7, 100, 1, 7},  {10, 10, 1, 10}, {10, 3, 4, 3},
               {11, 5, 3, 4},      {12, 5, 3, 4},   {100000, 100000, 1, 100000}, {100001, 100000, 2, 50001}};
  for (const auto& c : cases) {
    const ParticleSample s = sampleParticles(c.n, c.limit);
    EXPECT_EQ(s.stride, c.stride) << c.n << " of " << c.limit;
    EXPECT_EQ(s.count, c.count) << c.n << " of " << c.limit;
  }
  EXPECT_EQ(particleFileName("run/vti", 40, "O+"), "run/vti/00040.O+.vtp");
  EXPECT_EQ(particleFileName("", 123456, "e-"), "123456.e-.vtp");
}

TEST(ParticleSnapshot, FileHoldsTheSampledParticlesAsVertices) {
  World world(3, 3, 3);
  Species s("O+", 2.6e-26, 1.6e-19, 1, world);
  for (int n = 0; n < 11; ++n) s.particles.push_back({{n * 0.1, 1.0 / 3, -n * 1e-7}, {n * 1e5, -1, 2}, 0, 50.0 + n});
  OutputSettings settings;
  settings.particles_sample = 5;  // stride 3: particles 0, 3, 6, 9
  for (const bool compress : {false, true}) {
    settings.vtk_format = VtkFormat::BINARY;
    settings.vtk_compress = compress;
    std::stringstream out;
    ASSERT_TRUE(writeParticleSnapshot(out, s, settings, 48));  // 48 bytes: several blocks per array
    const std::string file = out.str();
    const pugi::xml_node piece = headOf(file).child("VTKFile").child("PolyData").child("Piece");
    EXPECT_EQ(piece.attribute("NumberOfPoints").as_int(), 4);
    EXPECT_EQ(piece.attribute("NumberOfVerts").as_int(), 4);
    auto array = [&](const char* parent, const char* name) {
      return arrayBytes(file, piece.child(parent).find_child_by_attribute("DataArray", "Name", name).attribute("offset").as_ullong(), compress);
    };
    const std::vector<double> pos = values<double>(array("Points", "Points")), vel = values<double>(array("PointData", "velocity"));
    const std::vector<double> weight = values<double>(array("PointData", "weight"));
    ASSERT_EQ(pos.size(), 12u);
    for (int q = 0; q < 4; ++q) {
      const Particle& p = s.particles[3 * q];
      for (int d = 0; d < 3; ++d) {
        EXPECT_EQ(pos[3 * q + d], p.pos[d]);
        EXPECT_EQ(vel[3 * q + d], p.vel[d]);
      }
      EXPECT_EQ(weight[q], p.weight);
    }
    EXPECT_EQ(values<int64_t>(array("Verts", "connectivity")), (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(values<int64_t>(array("Verts", "offsets")), (std::vector<int64_t>{1, 2, 3, 4}));
  }
  settings.vtk_format = VtkFormat::ASCII, settings.vtk_compress = false;
  std::stringstream text;
  writeParticleSnapshot(text, s, settings);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(text.str().c_str()));
  const pugi::xml_node points = doc.child("VTKFile").child("PolyData").child("Piece").child("Points").child("DataArray");
  EXPECT_STREQ(points.attribute("format").value(), "ascii");
  std::istringstream numbers(points.text().get());
  double v[12];
  for (double& x : v) numbers >> x;
  EXPECT_EQ(v[4], 1.0 / 3);  // full precision in text too
  EXPECT_EQ(v[11], -9e-7);
}

TEST(SeriesFile, ListsEveryEntryWithItsExactTime) {
  std::vector<SeriesEntry> entries;
  double t = 0;
  for (int ts = 0; ts < 3; ++ts) {
    t += 1e-11;  // accumulated like the run's time: not a short decimal
    entries.push_back({t, 0, "vti/0000" + std::to_string(ts) + ".vti"});
    entries.push_back({t, 1, "vti/0000" + std::to_string(ts) + ".a&\"b.vtp"});
  }
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(seriesText(entries).c_str()));
  std::size_t n = 0;
  for (const pugi::xml_node d : doc.child("VTKFile").child("Collection").children("DataSet")) {
    ASSERT_LT(n, entries.size());
    EXPECT_EQ(d.attribute("timestep").as_double(), entries[n].time);
    EXPECT_EQ(d.attribute("part").as_int(), entries[n].part);
    EXPECT_EQ(d.attribute("file").value(), entries[n++].file);
  }
  EXPECT_EQ(n, entries.size());
  EXPECT_STREQ(doc.child("VTKFile").attribute("type").value(), "Collection");
}

TEST(SeriesFile, AFailedRewriteLeavesTheOldFileWhole) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "plasmabox_series_rewrite";
  fs::remove_all(dir);
  fs::create_directories(dir / "series.pvd.tmp");  // a folder where the temporary file must go
  const std::string path = (dir / "series.pvd").string();
  std::ofstream(path) << "old";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(writeSeriesFile(path, {{1e-11, 0, "vti/00000.vti"}}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Could not open " + path + ".tmp\n");
  std::stringstream old;
  old << std::ifstream(path).rdbuf();
  EXPECT_EQ(old.str(), "old");

  fs::remove(dir / "series.pvd.tmp");
  EXPECT_TRUE(writeSeriesFile(path, {{1e-11, 0, "vti/00000.vti"}}));
  std::stringstream now;
  now << std::ifstream(path).rdbuf();
  EXPECT_EQ(now.str(), seriesText({{1e-11, 0, "vti/00000.vti"}}));
  EXPECT_FALSE(fs::exists(dir / "series.pvd.tmp"));
  fs::remove_all(dir);
}

}  // namespace
