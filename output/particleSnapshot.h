#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "output/OutputSettings.h"
#include "output/vtkDataArrays.h"
#include "particles/Species.h"

namespace plasmabox {

// An evenly spaced sample of a particle list: the indices 0, stride,
// 2 * stride, ... below n, count of them.
struct ParticleSample {
  std::size_t stride = 1;
  std::size_t count = 0;
};

// The sample of at most max_count (>= 1) of n particles: stride ceil(n /
// max_count), count ceil(n / stride). Deterministic: the same list gives the
// same sample. n = 0 gives count 0.
ParticleSample sampleParticles(std::size_t n, std::size_t max_count);

// Name of the snapshot of species_name at step ts: vti_folder + "/" + ts
// zero-padded to 5 digits + "." + species_name + ".vtp", e.g. "run/vti/00040.O+.vtp".
std::string particleFileName(const std::string& vti_folder, int32_t ts, const std::string& species_name);

// Writes the sampled particles of one species as VTK XML PolyData: Points
// (Float64, positions in m), one vertex cell per point (so that viewers draw
// them), point data "velocity" (3 components, m/s) and "weight" (real
// particles per macro-particle). Text or binary, compressed or not, following
// settings. Reads only pos, vel and weight of each particle. Returns false
// when the stream failed.
bool writeParticleSnapshot(std::ostream& os, const Species& species, const OutputSettings& settings,
                           std::size_t block_bytes = APPENDED_BLOCK_BYTES);

// Writes particleFileName(vti_folder, ts, name) for every species in list
// order (the folder is created when missing). A file that cannot be opened or
// written is reported on standard error ("Could not open NAME", "Could not
// write NAME") and the others are still written. Returns, per species,
// whether its file was written whole.
// In a distributed run (the species' world is) every process calls it
// together: the sample is taken from every process's list joined in rank
// order, and rank 0 writes the files, receiving the sampled particles in
// blocks of about settings.block_bytes: the bytes one process holding the
// joined lists writes. Every process returns the same answer.
std::vector<bool> writeParticleFiles(const std::vector<Species>& species, int32_t ts, const std::string& vti_folder,
                                     const OutputSettings& settings);

}  // namespace plasmabox
