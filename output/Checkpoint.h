#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Decomposition.h"
#include "mesh/NodeField.h"
#include "output/seriesFile.h"
#include "particles/Particle.h"

namespace plasmabox {

// One thing the physics of a run depends on, by name ("argument 1 (ni)",
// "option dt", "AMF file contents") and value as text: a restart must find
// the same values.
struct FingerprintEntry {
  std::string name;
  std::string value;
};

// One species as a checkpoint holds it: this process's part.
struct SpeciesState {
  std::string name;
  std::vector<Particle> particles;    // in list order
  // The list's order (ParticleOrder): the tile edge in cells, then the
  // particles in each bin (the tiles', then the unplaced bin's); empty: none.
  std::vector<uint32_t> bin_counts;
  Field den;                          // m^-3, the last deposition's density (the next one's den_prev)
};

// Everything that decides a later bit of a run, at the end of a step, as
// this process holds it: mesh fields on its planes (ghost planes included),
// its particles, its random generator. The run-wide values are the same on
// every process.
struct Checkpoint {
  int32_t step = 0;       // the last step done
  double time = 0.0;      // s, the world's clock after that step (accumulated, not step * dt)
  int32_t processes = 1;  // processes of the run that wrote it
  uint32_t seed = 0;      // the seed the run's random streams came from
  std::vector<FingerprintEntry> fingerprint;  // what a restart must not change
  std::vector<std::string> command_line;      // the writing run's arguments, for the reader's information

  std::vector<uint32_t> random_state;  // this process's generator (randomState); empty: derive a new stream
  Field phi;                           // V, the potential: the next solve's start
  VectorField ef;                      // V/m, the field the next push reads
  VectorField B;                       // T, when the field model advances it; empty otherwise
  Field phi_older;                     // V, the potential solver's solution before the last one; empty: none
  int64_t potential_solves = 0;        // multigrid solves the potential solver has begun (its extrapolation)
  std::vector<SpeciesState> species;   // in the run's species order

  // The floating, biased and ramped objects (all empty when there are none):
  // per conductor, in the run's order, its charge (C) and potential (V) after
  // the last solve; per floating group its charge (C: the start charge plus
  // all it collected), its potential (V) and the slope (F) the secant
  // iteration of the Boltzmann electrons goes on from.
  std::vector<std::string> conductor_names;
  std::vector<double> conductor_charge, conductor_potential;
  std::vector<double> group_charge, group_potential, group_slope;

  std::vector<SeriesEntry> series;  // the VTK files listed in series.pvd so far
};

// Writes c as the HDF5 file path, every process of part together, each its
// own planes (the owned ones) and its own particles; the run-wide values
// come from rank 0. The layout is the README's ("Long runs"). midway, when
// given, runs once the mesh fields are written and before the particles:
// the tests stop the program there. Throws std::runtime_error naming the file
// on any process whose part failed (see Hdf5File::close); the file is then
// incomplete.
void writeCheckpoint(const std::string& path, const Decomposition& part, const Checkpoint& c,
                     void (*midway)() = nullptr);

// The run-wide part of the checkpoint path (step, time, processes, seed,
// fingerprint, command line), read by this process alone. Throws
// std::runtime_error naming the file when it is missing, not a checkpoint
// of this program or of another layout version.
Checkpoint readCheckpointSummary(const std::string& path);

// The whole checkpoint path as process rank of part holds it, every process
// of part together: the mesh fields on its planes (local planes of a mesh of
// nj x nk nodes per plane), and, when part has as many processes as the
// writing run, that process's particles, tile ranges and generator;
// otherwise an even share of each species' particles in file order (to be
// handed to their owners) and no tile ranges or generator. Throws
// std::runtime_error naming the file and the array when something is
// missing or does not fit this mesh.
Checkpoint readCheckpoint(const std::string& path, const Decomposition& part, int32_t nj, int32_t nk);

}  // namespace plasmabox
