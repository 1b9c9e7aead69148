#!/usr/bin/env bash
# The spacecraft scene (examples/spacecraft/scene.amf) in sunlight, floating
# in the thin, hot plasma of the solar wind (5e6 m^-3, 10 eV). The body and
# its two ring electrodes are one conductor (the electrodes biased at 0 V
# against the body), starting at 0 V; the walls are grounded, the plasma
# fills the box and enters through every wall. The sun shines along
# (1, 0.5, 0.3): each sunlit triangle emits photoelectrons (2 eV), the rest
# of the scene shades what lies behind it. The photoelectron current exceeds
# the plasma's electron current many times over, so the body charges
# positive, a few photoelectron temperatures, until the photoelectrons that
# still escape balance the electrons it collects; most of them fall back and
# form a cloud over the sunlit side (png/STEP_density_e_emitted_z.png; the
# potential in png/STEP_phi_z.png). At 40^3 the body reaches +6.1 V after
# 4 us, still rising by about 0.1 V per microsecond. The magnets are no conductors: they
# absorb and emit like the rest, without a potential of their own.
#
#   examples/sunlit/run.sh          # 40^3 nodes, about 3 minutes on 2 cores
#   SUN=0 examples/sunlit/run.sh    # no sunlight: the body charges negative
#   N=32 examples/sunlit/run.sh
#
# Time scale. In the real solar wind the body (a few pF) would take about a
# millisecond to charge: a million steps of the electrons' time step. The
# example multiplies the plasma's density and the photoelectron current
# together by 1000 (5e9 m^-3, 2e-2 A/m^2): the ratio of the two currents,
# which decides the floating potential, is kept, and the charging takes a
# few microseconds. The Debye lengths shrink by sqrt(1000): the plasma's is still
# three times the box, but the photoelectron cloud's is about 2 cm instead of
# 70 cm, so its space charge holds back more of the photoelectrons than in
# space and the body floats somewhat lower. Without sunlight the body heads
# for about -40 V, at a rate the example's run shows but does not finish
# (-2.4 V after 4 us at 32^3): there the scaling changes only the time it
# takes.
#
# The history file has, every step, the body's potential and charge
# (potential_Body_V, charge_Body_C), the current each object collects and
# the photoelectron current it emits (photo_Body_A, negative: charge carried
# away).
set -euo pipefail
cd "$(dirname "$0")/../.."

N=${N:-40}
sun=${SUN:-1}
if [ "$sun" = 1 ]; then out=out/sunlit; else out=out/sunlit_dark; fi
source examples/case_defaults.sh

ni=$N nj=$N nk=$N
xm_x=0.1 xm_y=0.1 xm_z=0.1               # the 10 cm box of the spacecraft scene
amf_path=examples/spacecraft/scene.amf
solver_max_it=200 solver_tol=1e-3        # multigrid, V/m^2
output_interval=2000

options=(
  field_model=electrostatic
  walls=grounded                  # the undisturbed plasma's potential
  ambient_density=5e9             # m^-3: the solar wind's 5e6, times 1000 (see above)
  ambient_temperature_e=10        # eV
  ambient_temperature_i=10        # eV
  floating=Body                   # it starts at 0 V and carries what it collects and emits
  bias.electrode1=Body:0          # the electrodes are part of the body's conductor
  bias.electrode2=Body:0
  macro_weight=200                # 25,000 macro-particles of each ambient species
  dt=5e-10                        # s: 10 eV electrons cross half a cell per step
  max_step=8000                   # 4 us: a few charging times
  seed=1
  history=$out/history.csv
  series=on
)
if [ "$sun" = 1 ]; then
  options+=(sun=1,0.5,0.3 photo_current=2e-2 photo_temperature=2)
fi
example=sunlit
source examples/run_case.sh
echo "  emitted electrons  ${csv_prefix}output_emitted_<step>.csv"
echo "  body potential     $out/history.csv (column potential_Body_V)"
