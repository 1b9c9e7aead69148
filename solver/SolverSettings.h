#pragma once

#include <cstdint>

namespace plasmabox {

// How a relaxation solve runs: its limits and how often it measures its
// residual. A check follows sweep 1, then every check_interval sweeps.
struct RelaxationControl {
  int32_t max_it = 0;           // sweep limit; a negative limit allows no sweep
  double tol = 0.0;             // bound on the root-mean-square residual
  int32_t check_interval = 25;  // sweeps per residual check (at least 1)
  int threads = 1;              // OpenMP team of the sweeps (at least 1)
};

// Everything the electrostatic potential solver needs besides the mesh.
struct PotentialSettings {
  int32_t method = 0;  // 0 SOR (parallel), 1 Newton + PCG, 2 Boltzmann inversion, 3 SOR Boltzmann
  int32_t max_it = 0;  // iteration limit of the linear solvers; negative counts as 0
  double tol = 0.0;    // bound on the root-mean-square residual
  double phi0 = 0.0;   // V, reference potential of the Boltzmann electrons
  double ne0 = 1e12;   // m^-3, reference electron density
  double kTe = 1.5;    // eV, electron temperature
  double sor_factor = 1.8;            // over-relaxation of the linear Poisson sweep
  double boltzmann_sor_factor = 1.4;  // over-relaxation of the Poisson-Boltzmann sweep
  int32_t check_interval = 25;        // sweeps per residual check
  int32_t newton_max_steps = 20;      // Newton steps before giving up
  double newton_tol = 0.001;          // V, root-mean-square Newton update that ends the iteration
  bool multigrid = false;             // linear solves by multigrid instead of relaxation (or PCG in Newton)
  bool grounded_walls = false;        // the six walls held at 0 V instead of a zero normal gradient
  // With zero-gradient walls and no object holding the potential, the system
  // fixes the potential only up to a constant: remove the mean of the source
  // and solve for the potential of zero mean (otherwise: solve as it is).
  bool zero_mean_when_singular = false;
  bool quiet = false;                 // print nothing but failure lines (per-step solves)
  int threads = 1;                    // OpenMP team of the parallel sweeps

  RelaxationControl relaxation() const { return {max_it, tol, check_interval, threads}; }
};

// Everything the magnetostatic solver needs besides the mesh.
struct MagnetostaticSettings {
  int32_t max_it = 0;           // Gauss-Seidel sweep limit
  double tol = 0.0;             // A/m^2, bound on the root-mean-square residual
  int32_t check_interval = 25;  // sweeps per residual check
  bool multigrid = false;       // solve by multigrid instead of Gauss-Seidel sweeps
  int threads = 1;              // OpenMP team of the sweeps

  RelaxationControl relaxation() const { return {max_it, tol, check_interval, threads}; }
};

}  // namespace plasmabox
