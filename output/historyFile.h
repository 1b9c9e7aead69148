#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
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

// Writes size bytes from data to the file descriptor fd as POSIX write does:
// returns the count written, which may be fewer, or -1 with errno set. The
// history file writes through one, so that a test can fill the disk after
// any number of bytes.
using WriteBytes = ssize_t (*)(int fd, const void* data, std::size_t size);

// The per-step diagnostics file: a CSV file with the header
//   step,time_s,NAME_count,NAME_kinetic_J (per species),field_energy_J,
//   phi_min_V,phi_max_V,solve_iterations,solve_residual,current_OBJECT_A (per object),
//   NAME_injected,NAME_lost (per species), then the extra columns the run
//   names (its conductors' potentials and charges)
// and one row per step, each handed to the system whole as it is written, so
// that an interrupted run keeps every finished step. Numbers in the shortest
// form that reads back to the same value; the solve columns are empty for a
// step without a solve. Owns its file descriptor (closed with the record).
struct HistoryFile {
  std::string path;
  int fd = -1;               // the open file; -1: none (not asked for, not rank 0, or given up after a failure)
  int64_t whole_bytes = 0;   // length of the header and of the rows written whole
  WriteBytes write_bytes = nullptr;  // nullptr: POSIX write

  HistoryFile() = default;
  HistoryFile(HistoryFile&& other) noexcept;
  HistoryFile& operator=(HistoryFile&& other) noexcept;
  ~HistoryFile();
};

// Creates (or truncates) path and writes the header. In a distributed run
// only rank 0 calls it, and the row values it is given are the totals.
// Throws std::runtime_error naming the file when it cannot be created or the
// header cannot be written. write_bytes replaces POSIX write (for tests).
HistoryFile openHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                            const std::vector<std::string>& object_names,
                            const std::vector<std::string>& extra_columns = {}, WriteBytes write_bytes = nullptr);

// The history file of a run continued after step last_step: the rows of
// path up to last_step are kept, later ones (written by a run that went on
// past the checkpoint) dropped, and new rows are appended. A missing file is
// created with its header. Throws std::runtime_error naming the file when it
// cannot be read, rewritten or opened, or when its header is not this
// run's (other species or objects).
HistoryFile continueHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                                const std::vector<std::string>& object_names,
                                const std::vector<std::string>& extra_columns, int32_t last_step);

// Appends one row; a file that is not open (the default record, as the
// processes other than rank 0 of a distributed run keep it) takes nothing.
// When the row cannot be written whole (disk full, I/O error) the file is
// cut back to its last whole row, "Could not write PATH" goes to standard
// error, and the file takes no more rows: it never ends inside a row, and
// it has no gaps. The run goes on.
void writeHistoryRow(HistoryFile& file, const HistoryRow& row);

}  // namespace plasmabox
