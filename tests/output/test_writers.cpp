// The output writers: history rows against values worked out by hand, a disk
// that fills mid-row, density files, the run's file names, binary VTK files, numbers.
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "output/BlockWriter.h"
#include "output/historyFile.h"
#include "output/historyRow.h"
#include "output/particleSnapshot.h"
#include "output/runFiles.h"
#include "output/runOutput.h"
#include "output/seriesFile.h"
#include "output/stepOutput.h"
#include "output/vtkImageBinary.h"
#include "particles/currentDensity.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

TEST(HistoryRow, KineticAndFieldEnergiesOfKnownParticlesAndAUniformField) {
  World world(5, 4, 3);
  world.grid.setExtents({0, 0, 0}, {0.02, 0.03, 0.04});  // m: a box of 2.4e-5 m^3
  for (Vec3& e : world.ef.data) e = {300.0, 0.0, -400.0};  // V/m: |E| = 500 everywhere
  world.phi(1, 2, 0) = -3.5, world.phi(4, 0, 2) = 12.0;
  world.ts = 7, world.time = 8e-9;
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 16 * AMU, QE, 50, world);
  species.emplace_back("e-", ME, -QE, 50, world);
  const std::vector<Particle> ion_list = {{{0.01, 0.01, 0.01}, {0.0, 2e4, 0.0}, 50.0}};
  const std::vector<Particle> electron_list = {{{0.01, 0.01, 0.01}, {3e5, 4e5, 0.0}, 50.0},
                                           {{0.01, 0.02, 0.03}, {0.0, 0.0, -1e6}, 20.0}};
  species[0].particles.assign(ion_list);
  species[1].particles.assign(electron_list);
  const HistoryRow row = measureHistoryRow(world, species, {{3, 1}, {0, 2}}, {true, 12, 0.5}, {1e-6, -2e-6});

  EXPECT_EQ(row.step, 7);
  EXPECT_EQ(row.time, 8e-9);
  ASSERT_EQ(row.species.size(), 2u);
  EXPECT_EQ(row.species[0].count, 1u);
  EXPECT_EQ(row.species[1].count, 2u);
  EXPECT_TRUE(row.species[0].injected == 3 && row.species[0].lost == 1 && row.species[1].lost == 2);
  // 1/2 m v^2 for each real particle, times the real particles per macro-particle.
  EXPECT_NEAR(row.species[0].kinetic, 0.5 * 16 * 1.660538921e-27 * 4e8 * 50, 1e-12 * row.species[0].kinetic);
  const double electrons = 0.5 * 9.10938215e-31 * (2.5e11 * 50 + 1e12 * 20);  // J
  EXPECT_NEAR(row.species[1].kinetic, electrons, 1e-12 * electrons);
  // eps0 / 2 |E|^2 over the box's volume.
  const double field = 0.5 * 8.85418782e-12 * 250000.0 * 2.4e-5;  // J
  EXPECT_NEAR(row.field_energy, field, 1e-12 * field);
  EXPECT_EQ(row.phi_min, -3.5);
  EXPECT_EQ(row.phi_max, 12.0);
  EXPECT_TRUE(row.solved && row.solve_iterations == 12 && row.solve_residual == 0.5);
  EXPECT_EQ(row.currents, (std::vector<double>{1e-6, -2e-6}));
}

// Bytes the disk still takes; beyond them a write fails as on a full disk.
std::size_t room = 0;

ssize_t fillingDisk(int fd, const void* data, std::size_t size) {
  if (room == 0) {
    errno = ENOSPC;
    return -1;
  }
  const ssize_t n = ::write(fd, data, std::min(size, room));
  if (n > 0) room -= static_cast<std::size_t>(n);
  return n;
}

HistoryRow rowOf(int32_t step) {
  HistoryRow row;
  row.step = step;
  row.time = 1e-11 * (step + 1);
  row.species = {{100u + static_cast<std::size_t>(step), 2.5e-17, 4, 1}};
  row.currents = {-3e-6};
  row.extra = {12.5};
  return row;
}

