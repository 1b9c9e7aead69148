#!/usr/bin/env python3
"""Plots the floating sphere's potential against time from a history file,
with the orbit-motion-limited floating potential of its plasma drawn on it.

    plot_charging.py HISTORY.csv OUT.png [--te 1] [--ti 1] [--ion-amu 1]
"""
import argparse
import csv
import math

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

ME, AMU = 9.10938215e-31, 1.660538921e-27


def oml_potential(te, ti, mi):
    """V where exp(eV/kTe) = sqrt(me Ti / (mi Te)) (1 - eV/kTi), by bisection."""
    ratio = math.sqrt(ME * ti / (mi * te))
    lo, hi = -30.0 * te, 0.0
    for _ in range(200):
        v = 0.5 * (lo + hi)
        if math.exp(v / te) > ratio * (1 - v / ti):
            hi = v
        else:
            lo = v
    return 0.5 * (lo + hi)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("history")
    ap.add_argument("out")
    ap.add_argument("--te", type=float, default=1.0, help="electron temperature (eV)")
    ap.add_argument("--ti", type=float, default=1.0, help="ion temperature (eV)")
    ap.add_argument("--ion-amu", type=float, default=1.0, help="ion mass (amu)")
    args = ap.parse_args()
    with open(args.history, newline="") as f:
        rows = list(csv.DictReader(f))
    t = [float(r["time_s"]) * 1e6 for r in rows]
    v = [float(r["potential_Sphere_V"]) for r in rows]
    oml = oml_potential(args.te, args.ti, args.ion_amu * AMU)
    tail = v[len(v) * 2 // 3:]
    fig, ax = plt.subplots(figsize=(7, 4.5))
    ax.plot(t, v, label="sphere (simulation)")
    ax.axhline(oml, color="k", linestyle="--", label="orbit-motion-limited: %.2f V" % oml)
    ax.axhline(sum(tail) / len(tail), color="C1", linestyle=":",
               label="simulation, last third: %.2f V" % (sum(tail) / len(tail)))
    ax.set_xlabel("time (us)")
    ax.set_ylabel("potential (V, grounded walls at 0 V)")
    ax.set_title("A floating sphere charging in a Maxwellian plasma")
    ax.legend()
    fig.tight_layout()
    fig.savefig(args.out, dpi=110)


if __name__ == "__main__":
    main()
