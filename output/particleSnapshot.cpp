#include "output/particleSnapshot.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <fstream>

#include "mesh/processReduction.h"
#include "output/gatherPlanes.h"
#include "output/outputFile.h"

namespace plasmabox {

namespace {

// One Float64 array of the sample, taken from one member of each sampled particle.
template <class Get>
VtkArray sampledArray(std::string name, int components, const std::vector<Particle>& sampled, Get get) {
  return {std::move(name), "Float64", components, sampled.size(),
          [&sampled, get, components](uint64_t first, std::size_t count, std::byte* out) {
            const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(components);
            for (std::size_t q = 0; q < count; ++q, out += bytes)
              std::memcpy(out, get(sampled[static_cast<std::size_t>(first) + q]), bytes);
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

namespace {

// The snapshot file of count sampled particles whose velocity, weight and
// position arrays are given (in that order).
bool writeSnapshot(std::ostream& os, uint64_t count, const VtkArray (&sampled)[3], const OutputSettings& settings,
                   AppendedOptions options) {
  const VtkArray arrays[] = {
      sampled[0], sampled[1], sampled[2], countingArray("connectivity", count, 0), countingArray("offsets", count, 1),
  };
  const bool binary = settings.vtk_format == VtkFormat::BINARY;
  options.compress = binary && settings.vtk_compress;
  const std::string n = std::to_string(count);

  // The text before array k is between[k]; between[5] closes the file's elements.
  const std::string between[6] = {
      vtkFileOpening("PolyData", options.compress) + "<PolyData>\n<Piece NumberOfPoints=\"" + n + "\" NumberOfVerts=\"" + n +
          "\" NumberOfLines=\"0\" NumberOfStrips=\"0\" NumberOfPolys=\"0\">\n<PointData>\n",
      "", "</PointData>\n<Points>\n", "</Points>\n<Verts>\n", "", "</Verts>\n</Piece>\n</PolyData>\n"};
  if (binary) {
    const AppendedHead head = [&](std::span<const uint64_t> offsets) {
      std::string s;
      for (std::size_t k = 0; k < 5; ++k) s += between[k] + appendedArrayElement(arrays[k], offsets[k]);
      return s + between[5];
    };
    return writeAppendedFile(os, head, arrays, options);
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

// The member of a particle each sampled array takes, and its size.
const std::pair<const char*, int> SAMPLED[3] = {{"velocity", 3}, {"weight", 1}, {"Points", 3}};
const void* memberOf(const Particle& p, int a) {
  return a == 0 ? static_cast<const void*>(&p.vel) : a == 1 ? static_cast<const void*>(&p.weight) : &p.pos;
}

// Where one process's particles fall in the sample of every process's lists
// joined in rank order: its first sampled particle (local index), how many it
// holds, and the sample index of the first.
struct ProcessSample {
  uint64_t first_local = 0, count = 0, first_sampled = 0;
};

std::vector<ProcessSample> processSamples(const std::vector<uint64_t>& counts, uint64_t stride) {
  std::vector<ProcessSample> samples;
  uint64_t offset = 0;  // global index of the process's first particle
  for (uint64_t n : counts) {
    ProcessSample p;
    p.first_sampled = (offset + stride - 1) / stride;
    p.first_local = p.first_sampled * stride - offset;
    p.count = p.first_local < n ? (n - p.first_local - 1) / stride + 1 : 0;
    samples.push_back(p);
    offset += n;
  }
  return samples;
}

// The files of a distributed run: see writeParticleFiles.
std::vector<bool> writeGatheredParticleFiles(const Decomposition& part, const std::vector<Species>& species, int32_t ts,
                                             const std::string& vti_folder, const OutputSettings& settings) {
  std::vector<std::vector<ProcessSample>> samples;
  std::vector<std::vector<Particle>> taken(species.size());  // this process's part of each sample
  std::vector<OfferedData> offered;
  for (std::size_t n = 0; n < species.size(); ++n) {
    const ParticleList& list = species[n].particles;
    const std::vector<uint64_t> counts = countOnEveryProcess(part, list.size());
    uint64_t total = 0;
    for (uint64_t c : counts) total += c;
    const ParticleSample sample = sampleParticles(total, static_cast<std::size_t>(settings.particles_sample));
    samples.push_back(processSamples(counts, sample.stride));
    const ProcessSample mine = samples.back()[static_cast<std::size_t>(part.rank)];
    taken[n] = everyNth(list, mine.first_local, sample.stride, mine.count);
    for (int a = 0; a < 3; ++a)
      offered.push_back([&mine_sampled = taken[n], a](uint64_t first, uint64_t count, std::byte* out) {
        const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(SAMPLED[a].second);
        for (uint64_t q = first; q < first + count; ++q, out += bytes)
          std::memcpy(out, memberOf(mine_sampled[q], a), bytes);
      });
  }
  std::vector<bool> whole(species.size(), false);
  gatherToRankZero(part, offered, [&](const Gatherer& gather) {
    for (std::size_t n = 0; n < species.size(); ++n) {
      const std::string name = particleFileName(vti_folder, ts, species[n].name);
      std::ofstream f;
      openOutputFile(f, name);
      if (!f.is_open()) {
        reportCannotOpen(name);
        continue;
      }
      const std::vector<ProcessSample>& from = samples[n];
      uint64_t count = 0;
      for (const ProcessSample& p : from) count += p.count;
      const auto gathered = [&](int a) {
        const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(SAMPLED[a].second);
        return VtkArray{SAMPLED[a].first, "Float64", SAMPLED[a].second, count,
                        [&gather, &from, bytes, index = 3 * n + static_cast<std::size_t>(a)](
                            uint64_t first, std::size_t c, std::byte* out) {
                          // The block's particles, process after process, each part in one request.
                          for (int r = 0; r < static_cast<int>(from.size()); ++r) {
                            const ProcessSample& p = from[static_cast<std::size_t>(r)];
                            const uint64_t lo = std::max(first, p.first_sampled);
                            const uint64_t hi = std::min<uint64_t>(first + c, p.first_sampled + p.count);
                            if (lo >= hi) continue;
                            gather.fetch(r, index, lo - p.first_sampled, hi - lo, out + (lo - first) * bytes,
                                         (hi - lo) * bytes);
                          }
                        }};
      };
      const VtkArray sampled[3] = {gathered(0), gathered(1), gathered(2)};
      AppendedOptions options{false, settings.threads, settings.block_bytes};
      options.serial_fill = true;
      writeSnapshot(f, count, sampled, settings, options);
      whole[n] = closeAndCheck(f, name);
    }
  });
  for (std::size_t n = 0; n < whole.size(); ++n) whole[n] = anyProcess(part, part.rank == 0 && whole[n]);
  return whole;
}

}  // namespace

bool writeParticleSnapshot(std::ostream& os, const Species& species, const OutputSettings& settings,
                           std::size_t block_bytes) {
  static_assert(sizeof(Vec3) == 3 * sizeof(double));
  const ParticleList& list = species.particles;
  const ParticleSample sample = sampleParticles(list.size(), static_cast<std::size_t>(settings.particles_sample));
  const std::vector<Particle> taken = everyNth(list, 0, sample.stride, sample.count);
  const VtkArray sampled[3] = {
      sampledArray("velocity", 3, taken, [](const Particle& p) { return &p.vel; }),
      sampledArray("weight", 1, taken, [](const Particle& p) { return &p.weight; }),
      sampledArray("Points", 3, taken, [](const Particle& p) { return &p.pos; }),
  };
  return writeSnapshot(os, sample.count, sampled, settings, {false, settings.threads, block_bytes});
}

std::vector<bool> writeParticleFiles(const std::vector<Species>& species, int32_t ts, const std::string& vti_folder,
                                     const OutputSettings& settings) {
  if (!species.empty() && species.front().world->part.distributed())
    return writeGatheredParticleFiles(species.front().world->part, species, ts, vti_folder, settings);
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
    writeParticleSnapshot(f, s, settings, settings.block_bytes);
    whole.push_back(closeAndCheck(f, name));
  }
  return whole;
}

}  // namespace plasmabox
