// The checkpoint file read back value for value on its processes and whole on
// one; refusals; names and clean-up; the continued history file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/Decomposition.h"
#include "mesh/messagePassing.h"
#include "output/Checkpoint.h"
#include "output/checkpointFiles.h"
#include "output/hdf5File.h"
#include "output/historyFile.h"
#include "support/run_program.h"
#include "support/shared_folder.h"

namespace plasmabox {
namespace {

namespace fs = std::filesystem;

constexpr int32_t NI = 7, NJ = 3, NK = 4;

// A value of global node (i, j, k) no other node has.
double nodeValue(int32_t i, int32_t j, int32_t k) { return i + 10.0 * j + 100.0 * k + 1.0 / 3.0; }

// Particle q of species s on process r; process 0 of several has no electron.
int64_t particlesOn(int s, int r, int size) { return s == 1 && r == 0 && size > 1 ? 0 : 5 + 3 * r + s; }
Particle particle(int s, int r, int q) {
  const double v = s * 1000.0 + r * 100.0 + q;
  return {{v, -v, 0.5 * v}, {1e3 * v, 0, -1e-3 * v}, 50.0 + s};
}

// This process's record: every value from its global node or its own rank.
Checkpoint recordOf(const Decomposition& part) {
  Checkpoint c;
  c.step = 41, c.time = 4.2000000000000005e-10, c.processes = part.size, c.seed = 4000000000u;
  c.fingerprint = {{"argument 1 (ni)", "7"}, {"option dt", "dt=1e-11"}};
  c.command_line = {"7", "3", "4", "scene one.amf"};
  const int32_t planes = part.localCount();
  c.phi = Field(planes, NJ, NK), c.ef = VectorField(planes, NJ, NK), c.B = VectorField(planes, NJ, NK);
  for (const char* name : {"O+", "e-"}) {
    SpeciesState& s = c.species.emplace_back();
    s.name = name;
    s.den = Field(planes, NJ, NK);
    const int q = static_cast<int>(c.species.size()) - 1;
    for (int n = 0; n < particlesOn(q, part.rank, part.size); ++n) s.particles.push_back(particle(q, part.rank, n));
    for (int n = 0; n <= part.rank + q; ++n) s.bin_counts.push_back(static_cast<uint32_t>(7 * n + part.rank));
  }
  for (int32_t i = 0; i < planes; ++i)
    for (int32_t j = 0; j < NJ; ++j)
      for (int32_t k = 0; k < NK; ++k) {
        const double v = nodeValue(part.localBegin() + i, j, k);
        c.phi(i, j, k) = v, c.ef(i, j, k) = {v, -v, 1e5 * v}, c.B(i, j, k) = {1e-7 * v, 0, 1};
        c.species[0].den(i, j, k) = 1e12 * v, c.species[1].den(i, j, k) = 2e12 * v;
      }
  for (uint32_t n = 0; n < 625; ++n) c.random_state.push_back(n * 2654435761u + static_cast<uint32_t>(part.rank));
  c.series = {{1e-11, 0, "vti/00000.vti"}, {1e-11, 1, "vti/00000.O+.vtp"}, {4.2e-10, 0, "vti/00041.vti"}};
  c.conductor_names = {"sphere", "probe", "grid"};
  c.conductor_charge = {-1e-12, 2e-13, 0.0}, c.conductor_potential = {-3.5, 1.5, 0.25};
  c.group_charge = {-8e-13}, c.group_potential = {-3.5}, c.group_slope = {1.1e-12};
  return c;
}

// Bit for bit (a NaN equals itself); empty lists are equal.
bool sameParticles(const std::vector<Particle>& a, const std::vector<Particle>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Particle)) == 0);
}

template <class T>
void expectSameField(const NodeField<T>& a, const NodeField<T>& b, const char* what) {
  EXPECT_EQ(a.ni, b.ni) << what;
  EXPECT_TRUE(a.data == b.data) << what;
}

TEST(CheckpointFile, ARecordReadsBackValueForValueOnItsProcessesAndWholeOnOne) {
  const ProcessPlace place = joinProcesses();
  const Decomposition part = place.size > 1 ? splitIntoSlabs(NI, place.rank, place.size) : wholeMesh(NI);
  const SharedFolder shared("checkpoint_file");
  const std::string path = (shared.path / "00041.h5").string();
  const Checkpoint written = recordOf(part);
  writeCheckpoint(path, part, written);

  const Checkpoint back = readCheckpoint(path, part, NJ, NK);
  EXPECT_EQ(back.step, 41);
  EXPECT_EQ(back.time, written.time);
  EXPECT_EQ(back.processes, part.size);
  EXPECT_EQ(back.seed, written.seed);
  ASSERT_EQ(back.fingerprint.size(), 2u);
  EXPECT_EQ(back.fingerprint[1].value, "dt=1e-11");
  EXPECT_EQ(back.command_line, written.command_line);
  EXPECT_EQ(back.random_state, written.random_state);
  expectSameField(back.phi, written.phi, "phi");
  expectSameField(back.ef, written.ef, "ef");
  expectSameField(back.B, written.B, "B");
  ASSERT_EQ(back.species.size(), 2u);
  for (std::size_t q = 0; q < 2; ++q) {
    EXPECT_EQ(back.species[q].name, written.species[q].name);
    EXPECT_TRUE(sameParticles(back.species[q].particles, written.species[q].particles)) << q;
    EXPECT_EQ(back.species[q].bin_counts, written.species[q].bin_counts) << q;
    expectSameField(back.species[q].den, written.species[q].den, "den");
  }
  EXPECT_EQ(back.conductor_names, written.conductor_names);
  EXPECT_EQ(back.conductor_potential, written.conductor_potential);
  EXPECT_EQ(back.conductor_charge, written.conductor_charge);
  EXPECT_EQ(back.group_slope, written.group_slope);
  ASSERT_EQ(back.series.size(), 3u);
  EXPECT_EQ(back.series[2].file, "vti/00041.vti");
  EXPECT_EQ(back.series[2].time, 4.2e-10);

  // Read by one process: the whole mesh, every particle in process order; no
  // generator or tile ranges from several writers.
  const Checkpoint whole = readCheckpoint(path, wholeMesh(NI), NJ, NK);
  ASSERT_EQ(whole.phi.ni, NI);
  for (int32_t i = 0; i < NI; ++i) EXPECT_EQ(whole.ef(i, 2, 3).y, -nodeValue(i, 2, 3)) << i;
  for (std::size_t q = 0; q < 2; ++q) {
    std::vector<Particle> all;
    for (int r = 0; r < part.size; ++r)
      for (int n = 0; n < particlesOn(static_cast<int>(q), r, part.size); ++n) all.push_back(particle(static_cast<int>(q), r, n));
    EXPECT_TRUE(sameParticles(whole.species[q].particles, all)) << q;
    EXPECT_EQ(whole.species[q].bin_counts.empty(), part.distributed());
  }
  EXPECT_EQ(whole.random_state.empty(), part.distributed());
}

