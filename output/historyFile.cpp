#include "output/historyFile.h"

#include <charconv>
#include <iostream>
#include <stdexcept>

namespace plasmabox {

namespace {

void putReal(std::string& line, double v) {
  char buf[32];
  line.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

}  // namespace

HistoryFile openHistoryFile(const std::string& path, const std::vector<std::string>& species_names,
                            const std::vector<std::string>& object_names, const std::vector<std::string>& extra_columns) {
  HistoryFile f;
  f.path = path;
  f.out.open(path, std::ios::out | std::ios::trunc);
  if (!f.out) throw std::runtime_error("history file \"" + path + "\" cannot be created");
  std::string header = "step,time_s";
  for (const std::string& s : species_names) header.append(",").append(s).append("_count,").append(s).append("_kinetic_J");
  header += ",field_energy_J,phi_min_V,phi_max_V,solve_iterations,solve_residual";
  for (const std::string& o : object_names) header.append(",current_").append(o).append("_A");
  // After the columns of earlier versions, so that their positions stay.
  for (const std::string& s : species_names) header.append(",").append(s).append("_injected,").append(s).append("_lost");
  for (const std::string& column : extra_columns) header.append(",").append(column);
  f.out << header << std::endl;
  if (!f.out) throw std::runtime_error("history file \"" + path + "\" cannot be written");
  return f;
}

void writeHistoryRow(HistoryFile& f, const HistoryRow& row) {
  if (!f.out.is_open()) return;
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
  f.out << line << std::endl;
  if (!f.out && !f.reported) {
    std::cerr << "Could not write " << f.path << std::endl;
    f.reported = true;
  }
}

}  // namespace plasmabox
