#!/usr/bin/env bash
# The reference case of the performance figures: 64^3 nodes over the 10 cm box
# of the spacecraft example (examples/spacecraft/scene.amf, 27,136 triangles),
# about 10^6 O+ and 10^6 e- macro-particles loaded in the upstream slab, both
# species injected through the x = 1 mm plane, VTK and CSV output every 25
# steps, the solver limits of the example (2000 iterations, 1e-4). Prints one
# table of where the time goes. Details and measured figures: bench/README.md.
#
#   bench/reference_case.sh                    # uses build/plasmabox
#   PLASMABOX=/path/to/plasmabox N=48 bench/reference_case.sh
#   KEEP=1 bench/reference_case.sh             # keep the output folder and log
#   OPTIONS="field_model=electrostatic" bench/reference_case.sh   # run options appended
#   POTENTIAL_TOL=1e-2 bench/reference_case.sh # potential tolerance (V/m^2; default 1e-4)
#   NP=2 OPTIONS="threads=1" bench/reference_case.sh  # on 2 processes started by mpirun
#   LOAD_X2=0.096 DENSITY=1.51e11 bench/reference_case.sh  # the same 10^6 per species
#                                              # loaded along the whole box (x 4 to 96 mm)
#
# How the phases are timed. The program times only its particle phase (the
# "mv_part time: " lines). Every console line ends in a flushing end-of-line,
# so a small reader at the other end of a pipe stamps each line with a
# monotonic clock as it arrives; a phase is the time between the line that
# opens it and the line that follows it:
#   voltage marking        "amfread_voltage" .. the empty line after it
#   potential solve        "potential solve" .. "amfread_magvector"
#   magnetisation marking  "amfread_magvector" .. the empty line after it
#   magnetostatic solve    that empty line .. first "mv_part time: " line, less
#                          that line's particle phase (includes the assembly of
#                          its matrix and the first field update)
#   output of step s       "ts: s" line .. next "mv_part time: " line, less its
#                          particle phase (or .. "Simulation took")
#   field update per step  "mv_part time: " line .. the "ts: " line after it
#                          (charge and current sums, updateFields, step line;
#                          in the electrostatic model the potential solve and
#                          the gradient instead of updateFields)
# Console lines cost a few microseconds each, so the stamps are good to a
# millisecond. Peak resident memory comes from /usr/bin/time -v.
set -euo pipefail
cd "$(dirname "$0")/.."

plasmabox=${PLASMABOX:-${BUILD_DIR:-build}/plasmabox}
N=${N:-64}
if [ ! -x "$plasmabox" ]; then
  echo "reference_case: $plasmabox not found; build first (scripts/build.sh)" >&2
  exit 1
fi
if [ ! -x /usr/bin/time ]; then
  echo "reference_case: /usr/bin/time missing (package time; scripts/setup.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/plasmabox_reference.XXXXXX")
if [ -z "${KEEP:-}" ]; then
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/vti"

# Loading density (m^-3): 1.39e12 * (0.01 * 0.06 * 0.06 m^3) / 50 = 1.0e6
# macro-particles per species. Everything else is the spacecraft example.
# LOAD_X2 and DENSITY spread the same count over a longer box.
density=${DENSITY:-1.39e12}
load_x2=${LOAD_X2:-0.014}
args=(
  "$N" "$N" "$N" 0.0 0.1 0.0 0.1 0.0 0.1 examples/spacecraft/scene.amf
  0.004 0.02 0.02 "$load_x2" 0.08 0.08     # electron loading box
  0.004 0.02 0.02 "$load_x2" 0.08 0.08     # ion loading box
  1e-11 100 "$work/" 16                    # unused, unused, csv prefix, O+ mass (amu)
  2000 "${POTENTIAL_TOL:-1e-4}"            # potential solver limits
  "$density" "$density" 25 3 2 2           # densities, output interval, both injected, x planes
  8000 500000 1e12 1e12                    # drift speeds (m/s), injected densities (m^-3)
  0.001 0.02 0.02 0.001 0.08 0.08          # ion injection rectangle
  0.001 0.02 0.02 0.001 0.08 0.08          # electron injection rectangle
  2000 1e-4 2 1.2 1.2                      # magnetostatic limits, two magnets
  magnet1 0 1 0 magnet2 0 1 0
)
read -r -a options <<< "${OPTIONS:-}"
args+=("${options[@]}")

# Every console line stamped as it arrives (bench/stamp_lines.py).
echo "reference_case: $plasmabox on ${N}^3 nodes, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
mkfifo "$work/console.pipe"
python3 bench/stamp_lines.py "$work/console.pipe" "$work/reader.ready" "$work/console.log" &
reader=$!
while [ ! -e "$work/reader.ready" ]; do sleep 0.05; done
launcher=()
if [ -n "${NP:-}" ]; then
  # Open MPI refuses root unless told; a benchmark machine is often a root container.
  launcher=(env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 mpirun -np "$NP" --oversubscribe)
