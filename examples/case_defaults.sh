# Neutral values for every positional argument of the program, as named
# variables in position order: a 1 m box of 17^3 nodes, no loading, no
# injection, no magnets. An example script sources this, then sets only what
# its case changes, then sources examples/run_case.sh. The program is
# $PLASMABOX, else the build's; a missing build is installed and built first.

plasmabox=${PLASMABOX:-${BUILD_DIR:-build}/plasmabox}
if [ ! -x "$plasmabox" ]; then
  scripts/setup.sh
  scripts/build.sh
fi

ni=17 nj=17 nk=17                       # 1-3    nodes along x, y, z
x0_x=0 xm_x=1 x0_y=0 xm_y=1 x0_z=0 xm_z=1  # 4-9  mesh origin and far corner per axis (m)
amf_path=examples/oscillation/empty.amf   # 10   geometry file (here: no objects)
e_box1_x=0 e_box1_y=0 e_box1_z=0        # 11-13  electron loading box, first corner (m)
e_box2_x=1 e_box2_y=1 e_box2_z=1        # 14-16  second corner (m)
i_box1_x=0 i_box1_y=0 i_box1_z=0        # 17-19  ion loading box, first corner (m)
i_box2_x=1 i_box2_y=1 i_box2_z=1        # 20-22  second corner (m)
unused_real=1e-11 unused_int=100        # 23, 24 must be a number and an integer; not used
csv_prefix=$out/                        # 25     density CSV names; the VTK files go to $out/vti/
ion_mass_amu=16                         # 26     ion mass (amu): O+
solver_max_it=200 solver_tol=1e-3       # 27, 28 potential solver limit and tolerance (V/m^2)
density_e=0 density_i=0                 # 29, 30 loading densities (m^-3); at most 10: nothing loaded
output_interval=100                     # 31     VTK and CSV files every this many steps
inject_mode=0                           # 32     1 ions, 2 electrons, 3 both, other values none
inject_face_i=2 inject_face_e=2         # 33, 34 injection planes: 1 normal z, 2 normal x, 3 normal y
drift_i=0 drift_e=0                     # 35, 36 injection drift speeds along the plane normal (m/s)
inject_density_i=0 inject_density_e=0   # 37, 38 densities of the injected streams (m^-3)
i_plane1_x=0 i_plane1_y=0 i_plane1_z=0 i_plane2_x=0 i_plane2_y=1 i_plane2_z=1  # 39-44 ion plane corners (m)
e_plane1_x=0 e_plane1_y=0 e_plane1_z=0 e_plane2_x=0 e_plane2_y=1 e_plane2_z=1  # 45-50 electron plane corners (m)
mag_max_it=200 mag_tol=1e-4             # 51, 52 magnetostatic solver limit and tolerance (A/m^2)
num_objects=0                           # 53     no magnets: no remanence values, no tuples follow
magnets=()                              # remanence values, then NAME X Y Z per magnet
