"""checkpoint_layout.py FILE NI NJ NK PROCESSES HISTORY_CSV: reads a checkpoint
with h5py as the README's "Long runs" describes it, against the run's history.
"""
import csv
import sys

import h5py
import numpy as np


def main(path, ni, nj, nk, processes, history):
    f = h5py.File(path, "r")
    a = f.attrs
    assert a["format"] == b"plasmabox checkpoint", a["format"]
    assert a["version"] == 1 and a["processes"] == processes, dict(a)
    step = int(a["step"])
    rows = {int(r["step"]): r for r in csv.DictReader(open(history))}
    assert a["time_s"] == float(rows[step]["time_s"]), (a["time_s"], rows[step]["time_s"])

    assert f["fields/phi"].shape == (ni, nj, nk)
    assert f["fields/ef"].shape == (ni, nj, nk, 3)
    if "fields/B" in f:
        assert f["fields/B"].shape == (ni, nj, nk, 3)
    assert np.isfinite(f["fields/phi"][...]).all()

    names = [n.decode() for n in f["species_names"][...]]
    assert names == ["O+", "e-"], names
    for name in names:
        g = f["species"][name]
        particles = g["particles"][...]
        per_process = g["particles_per_process"][...]
        assert particles.shape[1] == 7 and per_process.shape == (processes,)
        assert per_process.sum() == particles.shape[0] == int(rows[step][name + "_count"])
        assert (particles[:, 6] > 0).all(), "dead particle"
        for axis, n in enumerate((ni, nj, nk)):
            assert (particles[:, axis] >= 0).all() and (particles[:, axis] <= 0.04).all(), "outside the box"
        assert g["den"].shape == (ni, nj, nk) and (g["den"][...] >= 0).all()
        assert g["bin_counts_per_process"][...].sum() == g["bin_counts"].shape[0]
        counts = g["bin_counts"][...]
        assert counts[1:].sum() == particles.shape[0] or processes > 1
        assert g["particles"].attrs["description"].startswith(b"macro-particles")

    assert f["random/state"].shape == (processes, 625)
    files = f["output/series_file"][...]
    assert f["output/series_time"].shape == f["output/series_part"].shape == files.shape
    assert all(t <= a["time_s"] for t in f["output/series_time"][...])
    fingerprint = dict(zip(f["settings/fingerprint_names"][...], f["settings/fingerprint_values"][...]))
    assert fingerprint[b"argument 1 (ni)"] == str(ni).encode(), fingerprint


if __name__ == "__main__":
    try:
        main(sys.argv[1], *map(int, sys.argv[2:6]), sys.argv[6])
    except AssertionError as e:
        print("checkpoint_layout:", repr(e), file=sys.stderr)
        sys.exit(1)
