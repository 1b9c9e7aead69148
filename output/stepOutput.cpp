#include "output/stepOutput.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <system_error>

#include "output/BlockWriter.h"
#include "output/fieldText.h"
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

void writeVtk(BlockWriter& w, const World& world, const std::vector<Species>& species) {
  w.text("<VTKFile type=\"ImageData\">\n<ImageData Origin=\"");
  for (int d = 0; d < 3; ++d) {
    if (d > 0) w.put(' ');
    w.number(world.grid.x0[d]);
  }
  w.text("\" Spacing=\"");
  for (int d = 0; d < 3; ++d) {
    if (d > 0) w.put(' ');
    w.number(world.grid.dh[d]);
  }
  w.text("\" WholeExtent=\"");
  const int32_t counts[3] = {world.grid.ni, world.grid.nj, world.grid.nk};
  for (int d = 0; d < 3; ++d) {
    w.text(d > 0 ? " 0 " : "0 ");
    w.number(int64_t{counts[d]} - 1);
  }
  w.text("\">\n<PointData>\n");
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
  w.text("</PointData>\n</ImageData>\n</VTKFile>\n");
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

bool writeOutput(const World& world, const std::vector<Species>& species, const std::string& o_file,
                 const std::string& e_file) {
  return writeOutput(world, species, o_file, e_file, OutputSettings{});
}

bool writeOutput(const World& world, const std::vector<Species>& species, const std::string& o_file,
                 const std::string& e_file, const OutputSettings& settings) {
  const std::string vtk_name = vtkFileName(o_file, world.ts);
  std::ofstream vtk, e_out, o_out;
  openOutputFile(vtk, vtk_name);
  e_out.open(e_file);
  o_out.open(o_file);
  if (!vtk.is_open()) reportCannotOpen(vtkFileNameAsBuilt(o_file, world.ts));
  if (!e_out.is_open()) reportCannotOpen(e_file);
  if (!o_out.is_open()) reportCannotOpen(o_file);

  bool vtk_whole = false;
  if (vtk.is_open()) {
    if (settings.vtk_format == VtkFormat::BINARY) {
      writeVtkImageBinary(vtk, world, species, {settings.vtk_compress, settings.threads});
    } else {
      writeVtkImageText(vtk, world, species);
    }
    vtk_whole = closeAndCheck(vtk, vtk_name);
  }

  BlockWriter e_text(e_out), o_text(o_out);
  e_text.text("x,y,z,data\n");
  o_text.text("x,y,z,data\n");
  for (const Species& s : species) {
    const bool to_e = goesToElectronFile(s.name);
    if (!(to_e ? e_out : o_out).is_open()) continue;  // reported above; nothing to format for
    BlockWriter& w = to_e ? e_text : o_text;
    writeField(w, s.den, FieldLayout::CSV_LINES);
    w.put('\n');
  }
  e_text.flush();
  o_text.flush();
  closeAndCheck(e_out, e_file);
  closeAndCheck(o_out, o_file);
  return vtk_whole;
}

}  // namespace plasmabox
