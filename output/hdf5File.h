#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Decomposition.h"

namespace plasmabox {

// The few things our checkpoint files need of HDF5, in one place: the only
// file that includes the library's header is hdf5File.cpp.
//
// Arrays are row-major with the rows along their first dimension (a mesh
// plane, a particle, a process); each process of a run writes or reads its
// own run of rows. Names are paths ("species/O+/particles"); the groups on
// the way are created when an array is written.

// Element types of the arrays, the same in memory and in the file (native
// byte order).
enum class H5Element { FLOAT64, INT64, INT32, UINT32 };

template <class T>
constexpr H5Element h5ElementOf();
template <>
constexpr H5Element h5ElementOf<double>() { return H5Element::FLOAT64; }
template <>
constexpr H5Element h5ElementOf<int64_t>() { return H5Element::INT64; }
template <>
constexpr H5Element h5ElementOf<int32_t>() { return H5Element::INT32; }
template <>
constexpr H5Element h5ElementOf<uint32_t>() { return H5Element::UINT32; }

// One HDF5 file, opened by every process of part together. On several
// processes it goes through MPI-IO (parallel HDF5): creating the file, an
// array or an attribute is collective (every process makes the same calls
// with the same names, shapes and values), while each process moves its own
// rows independently. On one process it is a plain POSIX file (HDF5's sec2
// driver), so a run started without mpirun never needs MPI.
class Hdf5File {
 public:
  enum class Mode { CREATE, READ };

  // Creates path (replacing a file of that name) or opens it for reading.
  // Throws std::runtime_error naming the file and the library's reason.
  Hdf5File(const std::string& path, Mode mode, const Decomposition& part);
  ~Hdf5File();
  Hdf5File(const Hdf5File&) = delete;
  Hdf5File& operator=(const Hdf5File&) = delete;

  // Closes the file (collective). Throws std::runtime_error naming the file
  // when it could not be completed, or when a write of this process failed
  // before (the writes do not throw, so that every process reaches the same
  // collective calls).
  void close();

  const std::string& path() const { return path_; }
  const Decomposition& part() const { return part_; }
  int64_t handle() const { return id_; }
  // The first failure of this process's writes, or "".
  std::string& failure() { return failure_; }

 private:
  std::string path_;
  Decomposition part_;
  int64_t id_ = -1;
  std::string failure_;
};

// Creates the array name of the given shape (shape[0] rows of the other
// dimensions' elements) and writes rows [first_row, first_row + rows) from
// data, element type type. Collective: every process calls it with the same
// name and shape, and its own rows (0 rows: none). A failed transfer is
// recorded in file.failure(); a failed creation throws std::runtime_error.
void writeArray(Hdf5File& file, const std::string& name, H5Element type, const std::vector<uint64_t>& shape,
                uint64_t first_row, uint64_t rows, const void* data);

// Reads rows [first_row, first_row + rows) of the array name into data as
// elements of type (the library converts from the stored type). This
// process alone. Throws std::runtime_error naming the file and the array
// when it is missing or the rows are out of its range.
void readArray(Hdf5File& file, const std::string& name, H5Element type, uint64_t first_row, uint64_t rows,
               void* data);

// The shape of the array name. Throws std::runtime_error naming the file and
// the array when there is none.
std::vector<uint64_t> arrayShape(Hdf5File& file, const std::string& name);

// Whether the array name exists.
bool hasArray(Hdf5File& file, const std::string& name);

// A one-dimensional array of fixed-length strings (as long as the longest),
// written by rank 0 (its values count). Collective as writeArray.
void writeTexts(Hdf5File& file, const std::string& name, const std::vector<std::string>& texts);

// The strings of writeTexts (trailing NUL bytes removed). Throws as readArray.
std::vector<std::string> readTexts(Hdf5File& file, const std::string& name);

// Attributes of the file's root group: a number or a text. Collective when
// written, with the same value on every process.
void writeAttribute(Hdf5File& file, const std::string& name, double value);
void writeAttribute(Hdf5File& file, const std::string& name, int64_t value);
void writeAttribute(Hdf5File& file, const std::string& name, const std::string& value);

// Gives the array the text attribute "description" (what it holds, its
// unit), for whoever opens the file with another tool. Collective.
void describeArray(Hdf5File& file, const std::string& array, const std::string& text);

// The root attribute name, converted. Throws std::runtime_error naming the
// file and the attribute when it is missing or of another kind.
double readRealAttribute(Hdf5File& file, const std::string& name);
int64_t readIntegerAttribute(Hdf5File& file, const std::string& name);
std::string readTextAttribute(Hdf5File& file, const std::string& name);

// Typed forms of writeArray and readArray.
template <class T>
void writeRows(Hdf5File& file, const std::string& name, const std::vector<uint64_t>& shape, uint64_t first_row,
               uint64_t rows, const T* data) {
  writeArray(file, name, h5ElementOf<T>(), shape, first_row, rows, data);
}
template <class T>
void readRows(Hdf5File& file, const std::string& name, uint64_t first_row, uint64_t rows, T* data) {
  readArray(file, name, h5ElementOf<T>(), first_row, rows, data);
}

}  // namespace plasmabox
