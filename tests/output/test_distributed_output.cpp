// A distributed run's files equal one process's of the same values, byte for
// byte; the vtk_parallel pieces read back by VTK as the whole mesh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "mesh/Decomposition.h"
#include "mesh/World.h"
#include "mesh/messagePassing.h"
#include "output/imagePieces.h"
#include "output/runOutput.h"
#include "support/python_vtk.h"
#include "support/run_program.h"
#include "support/shared_folder.h"

namespace plasmabox {
namespace {

namespace fs = std::filesystem;

constexpr int32_t NI = 7, NJ = 3, NK = 4;
const Vec3 X0{-0.5, 0.1, 1e-3}, XM{0.5, 0.7, 2e-3};

// Rank-dependent particle counts, no electron on process 0 of several.
int64_t particlesOn(int s, int r, int size) {
  if (s == 1) return r == 0 && size > 1 ? 0 : 7;
  return 4 + 7 * r;
}

// Every value a function of the global node and particle index; ghost planes
// hold garbage that must never be written.
struct Scene {
  World world;
  std::vector<Species> species;

  explicit Scene(const Decomposition& part) : world(part, NJ, NK) {
    world.grid.setExtents(X0, XM);
    world.ts = 40;
    world.time = 4e-10;
    species.reserve(2);
    species.emplace_back("O+", 2.6e-26, 1.6e-19, 1, world);
    species.emplace_back("e-", 9.1e-31, -1.6e-19, 1, world);
    const Grid& g = world.grid;
    for (int i = 0; i < g.ni; ++i)
      for (int j = 0; j < NJ; ++j)
        for (int k = 0; k < NK; ++k) {
          const bool owned = i >= g.ownedBegin() && i < g.ownedEnd();
          const double n = owned ? (g.i0 + i) + 10.0 * j + 100.0 * k + 1.0 / 3.0 : 1e300;
          world.object_id(i, j, k) = owned ? static_cast<int32_t>(n) % 2 : -7;
          world.phi(i, j, k) = n, world.rho(i, j, k) = -n * 1e-9, world.phi_m(i, j, k) = n / 7;
          world.ef(i, j, k) = {n, -n, n * 1e5}, world.B(i, j, k) = {n * 1e-7, 0, 1}, world.H(i, j, k) = {0, n, 2};
          world.M(i, j, k) = {n > 200 ? 1e6 : 0.0, 0, 0};
          for (std::size_t s = 0; s < 2; ++s) {
            species[s].den(i, j, k) = n * 1e10 * (s + 1), species[s].den_prev(i, j, k) = n * 1e9;
            species[s].vel(i, j, k) = {n * 1234567.123, 1.0 + s, -n};
          }
        }
    for (int s = 0; s < 2; ++s) {
      int64_t first = 0;
      for (int r = 0; r < part.rank; ++r) first += particlesOn(s, r, part.size);
      for (int64_t p = first; p < first + particlesOn(s, part.rank, part.size); ++p) {
        const double x = static_cast<double>(p) + 0.1 * s;
        species[static_cast<std::size_t>(s)].particles.append(
            {{x * 1e-3, 0.2, 1.5e-3}, {x * 1e4, -x, 3.0}, 50.0 + x});
      }
    }
  }
};

// The same totals of particles on one process as on all of part together.
int64_t totalParticles(int s, int size) {
  int64_t n = 0;
  for (int r = 0; r < size; ++r) n += particlesOn(s, r, size);
  return n;
}

// Every file under dir, by relative name, with its bytes.
std::vector<std::pair<std::string, std::string>> filesIn(const fs::path& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), dir).generic_string(), readWholeFile(e.path()));
  std::sort(files.begin(), files.end());
  return files;
}

struct Case {
  const char* name;
  VtkFormat format;
  bool compress;
  int32_t sample;           // particles_sample
  std::size_t block_bytes;  // small, so that blocks and gathered runs of planes cross process borders
};

OutputSettings settingsOf(const Case& c) {
  OutputSettings s;
  s.vtk_format = c.format, s.vtk_compress = c.compress, s.series = true;
  s.particles_every = 20, s.particles_sample = c.sample, s.threads = 2, s.block_bytes = c.block_bytes;
  return s;
}

