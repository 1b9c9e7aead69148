#include "output/hdf5File.h"

// The parallel build of HDF5 (Debian's libhdf5-openmpi-dev) includes mpi.h itself.
#include <hdf5.h>

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <type_traits>

namespace plasmabox {

static_assert(std::is_same_v<hid_t, int64_t>, "Hdf5File keeps the file's handle as int64_t");

namespace {

// Each H5Dwrite or H5Dread moves at most this many bytes: MPI-IO counts in
// int, and some of its implementations fail on 2 GB and more in one call.
constexpr uint64_t TRANSFER_BYTES = uint64_t{1} << 28;

// The innermost description on HDF5's error stack (the most specific one, as
// "No space left on device"), which is then cleared.
herr_t keepDescription(unsigned, const H5E_error2_t* error, void* text) {
  if (error->desc && *error->desc) *static_cast<std::string*>(text) = error->desc;
  return 0;
}

std::string libraryReason() {
  std::string reason;
  H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, keepDescription, &reason);
  H5Eclear2(H5E_DEFAULT);
  return reason.empty() ? "no reason given by the HDF5 library" : reason;
}

std::string failureText(const Hdf5File& file, const std::string& what) {
  return "file \"" + file.path() + "\": " + what + " (" + libraryReason() + ")";
}

[[noreturn]] void fail(const Hdf5File& file, const std::string& what) {
  throw std::runtime_error(failureText(file, what));
}

// One HDF5 identifier, closed by its own close function when it goes.
struct Handle {
  hid_t id;
  herr_t (*closer)(hid_t);
  Handle(hid_t i, herr_t (*c)(hid_t)) : id(i), closer(c) {}
  ~Handle() {
    if (id >= 0) closer(id);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return id >= 0; }
};

hid_t memoryType(H5Element type) {
  switch (type) {
    case H5Element::FLOAT64: return H5T_NATIVE_DOUBLE;
    case H5Element::INT64: return H5T_NATIVE_INT64;
    case H5Element::INT32: return H5T_NATIVE_INT32;
    case H5Element::UINT32: return H5T_NATIVE_UINT32;
  }
  return H5T_NATIVE_DOUBLE;
}

// Little-endian in the file whatever the machine, so that files move between machines.
hid_t fileType(H5Element type) {
  switch (type) {
    case H5Element::FLOAT64: return H5T_IEEE_F64LE;
    case H5Element::INT64: return H5T_STD_I64LE;
    case H5Element::INT32: return H5T_STD_I32LE;
    case H5Element::UINT32: return H5T_STD_U32LE;
  }
  return H5T_IEEE_F64LE;
}

uint64_t elementBytes(H5Element type) { return type == H5Element::INT32 || type == H5Element::UINT32 ? 4 : 8; }

uint64_t product(const std::vector<hsize_t>& dims, std::size_t from) {
  uint64_t n = 1;
  for (std::size_t d = from; d < dims.size(); ++d) n *= dims[d];
  return n;
}

// Moves rows [first_row, first_row + rows) between data and the dataset
// (dims its shape), in pieces of at most TRANSFER_BYTES. Returns false when
// the library refused one.
bool transfer(hid_t dataset, hid_t memory_type, uint64_t element_bytes, const std::vector<hsize_t>& dims,
              uint64_t first_row, uint64_t rows, const void* out, void* in) {
  const uint64_t row_bytes = product(dims, 1) * element_bytes;
  const uint64_t per_piece = std::max<uint64_t>(1, TRANSFER_BYTES / std::max<uint64_t>(row_bytes, 1));
  const Handle file_space(H5Dget_space(dataset), H5Sclose);
  if (!file_space.ok()) return false;
  std::vector<hsize_t> start(dims.size(), 0), count = dims;
  for (uint64_t done = 0; done < rows; done += per_piece) {
    start[0] = first_row + done;
    count[0] = std::min(per_piece, rows - done);
    if (H5Sselect_hyperslab(file_space.id, H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr) < 0)
      return false;
    const Handle memory_space(H5Screate_simple(static_cast<int>(count.size()), count.data(), nullptr), H5Sclose);
    const std::size_t offset = done * row_bytes;
    const herr_t status =
        out ? H5Dwrite(dataset, memory_type, memory_space.id, file_space.id, H5P_DEFAULT,
                       static_cast<const std::byte*>(out) + offset)
            : H5Dread(dataset, memory_type, memory_space.id, file_space.id, H5P_DEFAULT,
                      static_cast<std::byte*>(in) + offset);
    if (!memory_space.ok() || status < 0) return false;
  }
  return true;
}

// Creates the dataset name (and the groups on its path) of the given type
// and shape, its storage never filled with a default value (every element
// is written).
hid_t createDataset(Hdf5File& file, const std::string& name, hid_t type, const std::vector<hsize_t>& dims) {
  const Handle links(H5Pcreate(H5P_LINK_CREATE), H5Pclose);
  const Handle layout(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
  const Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), H5Sclose);
  if (!links.ok() || !layout.ok() || !space.ok() || H5Pset_create_intermediate_group(links.id, 1) < 0 ||
      H5Pset_fill_time(layout.id, H5D_FILL_TIME_NEVER) < 0)
    fail(file, "cannot prepare the array \"" + name + "\"");
  const hid_t dataset = H5Dcreate2(file.handle(), name.c_str(), type, space.id, links.id, layout.id, H5P_DEFAULT);
  if (dataset < 0) fail(file, "cannot create the array \"" + name + "\"");
  return dataset;
}

