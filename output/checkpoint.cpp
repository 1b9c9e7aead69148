#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "mesh/processReduction.h"
#include "output/Checkpoint.h"
#include "output/hdf5File.h"

namespace plasmabox {

namespace {

// Checked on reading, so that another file, or a later layout, is refused
// by name rather than misread.
const char* const FORMAT = "plasmabox checkpoint";
constexpr int64_t LAYOUT_VERSION = 1;

constexpr uint64_t PARTICLE_VALUES = 7;  // x, y, z (m), vx, vy, vz (m/s), weight
static_assert(sizeof(Particle) == PARTICLE_VALUES * sizeof(double) && std::is_trivially_copyable_v<Particle>);
static_assert(sizeof(Vec3) == 3 * sizeof(double));

std::string shapeText(const std::vector<uint64_t>& shape) {
  std::string text;
  for (uint64_t n : shape) text += (text.empty() ? "" : " x ") + std::to_string(n);
  return text;
}

[[noreturn]] void refuse(const Hdf5File& file, const std::string& what) {
  throw std::runtime_error("checkpoint \"" + file.path() + "\": " + what);
}

// The whole mesh's shape of a field: planes along x, then y, z and, for a
// vector field, its three components.
template <class T>
std::vector<uint64_t> meshShape(const Decomposition& part, int32_t nj, int32_t nk) {
  std::vector<uint64_t> shape{static_cast<uint64_t>(part.first_plane.back()), static_cast<uint64_t>(nj),
                              static_cast<uint64_t>(nk)};
  if (std::is_same_v<T, Vec3>) shape.push_back(3);
  return shape;
}

// A mesh field of the whole mesh, each process writing the planes it owns.
template <class T>
void writeMeshField(Hdf5File& file, const std::string& name, const NodeField<T>& field, const std::string& what) {
  const Decomposition& part = file.part();
  const std::size_t first_local = static_cast<std::size_t>(part.ownedBegin() - part.localBegin());
  writeArray(file, name, H5Element::FLOAT64, meshShape<T>(part, field.nj, field.nk),
             static_cast<uint64_t>(part.ownedBegin()), static_cast<uint64_t>(part.ownedEnd() - part.ownedBegin()),
             field.data.data() + first_local * static_cast<std::size_t>(field.nj) * static_cast<std::size_t>(field.nk));
  describeArray(file, name, what + ", node (i, j, k)" + (std::is_same_v<T, Vec3> ? ", component x, y, z" : ""));
}

// This process's planes (its own and its ghost planes) of a mesh field; the
// field must be of this mesh.
template <class T>
NodeField<T> readMeshField(Hdf5File& file, const std::string& name, int32_t nj, int32_t nk) {
  const Decomposition& part = file.part();
  const std::vector<uint64_t> expected = meshShape<T>(part, nj, nk), found = arrayShape(file, name);
  if (found != expected)
    refuse(file, "the array \"" + name + "\" is " + shapeText(found) + ", while the mesh of this run gives " +
                     shapeText(expected) + ": it was written for another mesh");
  NodeField<T> field(part.localCount(), nj, nk);
  readArray(file, name, H5Element::FLOAT64, static_cast<uint64_t>(part.localBegin()),
            static_cast<uint64_t>(part.localCount()), field.data.data());
  return field;
}

// Rows that every process holds some of, process after process in one
// array, and beside it NAME_per_process: each process's row count.
void writeProcessRows(Hdf5File& file, const std::string& name, H5Element type, std::vector<uint64_t> shape,
                      uint64_t rows, const void* data, const std::string& what) {
  const Decomposition& part = file.part();
  const std::vector<int64_t> counts = valuesOfAllProcesses(part, static_cast<int64_t>(rows));
  uint64_t first = 0, total = 0;
  for (int r = 0; r < part.size; ++r) {
    if (r < part.rank) first += static_cast<uint64_t>(counts[static_cast<std::size_t>(r)]);
    total += static_cast<uint64_t>(counts[static_cast<std::size_t>(r)]);
  }
  shape.insert(shape.begin(), total);
  writeArray(file, name, type, shape, first, rows, data);
  const uint64_t processes = counts.size();
  writeRows<int64_t>(file, name + "_per_process", {processes}, 0, part.rank == 0 ? processes : 0, counts.data());
  describeArray(file, name, what + ", the rows of process 0, then of process 1, ...");
  describeArray(file, name + "_per_process", "rows of \"" + name + "\" per process of the writing run");
}

// This process's rows of an array of writeProcessRows (row_values values
// each): its own when own is true (as many processes as the writer had),
// otherwise an even share of all rows in file order.
template <class T>
std::vector<T> readProcessRows(Hdf5File& file, const std::string& name, H5Element type, uint64_t row_values,
                               bool own) {
  const Decomposition& part = file.part();
  const std::vector<uint64_t> shape = arrayShape(file, name);
  uint64_t values = 1;
  for (std::size_t d = 1; d < shape.size(); ++d) values *= shape[d];
  if (values != row_values)
    refuse(file, "the array \"" + name + "\" is " + shapeText(shape) + ": rows of " + std::to_string(row_values) +
                     " values expected");
  const uint64_t total = shape[0];
  uint64_t first = total * static_cast<uint64_t>(part.rank) / static_cast<uint64_t>(part.size);
  uint64_t rows = total * static_cast<uint64_t>(part.rank + 1) / static_cast<uint64_t>(part.size) - first;
  if (own) {
    const std::vector<uint64_t> counted = arrayShape(file, name + "_per_process");
    if (counted != std::vector<uint64_t>{static_cast<uint64_t>(part.size)})
      refuse(file, "the array \"" + name + "_per_process\" does not list " + std::to_string(part.size) + " processes");
    std::vector<int64_t> counts(static_cast<std::size_t>(part.size));
    readRows(file, name + "_per_process", 0, counts.size(), counts.data());
    first = 0;
    for (int r = 0; r < part.rank; ++r) first += static_cast<uint64_t>(counts[static_cast<std::size_t>(r)]);
    rows = static_cast<uint64_t>(counts[static_cast<std::size_t>(part.rank)]);
  }
  const uint64_t element_bytes = type == H5Element::UINT32 || type == H5Element::INT32 ? 4 : 8;
  std::vector<T> out(static_cast<std::size_t>(rows * row_values * element_bytes / sizeof(T)));
  readArray(file, name, type, first, rows, out.data());
  return out;
}

// The run-wide values: attributes of the root and the settings texts.
void writeSummary(Hdf5File& file, const Checkpoint& c) {
  writeAttribute(file, "format", std::string(FORMAT));
  writeAttribute(file, "version", LAYOUT_VERSION);
  writeAttribute(file, "step", int64_t{c.step});
  writeAttribute(file, "potential_solves", c.potential_solves);
  writeAttribute(file, "time_s", c.time);
  writeAttribute(file, "processes", int64_t{c.processes});
  writeAttribute(file, "seed", int64_t{c.seed});
  std::vector<std::string> names, values;
  for (const FingerprintEntry& e : c.fingerprint) names.push_back(e.name), values.push_back(e.value);
  writeTexts(file, "settings/fingerprint_names", names);
  writeTexts(file, "settings/fingerprint_values", values);
  writeTexts(file, "settings/command_line", c.command_line);
}

Checkpoint readSummary(Hdf5File& file) {
  bool ours = false;
  try {
    ours = readTextAttribute(file, "format") == FORMAT;
  } catch (const std::runtime_error&) {
  }
  if (!ours) refuse(file, "not a checkpoint of this program (no format attribute \"" + std::string(FORMAT) + "\")");
  const int64_t version = readIntegerAttribute(file, "version");
  if (version != LAYOUT_VERSION)
    refuse(file, "layout version " + std::to_string(version) + ", while this program reads version " +
                     std::to_string(LAYOUT_VERSION));
  Checkpoint c;
  c.step = static_cast<int32_t>(readIntegerAttribute(file, "step"));
  c.potential_solves = readIntegerAttribute(file, "potential_solves");
  c.time = readRealAttribute(file, "time_s");
  c.processes = static_cast<int32_t>(readIntegerAttribute(file, "processes"));
  c.seed = static_cast<uint32_t>(readIntegerAttribute(file, "seed"));
  const std::vector<std::string> names = readTexts(file, "settings/fingerprint_names");
  const std::vector<std::string> values = readTexts(file, "settings/fingerprint_values");
  if (names.size() != values.size()) refuse(file, "the fingerprint's names and values differ in number");
  for (std::size_t n = 0; n < names.size(); ++n) c.fingerprint.push_back({names[n], values[n]});
  c.command_line = readTexts(file, "settings/command_line");
  if (c.processes < 1) refuse(file, "attribute \"processes\" is " + std::to_string(c.processes));
  return c;
}

void writeSpecies(Hdf5File& file, const SpeciesState& s) {
  const std::string group = "species/" + s.name + "/";
  writeProcessRows(file, group + "particles", H5Element::FLOAT64, {PARTICLE_VALUES}, s.particles.size(),
                   s.particles.data(),
                   "macro-particles in list order: x, y, z (m), vx, vy, vz (m/s, half a step behind), weight");
  writeProcessRows(file, group + "bin_counts", H5Element::UINT32, {}, s.bin_counts.size(), s.bin_counts.data(),
                   "per process: the tile edge (cells), then the particles of each tile's bin and of the unplaced bin");
  writeMeshField(file, group + "den", s.den, "m^-3, number density of the last deposition");
}

SpeciesState readSpecies(Hdf5File& file, const std::string& name, bool own, int32_t nj, int32_t nk) {
  const std::string group = "species/" + name + "/";
  SpeciesState s;
  s.name = name;
  s.particles = readProcessRows<Particle>(file, group + "particles", H5Element::FLOAT64, PARTICLE_VALUES, own);
  if (own) s.bin_counts = readProcessRows<uint32_t>(file, group + "bin_counts", H5Element::UINT32, 1, own);
  s.den = readMeshField<double>(file, group + "den", nj, nk);
  return s;
}

// Each process's generator state, one row per process.
void writeRandomState(Hdf5File& file, const std::vector<uint32_t>& state) {
  const Decomposition& part = file.part();
  writeRows(file, "random/state", {static_cast<uint64_t>(part.size), state.size()},
            static_cast<uint64_t>(part.rank), 1, state.data());
  describeArray(file, "random/state", "per process: its std::mt19937 generator as the C++ library writes it");
}

std::vector<uint32_t> readRandomState(Hdf5File& file) {
  const std::vector<uint64_t> shape = arrayShape(file, "random/state");
  if (shape.size() != 2 || shape[0] != static_cast<uint64_t>(file.part().size))
    refuse(file, "the array \"random/state\" is " + shapeText(shape) + ": one row per process expected");
  std::vector<uint32_t> state(shape[1]);
  readRows(file, "random/state", static_cast<uint64_t>(file.part().rank), 1, state.data());
  return state;
}

// Values of the whole run, the same on every process: rank 0 writes them.
void writeRunValues(Hdf5File& file, const std::string& name, const std::vector<double>& values,
                    const std::string& what) {
  const uint64_t n = values.size();
  writeRows(file, name, {n}, 0, file.part().rank == 0 ? n : 0, values.data());
  describeArray(file, name, what);
}

std::vector<double> readRunValues(Hdf5File& file, const std::string& name) {
  const std::vector<uint64_t> shape = arrayShape(file, name);
  if (shape.size() != 1) refuse(file, "the array \"" + name + "\" is " + shapeText(shape) + ", not a list");
  std::vector<double> values(shape[0]);
  readRows(file, name, 0, values.size(), values.data());
  return values;
}

// The conductors' charges and potentials: one array each.
void writeConductors(Hdf5File& file, const Checkpoint& c) {
  writeTexts(file, "conductors/names", c.conductor_names);
  writeRunValues(file, "conductors/charge", c.conductor_charge, "C, per conductor: charge after the last solve");
  writeRunValues(file, "conductors/potential", c.conductor_potential, "V, per conductor: potential of the last solve");
  writeRunValues(file, "conductors/group_charge", c.group_charge,
                 "C, per floating group: start charge plus all it collected");
  writeRunValues(file, "conductors/group_potential", c.group_potential,
                 "V, per floating group: potential of the last solve");
  writeRunValues(file, "conductors/group_slope", c.group_slope,
                 "F, per floating group: the last charge per volt of the secant iteration");
}

void readConductors(Hdf5File& file, Checkpoint& c) {
  c.conductor_names = readTexts(file, "conductors/names");
  c.conductor_charge = readRunValues(file, "conductors/charge");
  c.conductor_potential = readRunValues(file, "conductors/potential");
  c.group_charge = readRunValues(file, "conductors/group_charge");
  c.group_potential = readRunValues(file, "conductors/group_potential");
  c.group_slope = readRunValues(file, "conductors/group_slope");
  const std::size_t n = c.conductor_names.size(), g = c.group_charge.size();
  if (c.conductor_charge.size() != n || c.conductor_potential.size() != n || c.group_potential.size() != g ||
      c.group_slope.size() != g)
    refuse(file, "the arrays of \"conductors\" differ in length");
}

// The series file's entries, the same on every process: rank 0 writes them.
void writeSeries(Hdf5File& file, const std::vector<SeriesEntry>& series) {
  std::vector<double> times;
  std::vector<int32_t> parts;
  std::vector<std::string> files;
  for (const SeriesEntry& e : series) times.push_back(e.time), parts.push_back(e.part), files.push_back(e.file);
  const uint64_t n = series.size(), mine = file.part().rank == 0 ? n : 0;
  writeRows(file, "output/series_time", {n}, 0, mine, times.data());
  writeRows(file, "output/series_part", {n}, 0, mine, parts.data());
  writeTexts(file, "output/series_file", files);
}

std::vector<SeriesEntry> readSeries(Hdf5File& file) {
  const std::vector<std::string> files = readTexts(file, "output/series_file");
  std::vector<double> times(files.size());
  std::vector<int32_t> parts(files.size());
  readRows(file, "output/series_time", 0, times.size(), times.data());
  readRows(file, "output/series_part", 0, parts.size(), parts.data());
  std::vector<SeriesEntry> series;
  for (std::size_t n = 0; n < files.size(); ++n) series.push_back({times[n], parts[n], files[n]});
  return series;
}

}  // namespace

void writeCheckpoint(const std::string& path, const Decomposition& part, const Checkpoint& c, void (*midway)()) {
  Hdf5File file(path, Hdf5File::Mode::CREATE, part);
  writeSummary(file, c);
  writeMeshField(file, "fields/phi", c.phi, "V, electrostatic potential");
  writeMeshField(file, "fields/ef", c.ef, "V/m, electric field");
  if (c.B.size() > 0) writeMeshField(file, "fields/B", c.B, "T, magnetic flux density");
  if (c.phi_older.size() > 0)
    writeMeshField(file, "fields/phi_older", c.phi_older,
                   "V, the potential solver's solution before the last one: with phi, the next solve's start");
  if (midway) midway();
  std::vector<std::string> names;
  for (const SpeciesState& s : c.species) names.push_back(s.name);
  writeTexts(file, "species_names", names);
  for (const SpeciesState& s : c.species) writeSpecies(file, s);
  writeRandomState(file, c.random_state);
  writeConductors(file, c);
  writeSeries(file, c.series);
  file.close();
}

Checkpoint readCheckpointSummary(const std::string& path) {
  Hdf5File file(path, Hdf5File::Mode::READ, Decomposition{});
  return readSummary(file);
}

Checkpoint readCheckpoint(const std::string& path, const Decomposition& part, int32_t nj, int32_t nk) {
  Hdf5File file(path, Hdf5File::Mode::READ, part);
  Checkpoint c = readSummary(file);
  const bool own = c.processes == part.size;
  c.phi = readMeshField<double>(file, "fields/phi", nj, nk);
  c.ef = readMeshField<Vec3>(file, "fields/ef", nj, nk);
  if (hasArray(file, "fields/B")) c.B = readMeshField<Vec3>(file, "fields/B", nj, nk);
  if (hasArray(file, "fields/phi_older")) c.phi_older = readMeshField<double>(file, "fields/phi_older", nj, nk);
  for (const std::string& name : readTexts(file, "species_names")) c.species.push_back(readSpecies(file, name, own, nj, nk));
  if (own) c.random_state = readRandomState(file);
  readConductors(file, c);
  c.series = readSeries(file);
  file.close();
  return c;
}

}  // namespace plasmabox
