#!/usr/bin/env bash
# Runs tools/plot_fields.py on a tiny case written in the program's own file
# layout (vti folder beside the density CSV files, console transcript) and
# checks the pictures and the values it reads. Skips, with exit status 0, when
# numpy or matplotlib is missing.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
tool="$repo/tools/plot_fields.py"

# The first interpreter that has both libraries (a private Python earlier on
# PATH may lack the Debian packages).
python=""
for candidate in "${PYTHON:-}" python3 /usr/bin/python3; do
  if [ -n "$candidate" ] && "$candidate" -c 'import numpy, matplotlib' >/dev/null 2>&1; then
    python=$candidate
    break
  fi
done
if [ -z "$python" ]; then
  echo "plot_fields_test: skipped (numpy or matplotlib missing)"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run/vti"

# A 5 x 4 x 3 mesh; every value encodes its node so that an ordering fault in
# the reader shows: phi = i + 10 j + 100 k, B = (0, 0, 0.01 (i + 1)).
"$python" - "$work/run" <<'EOF'
import sys
out = sys.argv[1]
ni, nj, nk = 5, 4, 3
def g(x):
    return "%g" % x
def array(name, ncomp, f, typ="Float64"):
    lines = ['<DataArray Name="%s" NumberOfComponents="%d" format="ascii" type="%s">' % (name, ncomp, typ)]
    for k in range(nk):
        row = ""
        for j in range(nj):
            for i in range(ni):
                v = f(i, j, k)
                row += "".join((str(c) if typ == "Int32" else g(c)) + " " for c in (v if ncomp == 3 else (v,)))
        lines.append(row)
    lines.append("</DataArray>")
    return lines
vti = ['<VTKFile type="ImageData">',
       '<ImageData Origin="0 0 0" Spacing="0.01 0.01 0.01" WholeExtent="0 %d 0 %d 0 %d">' % (ni - 1, nj - 1, nk - 1),
       "<PointData>"]
vti += array("object_id", 1, lambda i, j, k: 1 if (i, j) == (2, 2) else 0, "Int32")
vti += array("NodeVol", 1, lambda i, j, k: 1e-6)
vti += array("phi", 1, lambda i, j, k: i + 10 * j + 100 * k)
vti += array("rho", 1, lambda i, j, k: -1.5e-9 * i)
for s in ("O+", "e-"):
    vti += array("j." + s, 3, lambda i, j, k: (1e-3 * i, 0, 0))
for s in ("O+", "e-"):
    vti += array("vel." + s, 3, lambda i, j, k: (1e5 * i, 0, 0))
vti += array("ef", 3, lambda i, j, k: (-1.0, 2.5e4, float("nan") if (i, j, k) == (4, 3, 2) else 0))
vti += array("phi_m", 1, lambda i, j, k: 0)
vti += array("phi_m_theory", 1, lambda i, j, k: 0)
vti += array("B", 3, lambda i, j, k: (0, 0, 0.01 * (i + 1)))
vti += array("H", 3, lambda i, j, k: (0, 0, 0))
vti += array("M", 3, lambda i, j, k: (0, 0, 0))
vti += ["</PointData>", "</ImageData>", "</VTKFile>"]
open(out + "/vti/00025.vti", "w").write("\n".join(vti) + "\n")
for letter, scale in (("O", 1e12), ("e", 2e12)):
    with open("%s/a_output_%s_25.csv" % (out, letter), "w") as f:
        f.write("x,y,z,data\n")
        for k in range(nk):
            for j in range(nj):
                for i in range(ni):
                    f.write("%d,%d,%d,%g\n" % (i, j, k, scale * (i + j + k)))
            f.write("\n")
        f.write("\n")
log = ["Loading file: scene.amf", "Size of species: 2", "1e-11 1e+12 5e-05 x"]
for ts in range(0, 4):
    log.append("mv_part time: %g seconds" % (0.01 * (ts + 1)))
    log.append("ts: %d\t O+:%d\t e-:%d" % (ts, 100 + ts, 200 - 3 * ts))
