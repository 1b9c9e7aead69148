#include "output/stepOutput.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <iostream>
#include <span>
#include <string_view>
#include <system_error>

#include "output/BlockWriter.h"
#include "mesh/processReduction.h"
#include "output/fieldText.h"
#include "output/gatherPlanes.h"
#include "output/imageArrays.h"
#include "output/imagePieces.h"
#include "output/outputFile.h"
#include "output/vtkImageBinary.h"
#include "particles/currentDensity.h"

namespace plasmabox {

namespace {

// A DataArray element whose values write(w) writes.
template <class Write>
void dataArrayOf(BlockWriter& w, std::string_view name, int components, std::string_view type, const Write& write) {
  w.text("<DataArray Name=\"");
  w.text(name);
  w.text("\" NumberOfComponents=\"");
  w.number(int64_t{components});
  w.text("\" format=\"ascii\" type=\"");
  w.text(type);
  w.text("\">\n");
  write(w);
  w.text("</DataArray>\n");
}

template <class T>
void dataArray(BlockWriter& w, std::string_view name, int components, std::string_view type,
               const NodeField<T>& f) {
  dataArrayOf(w, name, components, type, [&](BlockWriter& out) { writeField(out, f, FieldLayout::VTK_ROWS); });
}

// The text image's opening up to <PointData>, for a mesh of ni x g.nj x g.nk nodes.
void writeVtkOpening(BlockWriter& w, const Grid& g, int32_t ni) {
  w.text("<VTKFile type=\"ImageData\">\n<ImageData Origin=\"");
  for (int d = 0; d < 3; ++d) {
    if (d > 0) w.put(' ');
    w.number(g.x0[d]);
  }
  w.text("\" Spacing=\"");
  for (int d = 0; d < 3; ++d) {
    if (d > 0) w.put(' ');
    w.number(g.dh[d]);
  }
  w.text("\" WholeExtent=\"");
  const int32_t counts[3] = {ni, g.nj, g.nk};
  for (int d = 0; d < 3; ++d) {
    w.text(d > 0 ? " 0 " : "0 ");
    w.number(int64_t{counts[d]} - 1);
  }
  w.text("\">\n<PointData>\n");
}

const char VTK_CLOSING[] = "</PointData>\n</ImageData>\n</VTKFile>\n";

void writeVtk(BlockWriter& w, const World& world, const std::vector<Species>& species) {
  writeVtkOpening(w, world.grid, world.grid.ni);
  dataArray(w, "object_id", 1, "Int32", world.object_id);
  dataArray(w, "NodeVol", 1, "Float64", world.grid.node_vol);
  dataArray(w, "phi", 1, "Float64", world.phi);
  dataArray(w, "rho", 1, "Float64", world.rho);
  const Grid& g = world.grid;
  for (const Species& s : species)
    dataArrayOf(w, "j." + s.name, 3, "Float64", [&](BlockWriter& out) {
      writeValues(out, g.ni, g.nj, g.nk, [&s](std::size_t q) { return currentDensityAt(s, q); }, FieldLayout::VTK_ROWS);
    });
  for (const Species& s : species) dataArray(w, "vel." + s.name, 3, "Float64", s.vel);
  dataArray(w, "ef", 3, "Float64", world.ef);
  dataArray(w, "phi_m", 1, "Float64", world.phi_m);
  // Kept for readers of earlier files: a reference solution nothing computes.
  dataArrayOf(w, "phi_m_theory", 1, "Float64", [&](BlockWriter& out) {
    writeValues(out, g.ni, g.nj, g.nk, [](std::size_t) { return 0.0; }, FieldLayout::VTK_ROWS);
  });
  dataArray(w, "B", 3, "Float64", world.B);
  dataArray(w, "H", 3, "Float64", world.H);
  dataArray(w, "M", 3, "Float64", world.M);
  w.text(VTK_CLOSING);
}

// Gathers offered array n a run of z-planes at a time into a field that many
// planes thick (as many as the budget of bytes allows) and hands each run to
// write(planes, first z-plane of the run).
template <class T, class Write>
void forGatheredRuns(const Grid& g, std::size_t n, const Gatherer& gather, std::size_t budget, Write write) {
  const int32_t run = planesPerGather(g.gni, g.nj, sizeof(T), budget);
  NodeField<T> planes;
  for (int32_t k0 = 0; k0 < g.nk; k0 += run) {
    const int32_t count = std::min(run, g.nk - k0);
    if (planes.nk != count) planes = NodeField<T>(g.gni, g.nj, count);
    gather.zPlanes(n, k0, count, g.nj, sizeof(T), reinterpret_cast<std::byte*>(planes.data.data()));
    write(planes, k0);
  }
}

// Rows of one array of the text image: a run's rows are its planes' lines.
template <class T>
void writeGatheredRows(BlockWriter& w, const Grid& g, std::size_t n, const Gatherer& gather, std::size_t budget) {
  forGatheredRuns<T>(g, n, gather, budget,
                     [&](const NodeField<T>& planes, int32_t) { writeField(w, planes, FieldLayout::VTK_ROWS); });
}

// The text image of a distributed run, on rank 0: the bytes writeVtkImageText
// writes for the whole mesh.
void writeGatheredImageText(std::ostream& os, const Grid& g, std::span<const ImageArray> arrays,
                            const Gatherer& gather, std::size_t budget) {
  BlockWriter w(os);
  writeVtkOpening(w, g, g.gni);
  for (std::size_t n = 0; n < arrays.size(); ++n) {
    const ImageArray& a = arrays[n];
    dataArrayOf(w, a.name, a.components, a.type, [&](BlockWriter& out) {
      if (a.type == "Int32")
        writeGatheredRows<int32_t>(out, g, n, gather, budget);
      else if (a.components == 3)
        writeGatheredRows<Vec3>(out, g, n, gather, budget);
      else
        writeGatheredRows<double>(out, g, n, gather, budget);
    });
  }
  w.text(VTK_CLOSING);
}

// The density of one species in the CSV layout, gathered a run of z-planes
// at a time (offered array n), then the empty line after the species.
void writeGatheredDensity(BlockWriter& w, const Grid& g, std::size_t n, const Gatherer& gather, std::size_t budget) {
  forGatheredRuns<double>(g, n, gather, budget, [&](const Field& planes, int32_t k0) { writeCsvPlanes(w, planes, k0); });
  w.put('\n');
}

// The density CSV files of one output step: one per distinct name of
// files (one name per species), each opened once with its header, the
// species that share a file written into it in species order.
class DensityFiles {
 public:
  explicit DensityFiles(const std::vector<std::string>& files) {
    for (const std::string& name : files) {
      std::size_t at = 0;
      while (at < distinct_.size() && distinct_[at] != name) ++at;
      if (at == distinct_.size()) distinct_.push_back(name);
      file_of_.push_back(at);
    }
    streams_.resize(distinct_.size());
  }