TEST(HistoryFile, AFullDiskLeavesTheFileEndingWithAWholeRow) {
  const TempFolder dir("history_full");
  const std::string path = dir.file("history.csv");
  const std::string header = "step,time_s,e-_count,e-_kinetic_J,field_energy_J,phi_min_V,phi_max_V,solve_iterations,"
                             "solve_residual,current_plate_A,e-_injected,e-_lost,plate_V\n";
  const std::string rows[] = {"0,1e-11,100,2.5e-17,0,0,0,,,-3e-06,4,1,12.5\n",
                              "1,2e-11,101,2.5e-17,0,0,0,,,-3e-06,4,1,12.5\n",
                              "2,3e-11,102,2.5e-17,0,0,0,,,-3e-06,4,1,12.5\n"};
  const std::size_t row = rows[0].size();
  const struct {
    std::size_t room;  // bytes the disk takes
    int whole;         // rows that fit whole
  } cases[] = {
      {header.size() + 3 * row, 3},      // everything fits: no report
      {header.size(), 0},                // full before the first row
      {header.size() + 7, 0},            // full inside the first row
      {header.size() + row, 1},          // full exactly after a row
      {header.size() + 2 * row - 1, 1},  // one byte short of the second row's end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.room);
    room = c.room;
    testing::internal::CaptureStderr();
    {
      HistoryFile file = openHistoryFile(path, {"e-"}, {"plate"}, {"plate_V"}, fillingDisk);
      for (int32_t step = 0; step < 3; ++step) {
        writeHistoryRow(file, rowOf(step));
        // Room again after the failure: still no row, which would leave a gap in the steps.
        if (file.fd < 0) room = std::numeric_limits<std::size_t>::max();
      }
    }
    const std::string err = testing::internal::GetCapturedStderr();
    std::string expected = header;
    for (int r = 0; r < c.whole; ++r) expected += rows[r];
    EXPECT_EQ(readWholeFile(path), expected);
    EXPECT_EQ(err, c.whole < 3 ? "Could not write " + path + "\n" : "");
  }
  room = 10;  // not even the header
  EXPECT_THROW(openHistoryFile(path, {"e-"}, {"plate"}, {"plate_V"}, fillingDisk), std::runtime_error);
}

TEST(WriteOutput, DensityFilesGetHeaderAndTheirSpecies) {
  const TempFolder dir("step_output_csv");
  World world(2, 1, 2);
  world.grid.setExtents({0, 0, 0}, {1, 1, 1});
  world.ts = 3;
  std::vector<Species> species;
  species.reserve(4);
  for (const char* name : {"O+", "e-", "X", "hot e-"}) species.emplace_back(name, 1.0, 1.0, 1, world);
  species[0].den(1, 0, 1) = 5e15, species[1].den(0, 0, 0) = 2, species[2].den(1, 0, 0) = -1;
  species[3].den(0, 0, 1) = 0.5;  // "X" shares the ion file, "hot e-" the electron file
  const std::string o = dir.file("output_O_3.csv"), e = dir.file("output_e_3.csv");
  writeOutputFiles(world, species, {o, o, e, o, e}, OutputSettings{});
  EXPECT_EQ(readWholeFile(dir.file("output_O_3.csv")),
            "x,y,z,data\n0,0,0,0\n1,0,0,0\n\n0,0,1,0\n1,0,1,5e+15\n\n\n0,0,0,0\n1,0,0,-1\n\n0,0,1,0\n1,0,1,0\n\n\n");
  EXPECT_EQ(readWholeFile(dir.file("output_e_3.csv")),
            "x,y,z,data\n0,0,0,2\n1,0,0,0\n\n0,0,1,0\n1,0,1,0\n\n\n0,0,0,0\n1,0,0,0\n\n0,0,1,0.5\n1,0,1,0\n\n\n");
}

// A path matched as a file, not as a string, against every step's output names.
namespace fs = std::filesystem;