TEST(DistributedOutput, EveryFileIsTheOneProcessFileOfTheSameValues) {
  const ProcessPlace p = joinProcesses();
  for (const Case& c :
       {Case{"ascii", VtkFormat::ASCII, false, 100000, 400}, Case{"binary", VtkFormat::BINARY, false, 4, 1000},
        Case{"compressed", VtkFormat::BINARY, true, 6, 100}}) {
    const SharedFolder shared(std::string("distributed_") + c.name);
    Scene slab(splitIntoSlabs(NI, p.rank, p.size));
    RunOutput out{settingsOf(c), (shared.path / "run" / "").string(), 20, {}};
    writeStepOutput(out, slab.world, slab.species);
    if (p.rank != 0) continue;

    const TempFolder single(std::string("single_") + c.name);
    Scene whole(wholeMesh(NI));
    // The one process holds every process's particles, in rank order.
    for (int s = 0; s < 2; ++s) {
      whole.species[static_cast<std::size_t>(s)].particles.clear();
      for (int r = 0; r < p.size; ++r) {
        const Scene from(splitIntoSlabs(NI, r, p.size));
        from.species[static_cast<std::size_t>(s)].particles.forEach(
            [&](const Particle& q) { whole.species[static_cast<std::size_t>(s)].particles.append(q); });
      }
      EXPECT_EQ(static_cast<int64_t>(whole.species[static_cast<std::size_t>(s)].particles.size()),
                totalParticles(s, p.size));
    }
    RunOutput reference{settingsOf(c), (single.path / "run" / "").string(), 20, {}};
    writeStepOutput(reference, whole.world, whole.species);

    const auto expected = filesIn(single.path), written = filesIn(shared.path);
    // Every process goes on to the next case whatever happens here: no ASSERT.
    EXPECT_EQ(expected.size(), 6u) << c.name;  // image, two CSV, two particle files, series
    EXPECT_EQ(written.size(), expected.size()) << c.name;
    for (std::size_t n = 0; n < std::min(expected.size(), written.size()); ++n) {
      EXPECT_EQ(written[n].first, expected[n].first) << c.name;
      EXPECT_TRUE(written[n].second == expected[n].second) << c.name << ": " << written[n].first << " differs";
    }
  }
}

// The pieces of vtk_parallel, joined by VTK's own reader, are the whole mesh's image.
TEST(DistributedOutput, PiecesReadBackAsTheWholeImage) {
  const ProcessPlace p = joinProcesses();
  const std::string python = pythonWithVtk();
  const bool have_vtk = !python.empty();
  for (const bool compress : {false, true}) {
    const SharedFolder shared(compress ? "pieces_compressed" : "pieces");
    Case c{"pieces", VtkFormat::BINARY, compress, 100000, 200};
    OutputSettings settings = settingsOf(c);
    settings.vtk_parallel = true;
    Scene slab(splitIntoSlabs(NI, p.rank, p.size));
    RunOutput out{settings, (shared.path / "").string(), 20, {}};
    writeStepOutput(out, slab.world, slab.species);
    if (p.rank != 0) continue;

    for (int r = 0; r < p.size; ++r)
      EXPECT_TRUE(fs::exists(shared.path / "vti" / ("00040." + std::to_string(r) + ".vti")));
    EXPECT_NE(readWholeFile((shared.path / "series.pvd").string()).find("file=\"vti/00040.pvti\""), std::string::npos);

    const TempFolder single(compress ? "whole_compressed" : "whole");
    Scene whole(wholeMesh(NI));
    RunOutput reference{
        settingsOf({"whole", VtkFormat::BINARY, false, 100000, 200}), (single.path / "").string(), 20, {}};
    writeStepOutput(reference, whole.world, whole.species);

    if (!have_vtk) continue;
    const std::string script = std::string(PLASMABOX_SOURCE_DIR) + "/tests/output/pieces_readback.py";
    const std::string command = python + " " + script + " " + (shared.path / "vti/00040.pvti").string() +
                                " " + (single.path / "vti/00040.vti").string();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
  if (!have_vtk) GTEST_SKIP() << NO_VTK;
}

}  // namespace
}  // namespace plasmabox
