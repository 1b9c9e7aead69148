#!/usr/bin/env bash
# The bundled example: a spacecraft-like scene (a cylindrical body, two ring
# electrodes, two cylindrical magnets; examples/spacecraft/scene.amf, 27,136
# triangles, made by tools/make_example_geometry.py) in a 10 cm box of O+ and
# electron plasma. Installs what is missing, builds, runs the simulation, draws
# the pictures and prints where everything is.
#
#   examples/spacecraft/run.sh            # 64^3 nodes
#   N=48 examples/spacecraft/run.sh       # coarser mesh, about 0.4 times the work
#   SKIP_BUILD=1 PLASMABOX=/path/to/plasmabox examples/spacecraft/run.sh
#
# Every positional argument of the program is a named variable below, in
# position order, with its unit and meaning.
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ -z "${SKIP_BUILD:-}" ]; then
  scripts/setup.sh
  scripts/build.sh
fi
plasmabox=${PLASMABOX:-${BUILD_DIR:-build}/plasmabox}  # scripts/build.sh builds into ${BUILD_DIR:-build}

# Nodes per axis. The run time grows with N^3 (the object marking, the two
# field solves and the output files) and the VTK files with it (about 18 MB
# each at 48^3, 42 MB at 64^3). On 2 cores the simulation takes about 30 s at
# 64^3; the pictures take another 5 to 20 s.
N=${N:-64}
out=out/spacecraft