TEST(RunFiles, APathIsMatchedAsAFileAgainstEveryStepsNames) {
  const TempFolder dir("run_files");
  const std::string at = dir.path.string() + "/";
  fs::create_directories(dir.path / "sub");
  fs::create_directories(dir.path / "vti");
  dir.write("output_e_0.csv", "x,y,z,data\n");                                // a file of an earlier run
  fs::create_hard_link(dir.path / "output_e_0.csv", dir.path / "hard.csv");
  fs::create_symlink("output_O_20.csv", dir.path / "link.csv");               // its target is not there yet
  fs::create_symlink("../mine.csv", dir.path / "vti" / "00080.vti");         // writing the image writes mine.csv
  OutputSettings s;
  s.particles_every = 30;
  s.series = true;
  const std::vector<WrittenFiles> files = runOutputFiles(s, at, -20, 100, {"O+", "e-"}, 1);
  const std::pair<const char*, const char*> cases[] = {
      {"output_O_40.csv", "the ion density CSV file of step 40 ("},
      {"output_e_100.csv", "the electron density CSV file of step 100 ("},
      {"output_O_50.csv", ""},   // not an output step
      {"output_O_120.csv", ""},  // past the last step
      {"output_O_040.csv", ""},  // not the writer's spelling of 40
      {"vti/00060.vti", "the VTK image of step 60 ("},
      {"vti/00090.O+.vtp", "the O+ particle file of step 90 ("},
      {"vti/00100.e-.vtp", ""},  // 100 is no multiple of 30
      {"series.pvd", "the series file ("},
      {"series.pvd.tmp", "the series file's temporary copy ("},
      {"history.csv", ""},
      {"sub/../output_O_0.csv", "the ion density CSV file of step 0 ("},
      {"sub/./../vti/../vti/00000.vti", "the VTK image of step 0 ("},
      {"link.csv", "the ion density CSV file of step 20 ("},
      {"hard.csv", "the electron density CSV file of step 0 ("},
      {"mine.csv", "the VTK image of step 80 ("},
      {"sub", ""},
  };
  for (const auto& [path, expected] : cases) {
    const std::string found = writtenFileAt(files, at + path);
    EXPECT_EQ(found.substr(0, std::string(expected).size()), expected) << path << ": " << found;
    EXPECT_EQ(found.empty(), *expected == '\0') << path << ": " << found;
  }
  // The working folder: a relative path and an absolute one lead to the same file.
  const fs::path here = fs::current_path();
  fs::current_path(dir.path / "sub");
  const std::string found = writtenFileAt(runOutputFiles(s, "../", 20, 100, {"O+", "e-"}, 1), at + "output_e_60.csv");
  fs::current_path(here);
  EXPECT_EQ(found, "the electron density CSV file of step 60 (../output_e_60.csv)");
}

// The binary VTK files decoded with zlib and plain byte reads against the values
// in memory (VTK's own reader reads them in tests/driver).
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

// The values of the array at offset in the appended block, each block inflated on its own.
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

std::string viaPrintf(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// The files must read the same as printf "%g" (and so a default stream) would write them.
void expectPrintfText(double v) {
  char buf[MAX_NUMBER_CHARS];
  ASSERT_EQ(std::string(buf, formatNumber(buf, v)), viaPrintf(v)) << "bits of " << v;
}

TEST(FormatNumber, MatchesPrintfOnBoundaryRandomAndMidpointValues) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {0.0, -0.0, 5e15, 1e-4, 9.99995e-5, 0.0001234565, 1e-5, 99999.5, 999999.5, 1e6, 1234565.0,
                   -1.7976931348623157e308, 4.9e-324, inf, -inf, nan, -nan, 0.1 + 0.2, 9.9999949999, 1.000005})
    expectPrintfText(v);
  std::mt19937_64 gen(2024);
  for (int n = 0; n < 30000; ++n) {  // every kind of double, subnormals and NaN payloads included
    const uint64_t bits = gen();
    double v;
    expectPrintfText((std::memcpy(&v, &bits, sizeof v), v));
  }
  // Near the 6-digit rounding midpoints, where a one-ulp error changes the text.
  std::uniform_int_distribution<int> digits(100000, 999999), exponent(-30, 30);
  for (int n = 0; n < 20000; ++n) {
    const double v = (digits(gen) + 0.5) * std::pow(10.0, exponent(gen));
    for (double w : {v, -std::nextafter(v, 0.0), std::nextafter(v, 1e308)}) expectPrintfText(w);
  }
}

}  // namespace
