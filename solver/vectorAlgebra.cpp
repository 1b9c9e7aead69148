#include "solver/vectorAlgebra.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace plasmabox {

DenseVector operator-(const DenseVector& a, const DenseVector& b) {
  DenseVector r(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) r[i] = a[i] - b[i];
  return r;
}

DenseVector operator+(const DenseVector& a, const DenseVector& b) {
  DenseVector r(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) r[i] = a[i] + b[i];
  return r;
}

DenseVector operator*(double s, const DenseVector& a) {
  DenseVector r(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) r[i] = a[i] * s;
  return r;
}

double dot(const DenseVector& a, const DenseVector& b) {
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

double norm(const DenseVector& a) {
  if (a.empty()) return 0.0;  // 0/0 would report a NaN residual for an empty system
  double sum = 0.0;
  for (double v : a) sum += v * v;
  return std::sqrt(sum / static_cast<int32_t>(a.size()));
}

DenseVector fieldToVector(const Field& f) {
  DenseVector x(f.size());
  const std::size_t nij = static_cast<std::size_t>(f.ni) * static_cast<std::size_t>(f.nj);
  for (int i = 0; i < f.ni; ++i)
    for (int j = 0; j < f.nj; ++j) {
      const double* line = f.line(i, j);
      const std::size_t base = unknownIndex(i, j, 0, f.ni, f.nj);
      for (int k = 0; k < f.nk; ++k) x[base + static_cast<std::size_t>(k) * nij] = line[k];
    }
  return x;
}

void vectorToField(const DenseVector& x, Field& f) {
  const std::size_t nij = static_cast<std::size_t>(f.ni) * static_cast<std::size_t>(f.nj);
  for (int i = 0; i < f.ni; ++i)
    for (int j = 0; j < f.nj; ++j) {
      double* line = f.line(i, j);
      const std::size_t base = unknownIndex(i, j, 0, f.ni, f.nj);
      for (int k = 0; k < f.nk; ++k) line[k] = x[base + static_cast<std::size_t>(k) * nij];
    }
}

}  // namespace plasmabox
