#pragma once

#include <cstddef>
#include <vector>

#include "mesh/NodeField.h"

namespace plasmabox {

// Dense vector of doubles, one entry per unknown. Node (i, j, k) of an
// ni x nj x nk mesh is unknown u = i + j*ni + k*ni*nj (i fastest), which is
// NOT the storage order of the node fields (k fastest); fieldToVector and
// vectorToField translate between the two.
using DenseVector = std::vector<double>;

// Unknown number of node (i, j, k) on a mesh of ni x nj nodes per k-plane:
// i + j*ni + k*ni*nj, i fastest.
constexpr std::size_t unknownIndex(int i, int j, int k, int ni, int nj) {
  return static_cast<std::size_t>(i) +
         static_cast<std::size_t>(ni) * (static_cast<std::size_t>(j) + static_cast<std::size_t>(nj) * static_cast<std::size_t>(k));
}

// The binary operations below return a vector of the length of their first
// operand and assume the second is at least as long.

// Entry i = a[i] - b[i].
DenseVector operator-(const DenseVector& a, const DenseVector& b);

// Entry i = a[i] + b[i].
DenseVector operator+(const DenseVector& a, const DenseVector& b);

// Entry i = a[i] * s.
DenseVector operator*(double s, const DenseVector& a);

// Sum of a[i] * b[i], accumulated in index order from 0.0.
double dot(const DenseVector& a, const DenseVector& b);

// Root mean square of a: sqrt(sum of a[i]^2 in index order / len(a)). This,
// not the Euclidean length, is what every convergence test compares with its
// tolerance. An empty vector gives 0.0 (there is nothing to be large).
double norm(const DenseVector& a);

// New vector of ni*nj*nk entries with entry i + j*ni + k*ni*nj = f(i, j, k).
DenseVector fieldToVector(const Field& f);

// f(i, j, k) = x[i + j*ni + k*ni*nj] for every node of f. Assumes x has at
// least ni*nj*nk entries.
void vectorToField(const DenseVector& x, Field& f);

}  // namespace plasmabox