hid_t openDataset(Hdf5File& file, const std::string& name) {
  if (!hasArray(file, name)) throw std::runtime_error("file \"" + file.path() + "\" has no array \"" + name + "\"");
  const hid_t dataset = H5Dopen2(file.handle(), name.c_str(), H5P_DEFAULT);
  if (dataset < 0) fail(file, "cannot open the array \"" + name + "\"");
  return dataset;
}

std::vector<hsize_t> datasetDims(Hdf5File& file, hid_t dataset, const std::string& name) {
  const Handle space(H5Dget_space(dataset), H5Sclose);
  const int rank = space.ok() ? H5Sget_simple_extent_ndims(space.id) : -1;
  if (rank < 1) fail(file, "the array \"" + name + "\" has no dimensions");
  std::vector<hsize_t> dims(static_cast<std::size_t>(rank));
  H5Sget_simple_extent_dims(space.id, dims.data(), nullptr);
  return dims;
}

// A fixed-length string type of n bytes (at least 1).
hid_t textType(std::size_t n) {
  const hid_t type = H5Tcopy(H5T_C_S1);
  H5Tset_size(type, std::max<std::size_t>(n, 1));
  H5Tset_strpad(type, H5T_STR_NULLPAD);
  return type;
}

hid_t openAttribute(Hdf5File& file, const std::string& name, H5T_class_t kind, const char* kind_name) {
  if (H5Aexists(file.handle(), name.c_str()) <= 0)
    throw std::runtime_error("file \"" + file.path() + "\" has no attribute \"" + name + "\"");
  const hid_t attribute = H5Aopen(file.handle(), name.c_str(), H5P_DEFAULT);
  if (attribute < 0) fail(file, "cannot open the attribute \"" + name + "\"");
  const Handle type(H5Aget_type(attribute), H5Tclose);
  const H5T_class_t found = type.ok() ? H5Tget_class(type.id) : H5T_NO_CLASS;
  const bool fits = found == kind || (kind == H5T_FLOAT && found == H5T_INTEGER);
  if (!fits || (kind == H5T_STRING && H5Tis_variable_str(type.id) > 0)) {
    H5Aclose(attribute);
    throw std::runtime_error("file \"" + file.path() + "\": the attribute \"" + name + "\" is not " + kind_name);
  }
  return attribute;
}

