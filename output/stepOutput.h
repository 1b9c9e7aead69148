#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "mesh/World.h"
#include "output/OutputSettings.h"
#include "particles/Species.h"

namespace plasmabox {

// Name of the VTK file of step ts as composed from the O file name:
// o_file + "//..//vti//" + ts zero-padded on the left to 5 characters (longer
// numbers in full) + ".vti". Example: "run/a_output_O_40.csv//..//vti//00040.vti".
std::string vtkFileNameAsBuilt(const std::string& o_file, int32_t ts);

// The same name resolved lexically (empty components collapse, ".." removes the
// component before it): "run/a_output_O_40.csv" and 40 give "run/vti/00040.vti",
// a directory vti beside the CSV files. No file system access.
std::string vtkFileName(const std::string& o_file, int32_t ts);

// True when the density of the species goes to the electron (e) file: names of
// 2 or more characters that contain "e-". Everything else goes to the O file.
bool goesToElectronFile(const std::string& species_name);

// Writes the VTK ImageData file of one step as text, line by line as the
// text layout fixes it (every number rounded to 6 significant digits).
void writeVtkImageText(std::ostream& os, const World& world, const std::vector<Species>& species);

// Writes the files of one output step. files[0] (o_file) names the VTK file,
// files[1 + n] the density CSV file of species n:
//  - the VTK ImageData file vtkFileName(o_file, world.ts) with the world's node
//    fields and each species' current density and mean velocity, as text
//    (numbers rounded to 6 significant digits) or, following settings, in
//    VTK's binary layout (writeVtkImageBinary);
//  - each density file once, "x,y,z,data" then the density (m^-3) of the
//    species that go there, in species order, in the CSV layout, each
//    followed by an empty line.
// Never throws for file problems and never stops the run: a missing vti
// directory is created; a file that cannot be opened gets
// "Could not open <name>" on standard error (the VTK name as composed, with its
// "//..//") and the other files are still written; a failed write or close gets
// "Could not write <name>" on standard error. Returns true when the VTK file
// was written whole.
//
// In a distributed run (world.part.distributed()) every process calls it
// together: rank 0 alone opens and writes the files, gathering the mesh
// z-plane by z-plane from the others (gatherToRankZero), and they come out
// byte for byte as one process holding the same values writes them. With
// settings.vtk_parallel the image goes instead into one binary piece per
// process and an index, pieceIndexName(vtkFileName(o_file, ts)) (see
// output/imagePieces.h), on any number of processes. Every process returns
// the same answer.
bool writeOutputFiles(const World& world, const std::vector<Species>& species, const std::vector<std::string>& files,
                      const OutputSettings& settings);

}  // namespace plasmabox
