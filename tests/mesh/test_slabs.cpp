// The slabs of a distributed mesh and their borders, on two processes (one outside mpirun).
#include <gtest/gtest.h>

#include <mpi.h>

#include "mesh/Decomposition.h"
#include "mesh/World.h"
#include "mesh/ghostPlanes.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"

namespace plasmabox {
namespace {

Decomposition thisRun(int32_t ni) {
  const ProcessPlace place = joinProcesses();
  return splitIntoSlabs(ni, place.rank, place.size);
}

TEST(Slabs, PlanesAreSharedWholeAndEvenly) {
  struct Case {
    int32_t ni;
    int size;
    std::vector<int32_t> first;
  };
  for (const Case& c : {Case{10, 1, {0, 10}}, Case{10, 3, {0, 4, 7, 10}}, Case{4, 2, {0, 2, 4}}, Case{9, 4, {0, 3, 5, 7, 9}}}) {
    for (int r = 0; r < c.size; ++r) {
      const Decomposition d = splitIntoSlabs(c.ni, r, c.size);
      EXPECT_EQ(d.first_plane, c.first) << c.ni << " planes on " << c.size;
      for (int32_t cell = -1; cell <= c.ni; ++cell) {
        int owner = 0;
        while (owner + 1 < c.size && c.first[static_cast<std::size_t>(owner) + 1] <= cell) ++owner;
        EXPECT_EQ(d.ownerOfCell(cell), owner) << "cell " << cell;
      }
    }
  }
  EXPECT_THROW(splitIntoSlabs(5, 0, 3), std::runtime_error);  // one process would own one plane
}

TEST(Slabs, GhostPlanesCarryTheNeighboursValuesAndSums) {
  const Decomposition d = thisRun(7);
  World w(d, 3, 2);
  const Grid& g = w.grid;
  // Each owned node holds its global plane number; ghost planes hold -1 until exchanged.
  for (int i = 0; i < g.ni; ++i)
    for (int j = 0; j < g.nj; ++j)
      for (int k = 0; k < g.nk; ++k) {
        const bool owned = i >= g.ownedBegin() && i < g.ownedEnd();
        w.phi(i, j, k) = owned ? g.i0 + i : -1.0;
        w.ef(i, j, k) = owned ? Vec3{1.0 * (g.i0 + i), 2.0, 3.0} : Vec3{};
        w.rho(i, j, k) = 1.0;  // every stored copy deposits one unit
      }
  exchangeGhostPlanes(d, w.phi);
  exchangeGhostPlanes(d, w.ef);
  addGhostPlanesToOwners(d, w.rho);
  for (int i = 0; i < g.ni; ++i) {
    EXPECT_EQ(w.phi(i, 2, 1), g.i0 + i);
    EXPECT_EQ(w.ef(i, 1, 1).x, g.i0 + i);
    // A plane stored by two processes sums both copies.
    const int global = g.i0 + i;
    int copies = 0;
    for (int r = 0; r < d.size; ++r) {
      const Decomposition o = splitIntoSlabs(7, r, d.size);
      copies += global >= o.localBegin() && global < o.localBegin() + o.localCount();
    }
    EXPECT_EQ(w.rho(i, 0, 0), copies) << "plane " << global;
  }
  EXPECT_EQ(sumOverProcesses(d, 1.5), 1.5 * d.size);
  EXPECT_EQ(sumOverProcesses(d, int64_t{3}), 3 * d.size);
  EXPECT_EQ(maxOverProcesses(d, static_cast<double>(d.rank)), d.size - 1);
  EXPECT_EQ(minOverProcesses(d, static_cast<double>(d.rank)), 0.0);
  EXPECT_EQ(anyProcess(d, d.rank == d.size - 1), true);
}

}  // namespace
}  // namespace plasmabox
