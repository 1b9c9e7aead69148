#!/usr/bin/env bash
# A cold electron-ion plasma slab whose electrons start with a small drift
# relative to the ions: the charge that separates pulls them back and they
# oscillate at the electron plasma frequency omega_pe = sqrt(n e^2 / (eps0 m_e)),
# 5.64e7 rad/s at 1e12 m^-3. The history file (history.csv) shows the kinetic
# energy of the electrons and the field energy trading places with period
# pi / omega_pe = 56 ns; tools/plot_fields.py draws it (png/history_energy.png).
#
#   examples/oscillation/run.sh
#   PLASMABOX=/path/to/plasmabox examples/oscillation/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

N=65  # nodes along x (the printed mesh size)
out=out/oscillation
source examples/case_defaults.sh

# A 10 cm channel of 65 x 3 x 3 nodes. Its walls keep a zero normal gradient,
# so the slab behaves as a slice of an infinite plane slab.
ni=$N nj=3 nk=3
xm_x=0.1 xm_y=0.01 xm_z=0.01
# Both species fill the slab 2.5 to 7.5 cm at 1e12 m^-3 (50,000 macro-particles each).
e_box1_x=0.025 e_box2_x=0.075 e_box2_y=0.01 e_box2_z=0.01
i_box1_x=0.025 i_box2_x=0.075 i_box2_y=0.01 i_box2_z=0.01
density_e=1e12 density_i=1e12
solver_tol=1e-6             # V/m^2: the fields here are weak
output_interval=100         # VTK and CSV files at steps 0, 100, ..., 600

options=(
  field_model=electrostatic  # the potential solved with each step's charge
  macro_weight=100           # real particles per macro-particle
  load_velocity_e=5e4,0,0    # the electrons' starting drift (m/s): an amplitude of 0.9 mm
  dt=2e-9                    # s: omega_pe dt = 0.11, about 28 steps per field-energy period
  max_step=600               # 1.2 us: about 21 periods of the field energy
  seed=1                     # the same files on every run (on the same number of threads)
  history=$out/history.csv   # counts, energies and the solves, one row per step
  series=on                  # $out/series.pvd for ParaView
)
example=oscillation
source examples/run_case.sh