fi
/usr/bin/time -v -o "$work/time.txt" "${launcher[@]}" "$plasmabox" "${args[@]}" < /dev/null > "$work/console.pipe" 2>&1
wait "$reader"

analyse='
import re, sys
import os
log, timing, n, work = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
rows = []
for raw in open(log):
    t, _, text = raw.rstrip("\n").partition(" ")
    rows.append((float(t), text))

def find(prefix, start=0):
    for k in range(start, len(rows)):
        if rows[k][1].startswith(prefix):
            return k
    raise SystemExit("reference_case: no line starting with %r in %s" % (prefix, log))

def blank_after(k):
    for m in range(k + 1, len(rows)):
        if rows[m][1] == "":
            return m
    raise SystemExit("reference_case: no empty line after line %d" % k)

voltage = find("amfread_voltage")
potential = find("potential solve")
magvector = find("amfread_magvector", potential)
mag_end = blank_after(magvector)
first_mv = find("mv_part time: ")
mv = lambda k: float(rows[k][1].split()[2])

steps, field_update, outputs = [], [], []
k = first_mv
while True:
    ts_line = find("ts: ", k)
    ts = int(rows[ts_line][1].split()[1])
    counts = [int(c) for c in re.findall(r":(\d+)", rows[ts_line][1])]
    steps.append((ts, mv(k), sum(counts)))
    field_update.append(rows[ts_line][0] - rows[k][0])
    nxt = None
    for m in range(ts_line + 1, len(rows)):
        if rows[m][1].startswith("mv_part time: ") or rows[m][1].startswith("Simulation took "):
            nxt = m
            break
    if nxt is None:
        raise SystemExit("reference_case: run ended early after ts %d" % ts)
    is_mv = rows[nxt][1].startswith("mv_part time: ")
    if ts % 25 == 0:
        outputs.append((ts, rows[nxt][0] - rows[ts_line][0] - (mv(nxt) if is_mv else 0.0)))
    if not is_mv:
        final_line = nxt
        break
    k = nxt

total = float(rows[final_line][1].split()[2])
particle_total = sum(s[1] for s in steps)
ns_per = [s[1] / s[2] * 1e9 for s in steps if s[2] > 0]
peak_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", open(timing).read()).group(1))
elapsed = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", open(timing).read()).group(1)
final_counts = re.findall(r"(\S+):(\d+)", rows[find("ts: 100")][1])

print("| quantity | value |")
print("|---|---|")
print("| mesh | %s^3 nodes |" % n)
print("| total wall time (Simulation took) | %.2f s (process: %s) |" % (total, elapsed))
print("| set-up before marking (read AMF, ray index) | %.2f s |" % (rows[voltage][0] - rows[0][0]))
print("| voltage marking (amfread_voltage) | %.2f s |" % (rows[blank_after(voltage)][0] - rows[voltage][0]))
print("| loading both species | %.2f s |" % (rows[potential][0] - rows[blank_after(voltage)][0]))
print("| potential solve | %.2f s |" % (rows[magvector][0] - rows[potential][0]))
print("| magnetisation marking (amfread_magvector) | %.2f s |" % (rows[mag_end][0] - rows[magvector][0]))
print("| magnetostatic solve (+ first field update) | %.2f s |" % (rows[first_mv][0] - rows[mag_end][0] - mv(first_mv)))
print("| particle phase, all 101 steps | %.2f s |" % particle_total)
print("| particle phase per step (mean, min, max) | %.1f / %.1f / %.1f ms |" % (
    particle_total / len(steps) * 1e3, min(s[1] for s in steps) * 1e3, max(s[1] for s in steps) * 1e3))
print("| particle phase per particle per step (mean, both species) | %.1f ns |" % (sum(ns_per) / len(ns_per)))
print("| field update per step (sums, updateFields, step line) | %.1f ms |" % (sum(field_update) / len(field_update) * 1e3))
print("| output per output step (mean of %d) | %.2f s |" % (len(outputs), sum(o[1] for o in outputs) / len(outputs)))
step_bytes = sum(os.path.getsize(os.path.join(work, f)) for f in
                 ("vti/00025.vti", "output_O_25.csv", "output_e_25.csv") if os.path.exists(os.path.join(work, f)))
out25 = [o[1] for o in outputs if o[0] == 25]
if out25 and step_bytes:
    print("| output text rate (step 25: %.1f MB in %.2f s) | %.0f MB/s |" % (step_bytes / 1e6, out25[0], step_bytes / 1e6 / out25[0]))
print("| peak resident memory | %.0f MB |" % (peak_kb / 1024.0))
print("| particles at the end | %s |" % ", ".join("%s %s" % c for c in final_counts))
for text in (r[1] for r in rows):
    if text.startswith("Exchanged between processes"):
        print("| %s |" % text.replace(": ", " | ", 1))
'
python3 -c "$analyse" "$work/console.log" "$work/time.txt" "$N" "$work"
if [ -n "${KEEP:-}" ]; then
  echo "reference_case: outputs and stamped console in $work" >&2
fi
