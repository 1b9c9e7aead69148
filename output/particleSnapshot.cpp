#include "output/particleSnapshot.h"

#include <cstring>
#include <fstream>

#include "output/outputFile.h"

namespace plasmabox {

namespace {

// One Float64 array of the sample, taken from one member of each sampled particle.
template <class Get>
VtkArray sampledArray(std::string name, int components, const std::vector<Particle>& list, ParticleSample sample,
                      Get get) {
  return {std::move(name), "Float64", components, sample.count,
          [&list, sample, get, components](uint64_t first, std::size_t count, std::byte* out) {
            const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(components);
            for (std::size_t q = 0; q < count; ++q, out += bytes)
              std::memcpy(out, get(list[(static_cast<std::size_t>(first) + q) * sample.stride]), bytes);
          }};
}

// Int64 array holding first + shift, first + 1 + shift, ...: the vertex
// connectivity (point q) and offsets (end of cell q, q + 1).
VtkArray countingArray(std::string name, uint64_t tuples, int64_t shift) {
  return {std::move(name), "Int64", 1, tuples, [shift](uint64_t first, std::size_t count, std::byte* out) {
            for (std::size_t q = 0; q < count; ++q, out += sizeof(int64_t)) {
              const int64_t v = static_cast<int64_t>(first + q) + shift;
              std::memcpy(out, &v, sizeof v);
            }
          }};
}

}  // namespace

ParticleSample sampleParticles(std::size_t n, std::size_t max_count) {
  if (n == 0 || max_count == 0) return {1, 0};
  const std::size_t stride = n / max_count + (n % max_count != 0);
  return {stride, n / stride + (n % stride != 0)};
}

std::string particleFileName(const std::string& vti_folder, int32_t ts, const std::string& species_name) {
  std::string step = std::to_string(ts);
  if (step.size() < 5) step.insert(0, 5 - step.size(), '0');
  return (vti_folder.empty() ? "" : vti_folder + "/") + step + "." + species_name + ".vtp";
}

bool writeParticleSnapshot(std::ostream& os, const Species& species, const OutputSettings& settings,
                           std::size_t block_bytes) {
  static_assert(sizeof(Vec3) == 3 * sizeof(double));
  const std::vector<Particle>& list = species.particles;
  const ParticleSample sample = sampleParticles(list.size(), static_cast<std::size_t>(settings.particles_sample));
  const VtkArray arrays[] = {
      sampledArray("velocity", 3, list, sample, [](const Particle& p) { return &p.vel; }),
      sampledArray("weight", 1, list, sample, [](const Particle& p) { return &p.weight; }),
      sampledArray("Points", 3, list, sample, [](const Particle& p) { return &p.pos; }),
      countingArray("connectivity", sample.count, 0),
      countingArray("offsets", sample.count, 1),
  };
  const bool binary = settings.vtk_format == VtkFormat::BINARY;
  const bool compress = binary && settings.vtk_compress;
  const std::string n = std::to_string(sample.count);

  // The text before array k is between[k]; between[5] closes the file's elements.
  const std::string between[6] = {
      vtkFileOpening("PolyData", compress) + "<PolyData>\n<Piece NumberOfPoints=\"" + n + "\" NumberOfVerts=\"" + n +
          "\" NumberOfLines=\"0\" NumberOfStrips=\"0\" NumberOfPolys=\"0\">\n<PointData>\n",
      "", "</PointData>\n<Points>\n", "</Points>\n<Verts>\n", "", "</Verts>\n</Piece>\n</PolyData>\n"};
  if (binary) {
    const AppendedHead head = [&](std::span<const uint64_t> offsets) {
      std::string s;
      for (std::size_t k = 0; k < 5; ++k) s += between[k] + appendedArrayElement(arrays[k], offsets[k]);
      return s + between[5];
    };
    return writeAppendedFile(os, head, arrays, {compress, settings.threads, block_bytes});
  }
  {
    BlockWriter w(os);
    for (std::size_t k = 0; k < 5; ++k) {
      w.text(between[k]);
      writeAsciiArray(w, arrays[k]);
    }
    w.text(between[5]);
    w.text("</VTKFile>\n");
  }
  return static_cast<bool>(os);
}

std::vector<bool> writeParticleFiles(const std::vector<Species>& species, int32_t ts, const std::string& vti_folder,
                                     const OutputSettings& settings) {
  std::vector<bool> whole;
  for (const Species& s : species) {
    const std::string name = particleFileName(vti_folder, ts, s.name);
    std::ofstream f;
    openOutputFile(f, name);
    if (!f.is_open()) {
      reportCannotOpen(name);
      whole.push_back(false);
      continue;
    }
    writeParticleSnapshot(f, s, settings);
    whole.push_back(closeAndCheck(f, name));
  }
  return whole;
}

}  // namespace plasmabox