TEST(CheckpointFile, FilesThatAreNoCheckpointOfThisMeshAreRefusedByName) {
  const TempFolder d("refused");
  const std::string good = d.file("00041.h5");
  writeCheckpoint(good, wholeMesh(NI), recordOf(wholeMesh(NI)));
  {
    Hdf5File other(d.file("other.h5"), Hdf5File::Mode::CREATE, Decomposition{});
    const double v = 1;
    writeRows(other, "phi", {1}, 0, 1, &v);
    other.close();
  }
  const std::string bytes = readWholeFile(good);
  d.write("cut.h5", bytes.substr(0, bytes.size() / 2));
  struct Case {
    std::string path;
    int32_t nj;
    const char* message;
  };
  const std::vector<Case> cases = {
      {good, NJ + 1, "the array \"fields/phi\" is 7 x 3 x 4, while the mesh of this run gives 7 x 4 x 4"},
      {d.file("other.h5"), NJ, "not a checkpoint of this program"},
      {d.file("cut.h5"), NJ, "cut.h5"},
      {d.file("missing.h5"), NJ, "missing.h5\": cannot be opened"},
  };
  for (const Case& c : cases) {
    try {
      readCheckpoint(c.path, wholeMesh(NI), c.nj, NK);
      ADD_FAILURE() << c.path << " was read";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
    }
  }
}

TEST(CheckpointFiles, NamesBesideTheCsvFilesAndTheNewestKept) {
  EXPECT_EQ(checkpointFileName("run/a_", 400), "run/checkpoint/00400.h5");
  EXPECT_EQ(checkpointFileName("", 123456), "checkpoint/123456.h5");
  for (const int keep : {2, 0}) {
    const TempFolder d("prune");
    for (const char* name : {"00002.h5", "00004.h5", "00006.h5", "00008.h5", "00010.h5", "00005.h5.tmp",
                             "00012.h5.tmp", "notes.txt", "7.h5x"})
      d.write(name, "x");
    pruneCheckpoints(d.file("00008.h5"), keep);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(d.path)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::vector<std::string> expected =
        keep == 2 ? std::vector<std::string>{"00006.h5", "00008.h5", "00010.h5", "00012.h5.tmp", "7.h5x", "notes.txt"}
                  : std::vector<std::string>{"00002.h5", "00004.h5", "00006.h5", "00008.h5", "00010.h5",
                                             "00012.h5.tmp", "7.h5x", "notes.txt"};
    EXPECT_EQ(left, expected) << "keep " << keep;
  }
}

TEST(HistoryFile, AContinuedRunKeepsTheRowsUpToItsCheckpoint) {
  const TempFolder d("history");
  const std::string path = d.file("history.csv");
  const auto row = [](int32_t step) {
    HistoryRow r;
    r.step = step, r.time = step * 1e-11, r.species.resize(1), r.currents = {0.0}, r.extra = {-2.5};
    return r;
  };
  HistoryFile f = openHistoryFile(path, {"O+"}, {"Body"}, {"potential_sphere_V"});
  for (int32_t step = 0; step <= 5; ++step) writeHistoryRow(f, row(step));
  f = HistoryFile{};  // closes it
  std::ofstream(path, std::ios::app) << "6,7e-11,3";  // a row cut off by a crash

  HistoryFile continued = continueHistoryFile(path, {"O+"}, {"Body"}, {"potential_sphere_V"}, 3);
  writeHistoryRow(continued, row(4));
  continued = HistoryFile{};
  const std::vector<std::vector<std::string>> rows = readCsv(path);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].back(), "potential_sphere_V");
  for (std::size_t r = 1; r < rows.size(); ++r) EXPECT_EQ(rows[r][0], std::to_string(r == 5 ? 4 : r - 1));
  // Another run's columns: refused, the file left as it was.
  EXPECT_THROW(continueHistoryFile(path, {"O+"}, {"Body"}, {}, 3), std::runtime_error);
  EXPECT_EQ(readCsv(path).size(), 6u);
}

}  // namespace
}  // namespace plasmabox