ni=$N                       # 1   nodes along x
nj=$N                       # 2   nodes along y
nk=$N                       # 3   nodes along z
x0_x=0.0                    # 4   mesh origin x (m)
xm_x=0.1                    # 5   mesh far corner x (m)
x0_y=0.0                    # 6   mesh origin y (m)
xm_y=0.1                    # 7   mesh far corner y (m)
x0_z=0.0                    # 8   mesh origin z (m)
xm_z=0.1                    # 9   mesh far corner z (m)
amf_path=examples/spacecraft/scene.amf  # 10 geometry: objects electrode1, electrode2, Body, magnet1, magnet2
# The plasma starts as a slab 4-14 mm from the x = 0 wall, upstream of the
# spacecraft (which spans x = 23-77 mm). Keeping it clear of the objects'
# bounding boxes keeps the per-particle object test cheap.
e_box1_x=0.004              # 11  electron loading box, first corner x (m)
e_box1_y=0.02               # 12  first corner y (m)
e_box1_z=0.02               # 13  first corner z (m)
e_box2_x=0.014              # 14  electron loading box, second corner x (m)
e_box2_y=0.08               # 15  second corner y (m)
e_box2_z=0.08               # 16  second corner z (m)
i_box1_x=0.004              # 17  ion loading box, first corner x (m)
i_box1_y=0.02               # 18  first corner y (m)
i_box1_z=0.02               # 19  first corner z (m)
i_box2_x=0.014              # 20  ion loading box, second corner x (m)
i_box2_y=0.08               # 21  second corner y (m)
i_box2_z=0.08               # 22  second corner z (m)
unused_real=1e-11           # 23  must be a number; not used (the time step is the option dt below)
unused_int=100              # 24  must be an integer; not used (the step count is the option max_step)
csv_prefix=$out/            # 25  put in front of the density CSV names; the VTK files go to $out/vti/
ion_mass_amu=16             # 26  ion mass (amu): O+
solver_max_it=200           # 27  iteration limit of the potential solver (multigrid: conjugate-gradient iterations)
# The potential's residual is the root mean square of the discrete Poisson
# equation over the free nodes, in V/m^2 (README: "Solver residuals"): 0.01
# V/m^2 on this 10 cm box leaves the potential within about 1e-5 V of the
# solution, against electrodes at 270 V. Multigrid (option potential_solver
# below) reaches it in about 20 iterations; over-relaxation would need some
# 5,000 sweeps (it reaches 30 V/m^2 after about 1,900).
solver_tol=1e-2             # 28  tolerance of the potential solver (RMS residual, V/m^2)
density_e=1e12              # 29  electron loading density (m^-3): 1e12 * 3.6e-5 m^3 / 50 = 720,000 macro-particles
density_i=1e12              # 30  ion loading density (m^-3): the same number of O+ macro-particles
output_interval=50          # 31  VTK and CSV files at steps 0, 50, 100, ..., 300
inject_mode=3               # 32  1 ions, 2 electrons, 3 both, other values none
inject_face_i=2             # 33  ion injection plane: 1 normal z, 2 normal x, 3 normal y
inject_face_e=2             # 34  electron injection plane, same codes
drift_i=8000                # 35  ion injection speed along +x (m/s): a spacecraft's orbital speed
drift_e=500000              # 36  electron injection speed along +x (m/s): about a 1 eV electron
# The injected stream has the density of the slab: about 6 O+ and 360 e-
# macro-particles per step through the 6 cm square.
inject_density_i=1e12       # 37  density of the injected ion stream (m^-3)
inject_density_e=1e12       # 38  density of the injected electron stream (m^-3)
i_plane1_x=0.001            # 39  ion injection rectangle, first corner x (m): the plane x = 1 mm
i_plane1_y=0.02             # 40  first corner y (m)
i_plane1_z=0.02             # 41  first corner z (m)
i_plane2_x=0.001            # 42  second corner x (m)
i_plane2_y=0.08             # 43  second corner y (m)
i_plane2_z=0.08             # 44  second corner z (m)
e_plane1_x=0.001            # 45  electron injection rectangle, first corner x (m)
e_plane1_y=0.02             # 46  first corner y (m)
e_plane1_z=0.02             # 47  first corner z (m)
e_plane2_x=0.001            # 48  second corner x (m)
e_plane2_y=0.08             # 49  second corner y (m)
e_plane2_z=0.08             # 50  second corner z (m)
# Multigrid (option magnetic_solver below) reaches 1e-4 A/m^2 in about 20
# iterations; Gauss-Seidel sweeps would still be near 9,400 A/m^2 after 2,000.
mag_max_it=200              # 51  iteration limit of the magnetostatic solver
mag_tol=1e-4                # 52  tolerance of the magnetostatic solver (RMS residual, A/m^2)
num_objects=2               # 53  number of magnets N: N remanence values and N tuples follow
remanence_1=1.2             # 54  remanent flux density of magnet 1 (T); the program sets the first two to 1.2 T
remanence_2=1.2             # 55  remanent flux density of magnet 2 (T)
magnet_1=magnet1            # 56  name of magnet 1, as in the AMF file
magnet_1_dx=0               # 57  magnetisation direction of magnet 1, x
magnet_1_dy=1               # 58  y: both magnets point along +y, across the body
magnet_1_dz=0               # 59  z
magnet_2=magnet2            # 60  name of magnet 2
magnet_2_dx=0               # 61  magnetisation direction of magnet 2, x
magnet_2_dy=1               # 62  y
magnet_2_dz=0               # 63  z

# Run options (name=value after the positional arguments; README: "Run options").
# 300 steps of 5e-11 s, 15 ns, let the electrons travel about 7 mm, over four
# node spacings; the seed makes a second run give the same files.
options=(
  max_step=300                # last step number: steps 0 to 300
  dt=5e-11                    # time step (s)
  seed=1                      # seed of the random source
  potential_solver=multigrid  # the potential by multigrid (positions 27, 28 are its limits)
  magnetic_solver=multigrid   # the magnetostatic potential by multigrid (positions 51, 52)
  series=on                   # $out/series.pvd: open it in ParaView for a time slider in seconds
  particles_every=100         # particle files at steps 0, 100, 200, 300 (vti/00100.O+.vtp, ...)
  particles_sample=20000      # at most 20,000 particles per species and file
)

example=spacecraft
# Puts the variables above in position order, runs the program, draws the pictures.
source examples/run_case.sh