  // Opens every file and starts it with the header; a file that cannot be
  // opened is reported (and its species skipped).
  void open() {
    for (std::size_t f = 0; f < distinct_.size(); ++f) {
      streams_[f].open(distinct_[f]);
      if (!streams_[f].is_open()) {
        reportCannotOpen(distinct_[f]);
        continue;
      }
      writers_.emplace_back(std::make_unique<BlockWriter>(streams_[f]));
      writer_of_.resize(f + 1, nullptr);
      writer_of_[f] = writers_.back().get();
      writer_of_[f]->text("x,y,z,data\n");
    }
    writer_of_.resize(distinct_.size(), nullptr);
  }

  // The writer of species n's file, or nullptr when it is not open.
  BlockWriter* writerOf(std::size_t n) { return n < file_of_.size() ? writer_of_[file_of_[n]] : nullptr; }

  // Flushes, closes and checks every open file.
  void close() {
    for (std::size_t f = 0; f < distinct_.size(); ++f) {
      if (!streams_[f].is_open()) continue;
      writer_of_[f]->flush();
      closeAndCheck(streams_[f], distinct_[f]);
    }
  }

 private:
  std::vector<std::string> distinct_;
  std::vector<std::size_t> file_of_;
  std::vector<std::ofstream> streams_;
  std::vector<std::unique_ptr<BlockWriter>> writers_;
  std::vector<BlockWriter*> writer_of_;
};

// writeOutput for a distributed run (or for pieces): see stepOutput.h.
bool writeSharedOutput(const World& world, const std::vector<Species>& species, const std::string& o_file,
                       const std::vector<std::string>& density_files, const OutputSettings& settings) {
  const Decomposition& part = world.part;
  const Grid& g = world.grid;
  const bool root = part.rank == 0;
  const std::string vtk_name = vtkFileName(o_file, world.ts);
  const AppendedOptions binary{settings.vtk_compress, settings.threads, settings.block_bytes};
  const std::vector<ImageArray> arrays = imageArrays(world, species);
  bool vtk_whole = false;
  if (settings.vtk_parallel) vtk_whole = writeImagePieces(g, part, arrays, pieceIndexName(vtk_name), binary);

  std::ofstream vtk;
  DensityFiles csv(density_files);
  if (root) {
    if (!settings.vtk_parallel) {
      openOutputFile(vtk, vtk_name);
      if (!vtk.is_open()) reportCannotOpen(vtkFileNameAsBuilt(o_file, world.ts));
    }
    csv.open();
  }
  // Offered: every image array, then every species' density.
  std::vector<OfferedData> offered;
  for (const ImageArray& a : arrays) offered.push_back(a.z_planes);
  for (const Species& s : species)
    offered.push_back(offeredZPlanes<double>(g, [d = s.den.data.data()](std::size_t q) { return d[q]; }));
  gatherToRankZero(part, offered, [&](const Gatherer& gather) {
    if (vtk.is_open()) {
      if (settings.vtk_format == VtkFormat::BINARY)
        writeGatheredImageBinary(vtk, g, arrays, gather, binary);
      else
        writeGatheredImageText(vtk, g, arrays, gather, settings.block_bytes);
      vtk_whole = closeAndCheck(vtk, vtk_name);
    }
    for (std::size_t n = 0; n < species.size(); ++n)
      if (BlockWriter* w = csv.writerOf(n)) writeGatheredDensity(*w, g, arrays.size() + n, gather, settings.block_bytes);
    csv.close();
  });
  // Rank 0 alone knows whether its single file is whole; the pieces' answer is everyone's already.
  return settings.vtk_parallel ? vtk_whole : anyProcess(part, root && vtk_whole);
}

}  // namespace

void writeVtkImageText(std::ostream& os, const World& world, const std::vector<Species>& species) {
  BlockWriter w(os);
  writeVtk(w, world, species);
}

std::string vtkFileNameAsBuilt(const std::string& o_file, int32_t ts) {
  std::string step = std::to_string(ts);
  if (step.size() < 5) step.insert(0, 5 - step.size(), '0');
  return o_file + "//..//vti//" + step + ".vti";
}

std::string vtkFileName(const std::string& o_file, int32_t ts) {
  return std::filesystem::path(vtkFileNameAsBuilt(o_file, ts)).lexically_normal().string();
}

bool goesToElectronFile(const std::string& species_name) {
  return species_name.size() >= 2 && species_name.find("e-") != std::string::npos;
}

bool writeOutputFiles(const World& world, const std::vector<Species>& species, const std::vector<std::string>& files,
                      const OutputSettings& settings) {
  // files[0] names the VTK file; files[1 + n] is species n's density file.
  const std::string& o_file = files.front();
  const std::vector<std::string> density_files(files.begin() + 1, files.end());
  if (world.part.distributed() || settings.vtk_parallel)
    return writeSharedOutput(world, species, o_file, density_files, settings);
  const std::string vtk_name = vtkFileName(o_file, world.ts);
  std::ofstream vtk;
  openOutputFile(vtk, vtk_name);
  if (!vtk.is_open()) reportCannotOpen(vtkFileNameAsBuilt(o_file, world.ts));
  DensityFiles csv(density_files);
  csv.open();

  bool vtk_whole = false;
  if (vtk.is_open()) {
    if (settings.vtk_format == VtkFormat::BINARY) {
      writeVtkImageBinary(vtk, world, species, {settings.vtk_compress, settings.threads, settings.block_bytes});
    } else {
      writeVtkImageText(vtk, world, species);
    }
    vtk_whole = closeAndCheck(vtk, vtk_name);
  }
  for (std::size_t n = 0; n < species.size(); ++n) {
    BlockWriter* w = csv.writerOf(n);
    if (!w) continue;  // reported when it was opened; nothing to format for
    writeField(*w, species[n].den, FieldLayout::CSV_LINES);
    w->put('\n');
  }
  csv.close();
  return vtk_whole;
}

}  // namespace plasmabox
