#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mesh/World.h"
#include "output/gatherPlanes.h"
#include "particles/Species.h"
#include "particles/currentDensity.h"

namespace plasmabox {

// VTK's name of the element type of a node value, and its component count.
template <class T>
constexpr std::string_view vtkTypeName() {
  if constexpr (std::is_same_v<T, int32_t>) return "Int32";
  return "Float64";
}
template <class T>
constexpr int vtkComponents() {
  if constexpr (std::is_same_v<T, Vec3>) return 3;
  return 1;
}

// The point arrays of the VTK image file, in file order: object_id, NodeVol,
// phi, rho, ne_boltzmann (only when the electrons are a Boltzmann fluid: its
// density, m^-3, which rho leaves out), j.NAME per species, vel.NAME per
// species, ef, phi_m, phi_m_theory, B, H, M. Calls visit(name, value, stored) for each: value(q) gives the value
// (int32_t, double or Vec3) at local storage index q; stored is false for a
// field whose storage does not match its counts (written as zeros).
template <class Visit>
void forEachImageArray(const World& world, const std::vector<Species>& species, Visit&& visit) {
  const auto field = [&visit](const std::string& name, const auto& f) {
    const auto* v = f.data.data();
    visit(name, [v](std::size_t q) { return v[q]; }, f.data.size() == f.nodeCount(f.ni, f.nj, f.nk));
  };
  field("object_id", world.object_id);
  field("NodeVol", world.grid.node_vol);
  field("phi", world.phi);
  field("rho", world.rho);
  if (world.electron_fluid) {
    const ElectronFluid fluid = *world.electron_fluid;
    const double* phi = world.phi.data.data();
    visit("ne_boltzmann", [fluid, phi](std::size_t q) { return fluid.density(phi[q]); },
          world.phi.data.size() == world.phi.nodeCount(world.phi.ni, world.phi.nj, world.phi.nk));
  }
  for (const Species& s : species) visit("j." + s.name, [&s](std::size_t q) { return currentDensityAt(s, q); }, true);
  for (const Species& s : species) field("vel." + s.name, s.vel);
  field("ef", world.ef);
  field("phi_m", world.phi_m);
  // Kept for readers of earlier files: a reference solution nothing computes.
  visit("phi_m_theory", [](std::size_t) { return 0.0; }, true);
  field("B", world.B);
  field("H", world.H);
  field("M", world.M);
}

// One point array of the image as this process holds it, for the writers of
// a distributed run.
struct ImageArray {
  std::string name;
  std::string_view type;  // "Int32" or "Float64"
  int components = 1;
  std::size_t node_bytes = 0;
  OfferedData z_planes;  // items: the owned nodes of z-planes (offeredZPlanes)
  // Local x-plane i in storage order (j, then k), nj * nk values.
  std::function<void(int32_t i, std::byte* out)> x_plane;
};

// The arrays of forEachImageArray on this process's slab.
std::vector<ImageArray> imageArrays(const World& world, const std::vector<Species>& species);

}  // namespace plasmabox
