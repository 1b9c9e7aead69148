#pragma once

#include <fstream>
#include <string>

namespace plasmabox {

// Opens path for writing (binary mode: the text files have no line endings to
// translate either), creating its folder when that is missing. The stream is
// left closed when the file cannot be created.
void openOutputFile(std::ofstream& f, const std::string& path);

// "Could not open NAME" on standard error.
void reportCannotOpen(const std::string& name);

// Closes the file and reports "Could not write NAME" on standard error if
// anything written to it was lost (disk full, I/O error), so that data never
// vanishes silently. Returns true when the file is whole: open, every write
// and the close succeeded.
bool closeAndCheck(std::ofstream& f, const std::string& name);

}  // namespace plasmabox
