#!/usr/bin/env bash
# The thermal-plasma case of the performance figures: 65^3 nodes (64^3 cells)
# over a 0.48 m box with no objects, electrostatic model; 2^20 electrons and
# 2^20 O+ loaded uniformly over the whole box at 1e12 m^-3 and 1 eV (about one
# Debye length per cell; omega_pe * dt = 0.1 at dt = 1.773e-9 s, the electrons
# cross 0.1 cell per step); no injection, output only at step 0, potential
# tolerance 1 V/m^2, seed 1, 100 steps. Prints where the time goes per step
# and the memory per particle. Figures: bench/README.md.
#
#   bench/thermal_case.sh                       # build/plasmabox, the program's thread team
#   OPTIONS="threads=1" bench/thermal_case.sh   # run options appended (here: one thread)
#   PLASMABOX=/path/to/plasmabox KEEP=1 bench/thermal_case.sh
#   NP=2 OPTIONS="threads=1" bench/thermal_case.sh   # two processes started by mpirun
#
# Timing: the program prints the wall time of each step's particle phase
# ("mv_part time: ", push, hand-over and deposition). The console lines are
# stamped with a monotonic clock as they arrive through a pipe (as in
# reference_case.sh); the field work of a step is the time from its
# "mv_part time: " line to its "ts: " line (charge sum, potential solve,
# gradient, step line). Step 0 carries the first touches of memory and is
# left out of the medians. Memory per particle: the peak resident memory of
# the run less that of the same run without particles (mesh, solver, MPI and
# HYPRE), over the particle count (with NP processes: times NP, the
# particles being shared evenly; /usr/bin/time gives the largest process).
set -euo pipefail
cd "$(dirname "$0")/.."

plasmabox=${PLASMABOX:-${BUILD_DIR:-build}/plasmabox}
if [ ! -x "$plasmabox" ]; then
  echo "thermal_case: $plasmabox not found; build first (scripts/build.sh)" >&2
  exit 1
fi
if [ ! -x /usr/bin/time ]; then
  echo "thermal_case: /usr/bin/time missing (package time; scripts/setup.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/plasmabox_thermal.XXXXXX")
if [ -z "${KEEP:-}" ]; then
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/vti" "$work/empty/vti"

# 1e12 m^-3 * 0.48^3 m^3 / 105468.75 = 2^20 macro-particles per species.
case_args() {  # $1: output folder, $2: loading density
  local out=$1 density=$2
  echo 65 65 65 0 0.48 0 0.48 0 0.48 examples/oscillation/empty.amf \
    0 0 0 0.48 0.48 0.48 0 0 0 0.48 0.48 0.48 \
    1e-11 100 "$out/" 16 200 1 "$density" "$density" 1000 0 2 2 0 0 0 0 \
    0 0 0 0 1 1 0 0 0 0 1 1 200 1e-4 0 \
    field_model=electrostatic temperature_e=1 temperature_i=1 macro_weight=105468.75 dt=1.773e-9 \
    max_step=100 seed=1
}
read -r -a options <<< "${OPTIONS:-}"
read -r -a args <<< "$(case_args "$work" 1e12)"
args+=("${options[@]}")
read -r -a empty_args <<< "$(case_args "$work/empty" 0)"
empty_args+=("${options[@]}" max_step=2)

launcher=()
if [ -n "${NP:-}" ]; then
  # Open MPI refuses root unless told; a benchmark machine is often a root container.
  launcher=(env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 mpirun -np "$NP" --oversubscribe)
fi

echo "thermal_case: $plasmabox ${OPTIONS:-}, load $(cut -d' ' -f1-3 /proc/loadavg)" >&2
mkfifo "$work/console.pipe"
python3 bench/stamp_lines.py "$work/console.pipe" "$work/reader.ready" "$work/console.log" &
reader=$!
while [ ! -e "$work/reader.ready" ]; do sleep 0.05; done
/usr/bin/time -v -o "$work/time.txt" "${launcher[@]}" "$plasmabox" "${args[@]}" < /dev/null > "$work/console.pipe" 2>&1
wait "$reader"
/usr/bin/time -v -o "$work/empty_time.txt" "${launcher[@]}" "$plasmabox" "${empty_args[@]}" < /dev/null \
  > "$work/empty/console.log" 2>&1

analyse='
import re, statistics, sys
log, timing, empty_timing, processes = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
rows = []
for raw in open(log):
    t, _, text = raw.rstrip("\n").partition(" ")
    rows.append((float(t), text))
steps = []  # (ts, particle phase s, field work s, particles)
k = 0
while k < len(rows):
    if rows[k][1].startswith("mv_part time: "):
        m = k + 1
        while not rows[m][1].startswith("ts: "):
            m += 1
        counts = [int(c) for c in re.findall(r":(\d+)", rows[m][1])]
        steps.append((int(rows[m][1].split()[1]), float(rows[k][1].split()[2]), rows[m][0] - rows[k][0], sum(counts)))
        k = m
    k += 1
later = [s for s in steps if s[0] > 0]
particles = later[-1][3]
med = lambda v: statistics.median(v)
phase = med([s[1] for s in later])
field = med([s[2] for s in later])
# Per particle: each step over the particles alive in it (the electrons
# leave through the walls, about 0.4 % per step).
phase_per = med([s[1] / s[3] for s in later])
field_per = med([s[2] / s[3] for s in later])
peak = lambda f: int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", open(f).read()).group(1)) * 1024
cpu = lambda f: sum(float(re.search(p, open(f).read()).group(1)) for p in (r"User time \(seconds\): (\S+)", r"System time \(seconds\): (\S+)"))
total = [r[1] for r in rows if r[1].startswith("Simulation took")][0].split()[2]
print("| quantity | value |")
print("|---|---|")
print("| particles at steps 1 / 100 (both species) | %d / %d |" % (later[0][3], particles))
print("| particle phase per step, median of steps 1-100 (mean; step 0) | %.1f ms (%.1f; %.1f) |" % (
    phase * 1e3, statistics.mean([s[1] for s in later]) * 1e3, steps[0][1] * 1e3))
print("| particle phase per particle per step | %.1f ns |" % (phase_per * 1e9))
print("| field work per step, median (mean) | %.1f ms (%.1f) |" % (field * 1e3, statistics.mean([s[2] for s in later]) * 1e3))
print("| field work per particle per step | %.1f ns |" % (field_per * 1e9))
print("| total wall time (Simulation took) | %s s |" % total)
print("| processor time of the process (user + system) | %.1f s |" % cpu(timing))
print("| peak resident memory: run / without particles | %.0f / %.0f MB |" % (peak(timing) / 2**20, peak(empty_timing) / 2**20))
most = max(s[3] for s in steps)  # the lists are longest at the start
print("| memory per particle (over the %d of step 0) | %.1f bytes |" % (most, (peak(timing) - peak(empty_timing)) * processes / most))
'
python3 -c "$analyse" "$work/console.log" "$work/time.txt" "$work/empty_time.txt" "${NP:-1}"
if [ -n "${KEEP:-}" ]; then
  echo "thermal_case: outputs and stamped console in $work" >&2
fi