// An attribute of the object at path object ("/": the root group).
void writeScalarAttribute(Hdf5File& file, const std::string& object, const std::string& name, hid_t stored,
                          hid_t memory, const void* value) {
  const Handle space(H5Screate(H5S_SCALAR), H5Sclose);
  const Handle attribute(H5Acreate_by_name(file.handle(), object.c_str(), name.c_str(), stored, space.id,
                                           H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
                         H5Aclose);
  if (!attribute.ok() || H5Awrite(attribute.id, memory, value) < 0)
    fail(file, "cannot write the attribute \"" + name + "\" of \"" + object + "\"");
}

void writeTextAttribute(Hdf5File& file, const std::string& object, const std::string& name,
                        const std::string& value) {
  const Handle type(textType(value.size()), H5Tclose);
  const std::string bytes = value.empty() ? std::string(1, '\0') : value;
  writeScalarAttribute(file, object, name, type.id, type.id, bytes.data());
}

}  // namespace

Hdf5File::Hdf5File(const std::string& path, Mode mode, const Decomposition& part) : path_(path), part_(part) {
  // Failures become exceptions with the library's reason; its own printing
  // of the error stack would only repeat it on standard error.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  const Handle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
  const herr_t driver = part.distributed() ? H5Pset_fapl_mpio(access.id, MPI_COMM_WORLD, MPI_INFO_NULL)
                                           : H5Pset_fapl_sec2(access.id);
  if (!access.ok() || driver < 0) fail(*this, "cannot set up the file driver");
  id_ = mode == Mode::CREATE ? H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.id)
                             : H5Fopen(path.c_str(), H5F_ACC_RDONLY, access.id);
  if (id_ < 0) fail(*this, mode == Mode::CREATE ? "cannot be created" : "cannot be opened as an HDF5 file");
}

Hdf5File::~Hdf5File() {
  if (id_ >= 0) H5Fclose(id_);
}

void Hdf5File::close() {
  const hid_t id = id_;
  id_ = -1;
  if (id >= 0 && H5Fclose(id) < 0) fail(*this, "cannot be completed");
  if (!failure_.empty()) throw std::runtime_error(failure_);
}

void writeArray(Hdf5File& file, const std::string& name, H5Element type, const std::vector<uint64_t>& shape,
                uint64_t first_row, uint64_t rows, const void* data) {
  const std::vector<hsize_t> dims(shape.begin(), shape.end());
  if (dims.empty() || first_row + rows > dims[0])
    throw std::logic_error("writeArray: rows outside the array \"" + name + "\"");
  const Handle dataset(createDataset(file, name, fileType(type), dims), H5Dclose);
  if (rows == 0) return;
  if (!transfer(dataset.id, memoryType(type), elementBytes(type), dims, first_row, rows, data, nullptr) &&
      file.failure().empty())
    file.failure() = failureText(file, "cannot write the array \"" + name + "\"");
}

void readArray(Hdf5File& file, const std::string& name, H5Element type, uint64_t first_row, uint64_t rows,
               void* data) {
  const Handle dataset(openDataset(file, name), H5Dclose);
  const std::vector<hsize_t> dims = datasetDims(file, dataset.id, name);
  if (first_row + rows > dims[0])
    throw std::runtime_error("file \"" + file.path() + "\": the array \"" + name + "\" has " +
                             std::to_string(dims[0]) + " rows, not the " + std::to_string(first_row + rows) +
                             " needed");
  if (rows > 0 && !transfer(dataset.id, memoryType(type), elementBytes(type), dims, first_row, rows, nullptr, data))
    fail(file, "cannot read the array \"" + name + "\"");
}

std::vector<uint64_t> arrayShape(Hdf5File& file, const std::string& name) {
  const Handle dataset(openDataset(file, name), H5Dclose);
  const std::vector<hsize_t> dims = datasetDims(file, dataset.id, name);
  return {dims.begin(), dims.end()};
}

bool hasArray(Hdf5File& file, const std::string& name) {
  // Each group on the path must exist before the link below it is asked for.
  for (std::size_t slash = name.find('/', 1); ; slash = name.find('/', slash + 1)) {
    const std::string prefix = name.substr(0, slash);
    if (H5Lexists(file.handle(), prefix.c_str(), H5P_DEFAULT) <= 0) return false;
    if (slash == std::string::npos) break;
  }
  const Handle object(H5Oopen(file.handle(), name.c_str(), H5P_DEFAULT), H5Oclose);
  return object.ok() && H5Iget_type(object.id) == H5I_DATASET;
}

