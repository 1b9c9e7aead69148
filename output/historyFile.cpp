#include "output/historyFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <stdexcept>
#include <string_view>

namespace plasmabox {

namespace {

void putReal(std::string& line, double v) {
  char buf[32];
  line.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

ssize_t posixWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

// Appends bytes whole or not at all: a short write is retried for the rest,
// and on failure the file is cut back to whole_bytes, so that a reader never
// meets half a row. Returns true when every byte went out.
bool appendWhole(HistoryFile& f, std::string_view bytes) {
  const WriteBytes write = f.write_bytes ? f.write_bytes : posixWrite;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(f.fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (!(n < 0 && errno == EINTR)) {
      // Cut the partial row off (which frees the blocks it took); should even
      // that fail, nothing more can be done for the file.
      if (done > 0) static_cast<void>(::ftruncate(f.fd, static_cast<off_t>(f.whole_bytes)) == 0);
      return false;
    }
  }
  f.whole_bytes += static_cast<int64_t>(bytes.size());
  return true;
}

void closeFile(HistoryFile& f) {
  if (f.fd >= 0) ::close(f.fd);
  f.fd = -1;
}

std::string headerLine(const std::vector<std::string>& species_names, const std::vector<std::string>& object_names,
                       const std::vector<std::string>& extra_columns) {
  std::string header = "step,time_s";
  for (const std::string& s : species_names) header.append(",").append(s).append("_count,").append(s).append("_kinetic_J");
  header += ",field_energy_J,phi_min_V,phi_max_V,solve_iterations,solve_residual";
  for (const std::string& o : object_names) header.append(",current_").append(o).append("_A");
  // After the columns of earlier versions, so that their positions stay.
  for (const std::string& s : species_names) header.append(",").append(s).append("_injected,").append(s).append("_lost");
  for (const std::string& column : extra_columns) header.append(",").append(column);
  return header;
}

// The step number a row starts with, or -1 when it does not start with one.
long stepOfRow(const std::string& row) {
  long step = -1;
  const auto [end, ec] = std::from_chars(row.data(), row.data() + row.size(), step);
  return ec == std::errc() && end < row.data() + row.size() && *end == ',' ? step : -1;
}

}  // namespace

HistoryFile::HistoryFile(HistoryFile&& other) noexcept
    : path(std::move(other.path)), fd(other.fd), whole_bytes(other.whole_bytes), write_bytes(other.write_bytes) {
  other.fd = -1;
}

HistoryFile& HistoryFile::operator=(HistoryFile&& other) noexcept {
  if (this != &other) {
    closeFile(*this);
    path = std::move(other.path);
    fd = other.fd;
    whole_bytes = other.whole_bytes;
    write_bytes = other.write_bytes;
    other.fd = -1;
  }
  return *this;
}

HistoryFile::~HistoryFile() { closeFile(*this); }

HistoryFile openHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                            const std::vector<std::string>& object_names, const std::vector<std::string>& extra_columns,
                            WriteBytes write_bytes) {
  HistoryFile f;
  f.path = path;
  f.write_bytes = write_bytes;
  f.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (f.fd < 0) throw std::runtime_error("history file \"" + path + "\" cannot be created");
  if (!appendWhole(f, headerLine(species_names, object_names, extra_columns) + '\n'))
    throw std::runtime_error("history file \"" + path + "\" cannot be written");
  return f;
}

HistoryFile continueHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                                const std::vector<std::string>& object_names,
                                const std::vector<std::string>& extra_columns, int32_t last_step) {
  if (!std::filesystem::exists(path)) return openHistoryFile(path, species_names, object_names, extra_columns);
  const std::string header = headerLine(species_names, object_names, extra_columns);
  std::ifstream in(path, std::ios::binary);
  std::string line, kept;
  if (!in || !std::getline(in, line)) throw std::runtime_error("history file \"" + path + "\" cannot be read");
  if (line != header)
    throw std::runtime_error("history file \"" + path + "\" has other columns than this run writes (\"" + line +
                             "\"); give another history file to continue the run");
  kept = header + '\n';
  while (std::getline(in, line)) {
    if (in.eof()) break;  // a last row without its line end: a write that was cut off
    const long step = stepOfRow(line);
    if (step >= 0 && step <= last_step) kept += line + '\n';
  }
  if (in.bad()) throw std::runtime_error("history file \"" + path + "\" cannot be read");
  in.close();
  // The kept rows go to a new file that replaces the old one in one step:
  // a crash now leaves the old file whole.
  const std::string temporary = path + ".tmp";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out << kept;
  out.close();
  std::error_code ec;
  if (!out || (std::filesystem::rename(temporary, path, ec), ec)) {
    std::filesystem::remove(temporary, ec);
    throw std::runtime_error("history file \"" + path + "\" cannot be rewritten");
  }
  HistoryFile f;
  f.path = path;
  f.fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (f.fd < 0) throw std::runtime_error("history file \"" + path + "\" cannot be opened");
  f.whole_bytes = static_cast<int64_t>(kept.size());
  return f;
}

void writeHistoryRow(HistoryFile& f, const HistoryRow& row) {
  if (f.fd < 0) return;
  std::string line = std::to_string(row.step);
  line += ',';
  putReal(line, row.time);
  for (const SpeciesHistory& s : row.species) {
    line += ',';
    line += std::to_string(s.count);
    line += ',';
    putReal(line, s.kinetic);
  }
  for (double v : {row.field_energy, row.phi_min, row.phi_max}) {
    line += ",";
    putReal(line, v);
  }
  line += ",";
  if (row.solved) {
    line += std::to_string(row.solve_iterations);
    line += ',';
    putReal(line, row.solve_residual);
  } else {
    line += ",";
  }
  for (double c : row.currents) {
    line += ",";
    putReal(line, c);
  }
  for (const SpeciesHistory& s : row.species) {
    line += ',';
    line += std::to_string(s.injected);
    line += ',';
    line += std::to_string(s.lost);
  }
  for (double v : row.extra) {
    line += ',';
    putReal(line, v);
  }
  line += '\n';
  if (appendWhole(f, line)) return;
  // A later row might fit again, but a file with a gap in its steps would
  // mislead more than one that stops: it ends with the last whole row.
  std::cerr << "Could not write " << f.path << std::endl;
  closeFile(f);
}

}  // namespace plasmabox
