#pragma once
// Finds a Python with VTK's module for the tests that read files back with VTK.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace plasmabox {

inline const char* const NO_VTK = "no python3 with the vtk module (Debian package python3-vtk9): VTK read-back skipped";

// An interpreter with VTK's Python module, or "" (then the read-back is skipped).
inline std::string pythonWithVtk() {
  std::vector<std::string> candidates;
  if (const char* p = std::getenv("PYTHON")) candidates.push_back(p);
  candidates.insert(candidates.end(), {"/usr/bin/python3", "/usr/local/bin/python3"});
  for (const std::string& p : candidates)
    if (std::filesystem::exists(p) && runProgram(p, {"-c", "import vtk, numpy"}).exit_code == 0) return p;
  return "";
}

}  // namespace plasmabox
