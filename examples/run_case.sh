# Shared tail of the example run scripts, sourced after they have set every
# positional argument as a named variable (and $plasmabox, $out, $N, $example,
# and optionally the run options as the array $options). The magnets come
# from the array $magnets (remanence values, then NAME X Y Z per magnet) when
# it is set, otherwise from the variables of two magnets.
# Puts the arguments in position order, runs the program with its console saved
# to $out/run.log, draws the pictures and prints where the outputs are.

args=(
  "$ni" "$nj" "$nk" "$x0_x" "$xm_x" "$x0_y" "$xm_y" "$x0_z" "$xm_z" "$amf_path"
  "$e_box1_x" "$e_box1_y" "$e_box1_z" "$e_box2_x" "$e_box2_y" "$e_box2_z"
  "$i_box1_x" "$i_box1_y" "$i_box1_z" "$i_box2_x" "$i_box2_y" "$i_box2_z"
  "$unused_real" "$unused_int" "$csv_prefix" "$ion_mass_amu" "$solver_max_it" "$solver_tol"
  "$density_e" "$density_i" "$output_interval" "$inject_mode" "$inject_face_i" "$inject_face_e"
  "$drift_i" "$drift_e" "$inject_density_i" "$inject_density_e"
  "$i_plane1_x" "$i_plane1_y" "$i_plane1_z" "$i_plane2_x" "$i_plane2_y" "$i_plane2_z"
  "$e_plane1_x" "$e_plane1_y" "$e_plane1_z" "$e_plane2_x" "$e_plane2_y" "$e_plane2_z"
  "$mag_max_it" "$mag_tol" "$num_objects"
)
if declare -p magnets >/dev/null 2>&1; then
  args+=(${magnets[@]+"${magnets[@]}"})
else
  args+=("$remanence_1" "$remanence_2" "$magnet_1" "$magnet_1_dx" "$magnet_1_dy" "$magnet_1_dz"
         "$magnet_2" "$magnet_2_dx" "$magnet_2_dy" "$magnet_2_dz")
fi
args+=(${options[@]+"${options[@]}"})

# Each run replaces the outputs of the previous one.
rm -rf "$out"
mkdir -p "$out/vti" "$out/png"
log=$out/run.log
echo "Running $plasmabox on ${N}^3 nodes; console saved to $log"
start=$SECONDS
# Standard input from /dev/null answers the program's "Press the enter key" prompt.
"$plasmabox" "${args[@]}" < /dev/null 2>&1 | tee "$log"
echo "Simulation finished in $((SECONDS - start)) s (wall clock, including output)"

# Pictures: the first interpreter that has numpy and matplotlib (a private
# Python earlier on PATH may lack the Debian packages).
python=""
for candidate in "${PYTHON:-}" python3 /usr/bin/python3; do
  if [ -n "$candidate" ] && "$candidate" -c 'import numpy, matplotlib' >/dev/null 2>&1; then
    python=$candidate
    break
  fi
done
last_vti=$(ls "$out"/vti/*.vti 2>/dev/null | sort | tail -n 1 || true)
if [ -z "$python" ]; then
  echo "No Python with numpy and matplotlib: pictures skipped (install python3-numpy python3-matplotlib)"
elif [ -z "$last_vti" ]; then
  echo "No VTK file was written: pictures skipped"
else
  "$python" tools/plot_fields.py "$last_vti" --out "$out/png" ${plot_options[@]+"${plot_options[@]}"} > /dev/null
  "$python" tools/plot_fields.py --log "$log" --out "$out/png" > /dev/null
fi

series_note="(not written: add series=on to the run options)"
[ -f "$out/series.pvd" ] && series_note="(open it in ParaView: File > Open, then Apply; the time slider shows seconds)"
cat <<EOF

Outputs of the $example example:
  console log        $log
  VTK files          $out/vti/      (open in ParaView: File > Open, then Apply)
  time series        $out/series.pvd $series_note
  density CSV files  ${csv_prefix}output_O_<step>.csv (O+), ${csv_prefix}output_e_<step>.csv (e-)
  pictures           $out/png/      (mid-plane slices of ${last_vti:-the last VTK file}, particle_counts.png)
EOF
