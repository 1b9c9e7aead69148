#!/usr/bin/env bash
# tools/plot_fields.py on a tiny case in the program's file layout: pictures and
# the values it reads, the history file, the default output folder, and a
# binary file written by VTK itself (when VTK's Python module is there).
# Skips (status 0) when numpy or matplotlib is missing.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
tool="$repo/tools/plot_fields.py"

# The first interpreter with both libraries (a private Python on PATH may lack them).
python=""
for candidate in "${PYTHON:-}" python3 /usr/bin/python3; do
  [ -n "$candidate" ] && "$candidate" -c 'import numpy, matplotlib' >/dev/null 2>&1 && { python=$candidate; break; }
done
[ -n "$python" ] || { echo "plot_fields_test: skipped (numpy or matplotlib missing)"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run/vti"
fail() { echo "plot_fields_test: FAILED: $*"; exit 1; }

# 5 x 4 x 3 nodes whose values encode their node, so an ordering fault shows.
"$python" - "$work/run" <<'EOF_PY'
import sys
out, (ni, nj, nk) = sys.argv[1], (5, 4, 3)
def array(name, ncomp, f, typ="Float64"):
    rows = ["".join(" ".join("%g" % c for c in (f(i, j, k) if ncomp == 3 else (f(i, j, k),))) + " "
                    for j in range(nj) for i in range(ni)) for k in range(nk)]
    return ['<DataArray Name="%s" NumberOfComponents="%d" format="ascii" type="%s">' % (name, ncomp, typ)] + rows + ["</DataArray>"]
vti = ['<VTKFile type="ImageData">', '<ImageData Origin="0 0 0" Spacing="0.01 0.01 0.01" WholeExtent="0 4 0 3 0 2">', "<PointData>"]
vti += array("object_id", 1, lambda i, j, k: 1 if (i, j) == (2, 2) else 0, "Int32")
vti += array("NodeVol", 1, lambda i, j, k: 1e-6) + array("phi", 1, lambda i, j, k: i + 10 * j + 100 * k)
vti += array("rho", 1, lambda i, j, k: -1.5e-9 * i)
for q, s in (("j", "O+"), ("j", "e-"), ("vel", "O+"), ("vel", "e-")):
    vti += array(q + "." + s, 3, lambda i, j, k: (1e-3 * i if q == "j" else 1e5 * i, 0, 0))
vti += array("ef", 3, lambda i, j, k: (-1.0, 2.5e4, 0)) + array("phi_m", 1, lambda *n: 0) + array("phi_m_theory", 1, lambda *n: 0)
vti += array("B", 3, lambda i, j, k: (0, 0, 0.01 * (i + 1))) + array("H", 3, lambda *n: (0, 0, 0)) + array("M", 3, lambda *n: (0, 0, 0))
open(out + "/vti/00025.vti", "w").write("\n".join(vti + ["</PointData>", "</ImageData>", "</VTKFile>"]) + "\n")
for letter, scale in (("O", 1e12), ("e", 2e12)):
    with open("%s/a_output_%s_25.csv" % (out, letter), "w") as f:
        f.write("x,y,z,data\n")
        for k in range(nk):
            f.write("".join("%d,%d,%d,%g\n" % (i, j, k, scale * (i + j + k)) for j in range(nj) for i in range(ni)) + "\n")
        f.write("\n")
log = ["Loading file: scene.amf", "Size of species: 2"]
for ts in range(4):
    log += ["mv_part time: %g seconds" % (0.01 * (ts + 1)), "ts: %d\t O+:%d\t e-:%d" % (ts, 100 + ts, 200 - 3 * ts)]
open(out + "/run.log", "w").write("\n".join(log + ["Simulation took 1.23 seconds"]) + "\n")
# A history file beside the vti folder: two species, two objects, the solve columns empty on step 1.
hist = ["step,time_s,O+_count,O+_kinetic_J,e-_count,e-_kinetic_J,field_energy_J,phi_min_V,phi_max_V,"
        "solve_iterations,solve_residual,current_electrode1_A,current_Body_A"]
for ts in range(4):
    solve = "" if ts == 1 else "%d,%g" % (100 + ts, 1e-3)
    hist.append("%d,%g,%d,%g,%d,%g,%g,-1,270,%s,%g,%g" % (ts, 1e-11 * (ts + 1), 100 + ts, 1e-15 * (ts + 1), 200 - 3 * ts,
                                                       2e-16, 5e-12, solve if solve else ",", -1e-6 * ts, 2e-7))
open(out + "/history.csv", "w").write("\n".join(hist) + "\n")
EOF_PY

# Without --out the pictures go to png beside the vti folder; the history beside it is plotted too.
"$python" "$tool" "$work/run/vti/00025.vti" --planes z > "$work/list.txt" || fail "vti mode exited $?"
"$python" "$tool" --log "$work/run/run.log" --out "$work/png" >> "$work/list.txt" || fail "log mode exited $?"
for f in run/png/00025_{phi,object_id,rho,density_O,density_e,E_magnitude,B_magnitude}_z \
         run/png/history_{energy,counts,currents} png/particle_counts; do
  [ "$(head -c 8 "$work/$f.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$f.png missing or not a PNG"
done
grep -q "particle_counts.png" "$work/list.txt" && grep -q "history_currents.png" "$work/list.txt" || fail "written files not listed"

"$python" - "$repo/tools" "$work/run" <<'EOF_PY' || fail "reader values"
import sys
sys.path.insert(0, sys.argv[1])
import plot_fields as pf
run = sys.argv[2]
grid, a = pf.read_vti(run + "/vti/00025.vti")
assert grid["counts"] == (5, 4, 3) and a["phi"][3, 2, 1] == 123.0, a["phi"][3, 2, 1]
assert a["object_id"].sum() == 3 and a["B"][4, 0, 2, 2] == 0.05
den = pf.densities(run + "/vti/00025.vti", grid, a, {})
assert den["O+"][0][1, 2, 2] == 5e12 and den["e-"][0][1, 2, 2] == 1e13, den["e-"][0][1, 2, 2]
steps, counts, times = pf.parse_log(run + "/run.log")
assert steps == [0, 1, 2, 3] and counts["e-"][3] == 191 and times[3] == 0.04, (steps, counts, times)
cols, h = pf.read_history(run + "/history.csv")
assert cols[-2:] == ["current_electrode1_A", "current_Body_A"] and h["e-_count"][3] == 191, cols
assert pf.np.isnan(h["solve_iterations"][1]) and h["solve_iterations"][2] == 102 and h["current_electrode1_A"][3] == -3e-6
EOF_PY

# A binary file (appended raw data, zlib) written by VTK itself reads to the same arrays as the text file.
if "$python" -c 'import vtk' >/dev/null 2>&1; then
  "$python" - "$repo/tools" "$work/run" <<'EOF_PY' || fail "binary read-back"
import sys, vtk
sys.path.insert(0, sys.argv[1])
import plot_fields as pf
run = sys.argv[2]
r = vtk.vtkXMLImageDataReader()
r.SetFileName(run + "/vti/00025.vti")
r.Update()
w = vtk.vtkXMLImageDataWriter()
w.SetFileName(run + "/binary.vti")
w.SetInputData(r.GetOutput())
for setting in (w.SetDataModeToAppended, w.EncodeAppendedDataOff, w.SetHeaderTypeToUInt64, w.SetCompressorTypeToZLib):
    setting()
assert w.Write() == 1
grid_t, text = pf.read_vti(run + "/vti/00025.vti")
grid_b, binary = pf.read_vti(run + "/binary.vti")
assert grid_t == grid_b and sorted(text) == sorted(binary), (grid_t, grid_b)
assert all((text[name] == binary[name]).all() for name in text)
EOF_PY
else
  echo "plot_fields_test: binary read-back skipped (no VTK Python module)"
fi

# Bad input: exit status 1 and a message naming the file and the problem.
head -n 5 "$work/run/vti/00025.vti" > "$work/cut.vti"
! "$python" "$tool" "$work/cut.vti" --out "$work/png2" 2> "$work/err.txt" || fail "cut.vti accepted"
grep -q "cut.vti: .*not well-formed" "$work/err.txt" || fail "unexpected message: $(cat "$work/err.txt")"
echo "plot_fields_test: passed"
