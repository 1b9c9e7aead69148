#!/usr/bin/env bash
# Ions streaming past the spacecraft at orbital speed: O+ at 8 km/s (5.3 eV,
# far above their 0.1 eV thermal energy) flow along +x past the body of the
# spacecraft scene (examples/spacecraft/scene.amf), the electrons a Boltzmann
# fluid at 1.5 eV. The body absorbs the ions that hit it and the thermal
# motion fills the space behind it only slowly: an ion wake, a region of low
# ion density and negative potential, trails downstream (x above 0.08 m) in
# the pictures png/00240_density_O_z.png and png/00240_phi_z.png. The history
# file records the ion current each object collects.
#
#   examples/wake/run.sh           # 48^3 nodes, about 15 s on 2 cores
#   N=32 examples/wake/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

N=${N:-48}
out=out/wake
source examples/case_defaults.sh

ni=$N nj=$N nk=$N
xm_x=0.1 xm_y=0.1 xm_z=0.1              # the 10 cm box of the spacecraft scene
amf_path=examples/spacecraft/scene.amf
# Ions fill the box at 1e11 m^-3 (the Debye length is 2.9 cm, cells 2.1 mm):
# 500,000 macro-particles at the weight of the options below.
i_box2_x=0.1 i_box2_y=0.1 i_box2_z=0.1  # ions over the whole box
density_i=1e11
inject_mode=1                            # ions only: the electrons are a fluid
inject_face_i=2                          # through the plane x = 1 mm, normal x
drift_i=8000                             # m/s along +x
inject_density_i=1e11                    # the same density upstream
i_plane1_x=0.001 i_plane1_y=0 i_plane1_z=0 i_plane2_x=0.001 i_plane2_y=0.1 i_plane2_z=0.1
solver_max_it=200 solver_tol=1e-2        # multigrid steps of Newton's iteration (V/m^2)
output_interval=120                      # VTK and CSV files at steps 0, 120, 240

options=(
  field_model=electrostatic    # the potential solved with the ions' charge every other step
  solve_every=2
  potential_method=1           # Boltzmann electrons, Newton's iteration (multigrid steps)
  boltzmann_ne0=1e11           # m^-3: the electrons' density where phi = boltzmann_phi0 = 0
  boltzmann_kTe=1.5            # eV
  voltage.electrode1=0         # the electrodes and the body at the plasma potential
  macro_weight=200             # real particles per macro-particle
  load_velocity_i=8000,0,0     # the loaded ions stream with the injected ones
  temperature_i=0.1            # eV
  dt=5e-8                      # s: an ion crosses a cell in about 5 steps
  max_step=240                 # 12 us: the stream crosses the box once
  seed=1
  history=$out/history.csv
  series=on
)
example=wake
source examples/run_case.sh
