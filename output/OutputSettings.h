#pragma once

#include <cstddef>
#include <cstdint>

namespace plasmabox {

// How the mesh fields and particles are written: VTK XML text (every number
// rounded to 6 significant digits) or raw binary (full doubles).
enum class VtkFormat { ASCII, BINARY };

// What the run writes besides the density CSV files. The defaults give the
// text VTK files of every output step and nothing else.
struct OutputSettings {
  VtkFormat vtk_format = VtkFormat::ASCII;
  bool vtk_compress = false;        // zlib blocks in binary files (never in text files)
  bool vtk_parallel = false;        // binary only: each process writes its piece of the image, rank 0 a .pvti index
  bool series = false;              // keep series.pvd, a ParaView collection of every file written
  int32_t particles_every = 0;      // particle snapshot at steps that are multiples of it; 0: none
  int32_t particles_sample = 100000;  // at most this many particles per species and snapshot (>= 1)
  int threads = 1;                  // threads that compress blocks (the run's team)
  // Bytes of the blocks binary arrays are written and compressed in, and of
  // the pieces a distributed run gathers at once: about 4 MB. For the tests,
  // which lower it to cross block borders; the files depend on it.
  std::size_t block_bytes = std::size_t{1} << 22;
};

}  // namespace plasmabox
