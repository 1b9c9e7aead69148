#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace plasmabox {

// One species in one step of the history file.
struct SpeciesHistory {
  std::size_t count = 0;   // macro-particles alive
  double kinetic = 0.0;    // J, kinetic energy of the real particles they stand for
  int64_t injected = 0;    // macro-particles created by injection in the step (walls and plane sources)
  int64_t lost = 0;        // macro-particles that left through the walls in the step
};

// One step of the history file.
struct HistoryRow {
  int32_t step = 0;
  double time = 0.0;                    // s, simulated
  std::vector<SpeciesHistory> species;  // in species order
  double field_energy = 0.0;                            // J, eps0/2 sum |E|^2 node volume
  double phi_min = 0.0, phi_max = 0.0;                  // V
  bool solved = false;                                  // the step solved the potential
  int64_t solve_iterations = 0;
  double solve_residual = 0.0;
  std::vector<double> currents;  // A, per object: charge it absorbed in the step over dt
  std::vector<double> extra;     // the values of the extra columns, in their order
};

// The per-step diagnostics file: a CSV file with the header
//   step,time_s,NAME_count,NAME_kinetic_J (per species),field_energy_J,
//   phi_min_V,phi_max_V,solve_iterations,solve_residual,current_OBJECT_A (per object),
//   NAME_injected,NAME_lost (per species), then the extra columns the run
//   names (its conductors' potentials and charges)
// and one row per step, flushed as it is written, so that an interrupted run
// keeps every finished step. Numbers in the shortest form that reads back to
// the same value; the solve columns are empty for a step without a solve.
struct HistoryFile {
  std::string path;
  std::ofstream out;
  bool reported = false;  // a write failure has been reported
};

// Creates (or truncates) path and writes the header. In a distributed run
// only rank 0 calls it, and the row values it is given are the totals. Throws std::runtime_error
// naming the file when it cannot be created.
HistoryFile openHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                            const std::vector<std::string>& object_names,
                            const std::vector<std::string>& extra_columns = {});

// The history file of a run continued after step last_step: the rows of
// path up to last_step are kept, later ones (written by a run that went on
// past the checkpoint) dropped, and new rows are appended. A missing file is
// created with its header. Throws std::runtime_error naming the file when it
// cannot be read, rewritten or opened, or when its header is not this
// run's (other species or objects).
HistoryFile continueHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                                const std::vector<std::string>& object_names,
                                const std::vector<std::string>& extra_columns, int32_t last_step);

// Appends one row and flushes it; a file that is not open (the default
// record, as the processes other than rank 0 of a distributed run keep it:
// only rank 0 opens the file) takes nothing. A failed write is reported once on standard
// error ("Could not write PATH"); the run goes on.
void writeHistoryRow(HistoryFile& file, const HistoryRow& row);

}  // namespace plasmabox