log.append("Simulation took 1.23 seconds")
open(out + "/run.log", "w").write("\n".join(log) + "\n")
EOF

fail() { echo "plot_fields_test: FAILED: $*"; exit 1; }

"$python" "$tool" "$work/run/vti/00025.vti" --out "$work/png" > "$work/list.txt" || fail "vti mode exited $?"
"$python" "$tool" --log "$work/run/run.log" --out "$work/png" >> "$work/list.txt" || fail "log mode exited $?"

expected="phi object_id rho density_O density_e E_magnitude B_magnitude"
for plane in z x; do
  for q in $expected; do
    f="$work/png/00025_${q}_${plane}.png"
    [ -s "$f" ] || fail "missing or empty $f"
    [ "$(head -c 8 "$f" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$f is not a PNG"
  done
done
[ -s "$work/png/particle_counts.png" ] || fail "missing particle_counts.png"
grep -q "particle_counts.png" "$work/list.txt" || fail "written files not listed"

# The reader's values and the parsers, checked directly.
"$python" - "$repo/tools" "$work/run" <<'EOF' || fail "reader values"
import sys, math
sys.path.insert(0, sys.argv[1])
import plot_fields as pf
run = sys.argv[2]
grid, a = pf.read_vti(run + "/vti/00025.vti")
assert grid["counts"] == (5, 4, 3) and grid["spacing"] == [0.01] * 3, grid
assert a["phi"].shape == (5, 4, 3) and a["phi"][3, 2, 1] == 123.0, a["phi"][3, 2, 1]
assert a["object_id"][2, 2, 0] == 1 and a["object_id"].sum() == 3
assert a["B"].shape == (5, 4, 3, 3) and a["B"][4, 0, 2, 2] == 0.05
assert math.isnan(a["ef"][4, 3, 2, 2])
den = pf.densities(run + "/vti/00025.vti", grid, a, {})
assert den["O+"][0][1, 2, 2] == 5e12 and den["e-"][0][1, 2, 2] == 1e13, den["e-"][0][1, 2, 2]
assert "csv" in den["O+"][1]
steps, counts, times = pf.parse_log(run + "/run.log")
assert steps == [0, 1, 2, 3] and counts["O+"] == [100, 101, 102, 103] and counts["e-"][3] == 191, counts
assert times == [0.01, 0.02, 0.03, 0.04], times
# Without the CSV files the densities are estimated from j = q n vel.
den = pf.densities("/nonexistent/vti/00025.vti", grid, a, {})
assert abs(den["O+"][0][2, 0, 0] - 1e-3 * 2 / (pf.QE * 1e5 * 2)) < 1e3, den["O+"][0][2, 0, 0]
assert den["O+"][0][0, 0, 0] == 0.0
EOF

# Bad input: each case must give exit status 1 and a message naming the file
# and the problem.
head -n 6 "$work/run/vti/00025.vti" > "$work/truncated.vti"
echo '</DataArray></PointData></ImageData></VTKFile>' >> "$work/truncated.vti"
sed '5s/^0 /0 x /' "$work/run/vti/00025.vti" > "$work/letters.vti"
sed '2d;/^<\/ImageData>$/d' "$work/run/vti/00025.vti" > "$work/noheader.vti"
head -n 5 "$work/run/vti/00025.vti" > "$work/cut.vti"
for case in "truncated.vti:holds 40 numbers, expected 60" "letters.vti:not a number" \
            "noheader.vti:before the ImageData header" "cut.vti:not well-formed"; do
  file=${case%%:*}
  want=${case#*:}
  if "$python" "$tool" "$work/$file" --out "$work/png2" 2> "$work/err.txt"; then
    fail "$file accepted"
  fi
  grep -q "$file: .*$want" "$work/err.txt" || fail "$file: unexpected message: $(cat "$work/err.txt")"
done
printf 'no steps here\n' > "$work/empty.log"
if "$python" "$tool" --log "$work/empty.log" --out "$work/png2" 2>/dev/null; then
  fail "log without step lines accepted"
fi

echo "plot_fields_test: passed"