void writeTexts(Hdf5File& file, const std::string& name, const std::vector<std::string>& texts) {
  std::size_t width = 1;
  for (const std::string& t : texts) width = std::max(width, t.size());
  const Handle type(textType(width), H5Tclose);
  const std::vector<hsize_t> dims{texts.size()};
  const Handle dataset(createDataset(file, name, type.id, dims), H5Dclose);
  if (file.part().rank != 0 || texts.empty()) return;
  std::string bytes(texts.size() * width, '\0');
  for (std::size_t n = 0; n < texts.size(); ++n) bytes.replace(n * width, texts[n].size(), texts[n]);
  if (H5Dwrite(dataset.id, type.id, H5S_ALL, H5S_ALL, H5P_DEFAULT, bytes.data()) < 0 && file.failure().empty())
    file.failure() = failureText(file, "cannot write the array \"" + name + "\"");
}

std::vector<std::string> readTexts(Hdf5File& file, const std::string& name) {
  const Handle dataset(openDataset(file, name), H5Dclose);
  const std::vector<hsize_t> dims = datasetDims(file, dataset.id, name);
  const Handle stored(H5Dget_type(dataset.id), H5Tclose);
  if (dims.size() != 1 || H5Tget_class(stored.id) != H5T_STRING || H5Tis_variable_str(stored.id) > 0)
    throw std::runtime_error("file \"" + file.path() + "\": the array \"" + name +
                             "\" is not a list of fixed-length strings");
  const std::size_t width = H5Tget_size(stored.id);
  const Handle type(textType(width), H5Tclose);
  std::string bytes(dims[0] * width, '\0');
  if (dims[0] > 0 && H5Dread(dataset.id, type.id, H5S_ALL, H5S_ALL, H5P_DEFAULT, bytes.data()) < 0)
    fail(file, "cannot read the array \"" + name + "\"");
  std::vector<std::string> texts;
  for (std::size_t n = 0; n < dims[0]; ++n) {
    std::string t = bytes.substr(n * width, width);
    t.erase(std::find(t.begin(), t.end(), '\0'), t.end());
    texts.push_back(std::move(t));
  }
  return texts;
}

void writeAttribute(Hdf5File& file, const std::string& name, double value) {
  writeScalarAttribute(file, "/", name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, &value);
}

void writeAttribute(Hdf5File& file, const std::string& name, int64_t value) {
  writeScalarAttribute(file, "/", name, H5T_STD_I64LE, H5T_NATIVE_INT64, &value);
}

void writeAttribute(Hdf5File& file, const std::string& name, const std::string& value) {
  writeTextAttribute(file, "/", name, value);
}

void describeArray(Hdf5File& file, const std::string& array, const std::string& text) {
  writeTextAttribute(file, array, "description", text);
}

double readRealAttribute(Hdf5File& file, const std::string& name) {
  const Handle attribute(openAttribute(file, name, H5T_FLOAT, "a number"), H5Aclose);
  double value = 0.0;
  if (H5Aread(attribute.id, H5T_NATIVE_DOUBLE, &value) < 0) fail(file, "cannot read the attribute \"" + name + "\"");
  return value;
}

int64_t readIntegerAttribute(Hdf5File& file, const std::string& name) {
  const Handle attribute(openAttribute(file, name, H5T_INTEGER, "an integer"), H5Aclose);
  int64_t value = 0;
  if (H5Aread(attribute.id, H5T_NATIVE_INT64, &value) < 0) fail(file, "cannot read the attribute \"" + name + "\"");
  return value;
}

std::string readTextAttribute(Hdf5File& file, const std::string& name) {
  const Handle attribute(openAttribute(file, name, H5T_STRING, "a text"), H5Aclose);
  const Handle stored(H5Aget_type(attribute.id), H5Tclose);
  const std::size_t width = H5Tget_size(stored.id);
  const Handle type(textType(width), H5Tclose);
  std::string text(width, '\0');
  if (H5Aread(attribute.id, type.id, text.data()) < 0) fail(file, "cannot read the attribute \"" + name + "\"");
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  return text;
}

}  // namespace plasmabox
