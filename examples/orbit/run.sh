#!/usr/bin/env bash
# The spacecraft scene (examples/spacecraft/scene.amf) in low Earth orbit: the
# ionosphere's O+ at 1e11 m^-3 and 0.1 eV flows past it at the orbital speed,
# 7.8 km/s along +x, across the geomagnetic field (30 uT along z); the plasma
# surrounds the body on every side and enters through all six walls. The
# electrons are a Boltzmann fluid at 0.1 eV. The body and the electrodes sit
# at the plasma potential (0 V). Ions that hit the body are absorbed, and the
# flow, five times faster than the ions' thermal speed, fills the space behind
# the body only slowly: an ion wake trails downstream, a region of low ion
# density and negative potential (png/STEP_density_O_z.png, png/STEP_phi_z.png).
# The run covers two transits of the ions across the box; the history file
# records the ion current each object collects and the ions entering and
# leaving through the walls.
#
#   examples/orbit/run.sh             # 48^3 nodes, about a minute on 2 cores
#   KINETIC=1 examples/orbit/run.sh   # kinetic electrons instead of the fluid, 32^3 nodes
#   N=32 examples/orbit/run.sh
#
# KINETIC=1 pushes the electrons as particles too: their time step is 20
# times shorter (the plasma frequency), so the mesh is coarser. The electrons
# gyrate about the field lines (radius about 2.5 cm at their thermal speed, a
# period of 1.2 us: png/STEP_density_e_z.png shows the wake in their density).
set -euo pipefail
cd "$(dirname "$0")/../.."

kinetic=${KINETIC:-0}
if [ "$kinetic" = 1 ]; then N=${N:-32}; out=out/orbit_kinetic; else N=${N:-48}; out=out/orbit; fi
source examples/case_defaults.sh

ni=$N nj=$N nk=$N
xm_x=0.1 xm_y=0.1 xm_z=0.1               # the 10 cm box of the spacecraft scene
amf_path=examples/spacecraft/scene.amf
solver_max_it=200 solver_tol=1e-2        # multigrid iterations and tolerance (V/m^2)

options=(
  field_model=electrostatic   # the potential solved with the plasma's charge every step
  ambient_density=1e11        # m^-3, ions and electrons
  ambient_drift=7800,0,0      # m/s: the orbital speed, the plasma flowing past the spacecraft
  ambient_temperature_i=0.1   # eV
  ambient_temperature_e=0.1   # eV
  background_B=0,0,3e-5       # T: the geomagnetic field across the flow (motional field 0.23 V/m along y)
  voltage.electrode1=0        # the electrodes and the body at the plasma potential
  seed=1
  history=$out/history.csv
  series=on
)
if [ "$kinetic" = 1 ]; then
  # 1e5 macro-particles per species; dt: omega_pe dt = 0.18, electrons cross
  # 0.4 cells per step; 1300 steps carry the ions across the box once.
  options+=(macro_weight=1000 dt=1e-8 max_step=1300)
  output_interval=650
else
  # Boltzmann electrons (Newton's iteration with multigrid steps): an ion time
  # step, the flow crossing a third of a cell per step; 300 steps are two
  # transits of the box. 5e5 macro-particles.
  options+=(potential_method=1 macro_weight=200 dt=8.5e-8 max_step=300)
  output_interval=150
fi
example=orbit
source examples/run_case.sh
