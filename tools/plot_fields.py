#!/usr/bin/env python3
"""Pictures of a plasmabox run, without writing code.

    plot_fields.py out/spacecraft/vti/00100.vti
    plot_fields.py --log out/spacecraft/run.log
    plot_fields.py --history out/spacecraft/history.csv

The PNG files go to --out, by default a folder png beside the vti folder (for
a log or history file: beside that file), created when missing.

The first form reads a VTK ImageData file written by the program (text or
binary) and saves PNG images of the mid-plane slices (z and x) of the
potential phi, object_id, the charge density rho, the ion and electron number
densities, |E| and |B|, axes in metres and colour bars in SI units, objects
outlined in white (nodes marked in object_id or magnetised in M). The number
densities come from the density CSV files that the program writes beside the
vti folder for the same step (found automatically, or given with --ion-csv /
--electron-csv); without them they are estimated from the arrays j.NAME and
vel.NAME. A history file history.csv beside the vti folder is plotted too.

The second form reads a saved console transcript and plots the number of
macro-particles of each species per step, and the time of the particle phase.

The third form plots a history file (one row per step): kinetic energy per
species and field energy against time, macro-particles per species, and the
current collected by each object.

Needs numpy and matplotlib (Debian: python3-numpy, python3-matplotlib);
binary VTK files also need VTK's Python module (Debian: python3-vtk9).
"""

import argparse
import csv
import glob
import os
import re
import sys
import warnings
import xml.etree.ElementTree as ET

try:
    import numpy as np
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.colors import LogNorm
except ImportError as e:  # the run script checks this before calling us
    sys.exit("plot_fields.py needs numpy and matplotlib (%s); install python3-numpy python3-matplotlib" % e)

QE = 1.602176565e-19  # C, elementary charge


def read_vti(path, wanted=None):
    """Reads a VTK ImageData file of the program, text or binary.

    Returns (grid, arrays): grid is a dict with 'origin' and 'spacing' (m,
    three floats each) and 'counts' (ni, nj, nk); arrays maps an array name to
    a numpy array indexed [i, j, k] (scalars) or [i, j, k, component]. Only
    the arrays named in wanted are converted (all when wanted is None).
    Raises ValueError naming the file and the problem on malformed input."""
    with open(path, "rb") as f:
        head = f.read(1 << 16)
    if b'format="appended"' in head or b'format="binary"' in head:
        if b'type="ImageData"' not in head:
            raise ValueError("%s: not a VTK ImageData file" % path)
        return _read_vti_with_vtk(path, wanted)
    grid, arrays = None, {}
    try:
        for event, elem in ET.iterparse(path, events=("start", "end")):
            if event == "start" and elem.tag == "ImageData":
                try:
                    origin = [float(v) for v in elem.get("Origin").split()]
                    spacing = [float(v) for v in elem.get("Spacing").split()]
                    ext = [int(v) for v in elem.get("WholeExtent").split()]
                except (AttributeError, ValueError):
                    raise ValueError("%s: ImageData lacks a valid Origin, Spacing or WholeExtent" % path)
                if len(origin) != 3 or len(spacing) != 3 or len(ext) != 6:
                    raise ValueError("%s: ImageData header has the wrong number of values" % path)
                counts = (ext[1] - ext[0] + 1, ext[3] - ext[2] + 1, ext[5] - ext[4] + 1)
                grid = {"origin": origin, "spacing": spacing, "counts": counts}
            elif event == "end" and elem.tag == "DataArray":
                name = elem.get("Name")
                if grid is None:
                    raise ValueError("%s: DataArray before the ImageData header" % path)
                if wanted is None or name in wanted:
                    arrays[name] = _parse_array(path, name, elem.text or "",
                                                int(elem.get("NumberOfComponents", "1")), grid["counts"])
                elem.clear()  # the text of big arrays is not needed any more
    except ET.ParseError as e:
        raise ValueError("%s: not well-formed XML (%s)" % (path, e))
    if grid is None:
        raise ValueError("%s: no ImageData element" % path)
    return grid, arrays


def _read_vti_with_vtk(path, wanted):
    """Binary files are read by VTK's own reader, as ParaView reads them."""
    try:
        import vtk
        from vtk.util.numpy_support import vtk_to_numpy
    except ImportError:
        raise ValueError("%s: a binary VTK file; reading it needs VTK's Python module (Debian: python3-vtk9)" % path)
    log = vtk.vtkStringOutputWindow()  # VTK's messages, kept for ours
    vtk.vtkOutputWindow.SetInstance(log)
    vtk.vtkLogger.SetStderrVerbosity(vtk.vtkLogger.VERBOSITY_OFF)
    reader = vtk.vtkXMLImageDataReader()
    reader.SetFileName(path)
    reader.Update()
    image = reader.GetOutput()
    if reader.GetErrorCode() or log.GetOutput().strip() or image.GetNumberOfPoints() == 0:
        raise ValueError("%s: VTK could not read it (%s)" % (path, log.GetOutput().strip() or "no points"))
    counts = tuple(image.GetDimensions())
    grid = {"origin": list(image.GetOrigin()), "spacing": list(image.GetSpacing()), "counts": counts}
    arrays = {}
    pd = image.GetPointData()
    for n in range(pd.GetNumberOfArrays()):
        a = pd.GetArray(n)
        if wanted is None or a.GetName() in wanted:
            ncomp = a.GetNumberOfComponents()
            # VTK's point order: i fastest, then j, then k.
            v = vtk_to_numpy(a).astype(np.float64).reshape(counts[2], counts[1], counts[0], ncomp).transpose(2, 1, 0, 3)
            arrays[a.GetName()] = v[..., 0] if ncomp == 1 else v
    return grid, arrays


def _parse_array(path, name, text, ncomp, counts):
    ni, nj, nk = counts
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("error")  # stray text must not be skipped silently
            values = np.fromstring(text, dtype=np.float64, sep=" ")  # reads inf and nan too
    except (ValueError, DeprecationWarning):
        raise ValueError("%s: array %s holds text that is not a number" % (path, name))
    if values.size != ni * nj * nk * ncomp:
        raise ValueError("%s: array %s holds %d numbers, expected %d" % (path, name, values.size, ni * nj * nk * ncomp))
    # The file lists one k-plane per line with i varying fastest, then j.
    a = values.reshape(nk, nj, ni, ncomp).transpose(2, 1, 0, 3)
    return a[..., 0] if ncomp == 1 else a


def read_density_csv(path, counts):
    """Reads a density CSV file (header x,y,z,data; lines i,j,k,value; an empty
    line after each k-plane). Returns one array [i, j, k] in m^-3 per species
    written to the file, in file order: a new block starts at node (0, 0, 0)."""
    blocks = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.strip().split(",")
            if len(parts) != 4 or parts[0] == "x":
                continue
            i, j, k = int(parts[0]), int(parts[1]), int(parts[2])
            if (i, j, k) == (0, 0, 0) or not blocks:
                blocks.append(np.zeros(counts))
            blocks[-1][i, j, k] = float(parts[3])
    return blocks


def species_names(arrays_or_names):
    return [n[2:] for n in arrays_or_names if n.startswith("j.")]


def goes_to_e_file(name):
    """The program writes a species to the electron file when its name has at
    least two characters and contains "e-"; every other one to the ion file."""
    return len(name) >= 2 and "e-" in name


def find_csv(vti_path, letter):
    """The density CSV of the same step: the program puts the vti folder
    beside the CSV files, whose names end in output_<letter>_<ts>.csv."""
    stem = os.path.splitext(os.path.basename(vti_path))[0]
    if not stem.isdigit():
        return None
    folder = os.path.dirname(os.path.dirname(os.path.abspath(vti_path)))
    hits = sorted(glob.glob(os.path.join(glob.escape(folder), "*output_%s_%d.csv" % (letter, int(stem)))))
    return hits[0] if len(hits) == 1 else None


def densities(vti_path, grid, arrays, csv_paths):
    """Number density (m^-3) per species name, with the source of each."""
    result = {}
    names = species_names(arrays)
    for letter, in_file in (("O", lambda n: not goes_to_e_file(n)), ("e", goes_to_e_file)):
        members = [n for n in names if in_file(n)]
        path = csv_paths.get(letter) or find_csv(vti_path, letter)
        blocks = read_density_csv(path, grid["counts"]) if path and os.path.exists(path) else []
        for idx, n in enumerate(members):
            if idx < len(blocks):
                result[n] = (blocks[idx], os.path.basename(path))
            else:
                # j = q * n * vel (time-centred n): invert where the speed is not zero.
                j, v = arrays["j." + n], arrays["vel." + n]
                q = -QE if goes_to_e_file(n) else QE
                v2 = np.einsum("...c,...c->...", v, v)
                jv = np.einsum("...c,...c->...", j, v)
                est = np.divide(jv, q * v2, out=np.zeros_like(v2), where=v2 > 0)
                result[n] = (est, "estimated from j.%s and vel.%s" % (n, n))
    return result


def slice_plane(a, plane):
    """Mid-plane slice: returns (2-D array [horizontal, vertical], axis indices)."""
    if plane == "z":
        return a[:, :, a.shape[2] // 2], (0, 1)
    return a[a.shape[0] // 2, :, :], (1, 2)


def save_slice(path, data, grid, plane, title, unit, outline=None, scale="linear", cmap="viridis"):
    """Saves one mid-plane picture. scale: "linear", "log" (four decades below
    the maximum) or "symmetric" (colour range centred on zero)."""
    img, (h, v) = slice_plane(data, plane)
    o, d, n = grid["origin"], grid["spacing"], grid["counts"]
    # Pixels centred on the nodes.
    extent = [o[h] - d[h] / 2, o[h] + (n[h] - 0.5) * d[h], o[v] - d[v] / 2, o[v] + (n[v] - 0.5) * d[v]]
    norm, vmin, vmax = None, None, None
    finite = img[np.isfinite(img)]
    if scale == "log" and finite.size and finite.max() > 0:
        top = finite.max()
        norm = LogNorm(vmin=max(finite[finite > 0].min(), top * 1e-4), vmax=top)
        img = np.where(img > 0, img, np.nan)
    elif scale == "symmetric" and finite.size and np.abs(finite).max() > 0:
        vmax = np.abs(finite).max()
        vmin = -vmax
    fig, ax = plt.subplots(figsize=(6.4, 5.2))
    im = ax.imshow(img.T, origin="lower", extent=extent, cmap=cmap, norm=norm, vmin=vmin, vmax=vmax,
                   interpolation="nearest")
    if outline is not None and outline.max() > 0:
        ol, _ = slice_plane(outline, plane)
        xs = o[h] + d[h] * np.arange(n[h])
        ys = o[v] + d[v] * np.arange(n[v])
        # Black on the red-white-blue maps, whose middle is white.
        ax.contour(xs, ys, ol.T, levels=[0.5], colors="black" if cmap == "RdBu_r" else "white", linewidths=0.8)
    cut = 2 if plane == "z" else 0
    ax.set_title("%s\nslice %s = %.4g m" % (title, plane, o[cut] + d[cut] * (n[cut] // 2)), fontsize=10)
    ax.set_xlabel("%s (m)" % "xyz"[h])
    ax.set_ylabel("%s (m)" % "xyz"[v])
    fig.colorbar(im, ax=ax, label=unit)
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)
    return path


def plot_vti(vti_path, out_dir, csv_paths, planes):
    """Saves the mid-plane pictures of one VTK file; returns the PNG paths."""
    grid, arrays = read_vti(vti_path)
    stem = os.path.splitext(os.path.basename(vti_path))[0]
    # Outline of the objects: electrode and body nodes, and magnetised nodes.
    outline = arrays.get("object_id")
    if "M" in arrays:
        magnetised = (np.abs(arrays["M"]).max(axis=-1) > 0).astype(np.float64)
        outline = magnetised if outline is None else np.maximum(outline, magnetised)
    quantities = []  # (file tag, data, title, colour bar label, scale, colour map)
    if "phi" in arrays:
        quantities.append(("phi", arrays["phi"], "potential phi", "phi (V)", "linear", "RdBu_r"))
    if "object_id" in arrays:
        quantities.append(("object_id", arrays["object_id"], "object_id (1: node held at an electrode potential)",
                           "object_id (-)", "linear", "Greys"))
    if "rho" in arrays:
        quantities.append(("rho", arrays["rho"], "charge density rho", "rho (C/m^3)", "symmetric", "RdBu_r"))
    for name, (den, source) in densities(vti_path, grid, arrays, csv_paths).items():
        kind = "electron" if goes_to_e_file(name) else "ion"
        tag = "density_" + re.sub(r"[^A-Za-z0-9]+", "_", name).strip("_")
        quantities.append((tag, den, "%s density n(%s) (%s)" % (kind, name, source),
                           "n(%s) (m^-3)" % name, "linear", "magma"))
    if "ef" in arrays:
        quantities.append(("E_magnitude", np.linalg.norm(arrays["ef"], axis=-1), "electric field |E|",
                           "|E| (V/m)", "linear", "viridis"))
    if "B" in arrays:
        quantities.append(("B_magnitude", np.linalg.norm(arrays["B"], axis=-1), "magnetic flux density |B|",
                           "|B| (T)", "log", "viridis"))
    if not quantities:
        raise ValueError("%s: none of the arrays phi, object_id, rho, j.*, ef, B found" % vti_path)
    written = []
    for plane in planes:
        for tag, data, title, unit, scale, cmap in quantities:
            path = os.path.join(out_dir, "%s_%s_%s.png" % (stem, tag, plane))
            written.append(save_slice(path, data, grid, plane, title, unit,
                                      outline if tag != "object_id" else None, scale, cmap))
    return written


STEP_RE = re.compile(r"^ts: (-?\d+)(.*)$")
TIME_RE = re.compile(r"^mv_part time: (\S+) seconds")


def parse_log(path):
    """Per-step particle counts and particle-phase times from a console log.

    Returns (steps, counts, times): counts maps a species name to a list
    aligned with steps; times lists the 'mv_part time' seconds in order."""
    steps, counts, times = [], {}, []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            m = TIME_RE.match(line)
            if m:
                try:
                    times.append(float(m.group(1)))
                except ValueError:
                    pass
                continue
            m = STEP_RE.match(line)
            if not m:
                continue
            steps.append(int(m.group(1)))
            # Each species appears as a tab, a blank, NAME:COUNT.
            for part in m.group(2).split("\t")[1:]:
                name, _, num = part.strip().rpartition(":")
                counts.setdefault(name, [None] * (len(steps) - 1)).append(int(num) if num.isdigit() else None)
            for series in counts.values():
                series.extend([None] * (len(steps) - len(series)))
    if not steps:
        raise ValueError("%s: no step lines ('ts: ...') found" % path)
    return steps, counts, times


def plot_log(log_path, out_dir):
    steps, counts, times = parse_log(log_path)
    nplots = 2 if times else 1
    fig, axes = plt.subplots(nplots, 1, figsize=(6.4, 3.2 * nplots + 0.6), sharex=True, squeeze=False)
    ax = axes[0][0]
    for name, series in counts.items():
        ax.plot(steps, [np.nan if c is None else c for c in series], marker=".", label=name)
    ax.set_ylabel("macro-particles")
    ax.set_title("particles per species (%s)" % os.path.basename(log_path))
    ax.legend()
    ax.grid(True, alpha=0.3)
    if times:
        tx = axes[1][0]
        # One timing line precedes each step line.
        tx.plot(steps[:len(times)], times[:len(steps)], marker=".", color="tab:gray")
        tx.set_ylabel("particle phase (s)")
        tx.grid(True, alpha=0.3)
    axes[-1][0].set_xlabel("step ts")
    fig.tight_layout()
    path = os.path.join(out_dir, "particle_counts.png")
    fig.savefig(path, dpi=110)
    plt.close(fig)
    return [path]


def read_history(path):
    """Reads a history file: a header row, then one row per step.

    Returns (columns, values): the header's names and a dict from name to a
    numpy array with one value per row (nan where a cell is empty)."""
    with open(path, encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    if not rows or "time_s" not in rows[0]:
        raise ValueError("%s: no header row with a time_s column" % path)
    columns = [c.strip() for c in rows[0]]
    body = [r for r in rows[1:] if r]
    values = {}
    for n, name in enumerate(columns):
        col = []
        for line, r in enumerate(body, start=2):
            text = r[n].strip() if n < len(r) else ""
            try:
                col.append(float(text) if text else np.nan)
            except ValueError:
                raise ValueError("%s: line %d: %s is not a number: %r" % (path, line, name, text))
        values[name] = np.array(col)
    if not body:
        raise ValueError("%s: no rows after the header" % path)
    return columns, values


def plot_history(path, out_dir):
    """Saves history_energy.png (kinetic energy per species and field energy
    against time, logarithmic when every value is positive),
    history_counts.png (macro-particles per species) and, when the file has
    object currents, history_currents.png. Returns the PNG paths."""
    columns, v = read_history(path)
    t = v["time_s"]
    species = [c[:-len("_count")] for c in columns if c.endswith("_count")]
    currents = [c for c in columns if c.startswith("current_") and c.endswith("_A")]
    title = os.path.basename(path)
    written = []

    def save(name, series, ylabel, log_when_positive=False):
        fig, ax = plt.subplots(figsize=(6.4, 4.2))
        for label, y in series:
            ax.plot(t, y, marker=".", markersize=3, label=label)
        finite = np.concatenate([y[np.isfinite(y)] for _, y in series]) if series else np.array([])
        if log_when_positive and finite.size and finite.min() > 0:
            ax.set_yscale("log")
        ax.set_xlabel("time (s)")
        ax.set_ylabel(ylabel)
        ax.set_title("%s (%s)" % (ylabel, title), fontsize=10)
        ax.grid(True, alpha=0.3)
        if series:
            ax.legend(fontsize=8)
        fig.tight_layout()
        out = os.path.join(out_dir, name)
        fig.savefig(out, dpi=110)
        plt.close(fig)
        written.append(out)

    energies = [("kinetic " + s, v[s + "_kinetic_J"]) for s in species if s + "_kinetic_J" in v]
    if "field_energy_J" in v:
        energies.append(("field", v["field_energy_J"]))
    save("history_energy.png", energies, "energy (J)", log_when_positive=True)
    save("history_counts.png", [(s, v[s + "_count"]) for s in species], "macro-particles")
    if currents:
        save("history_currents.png", [(c[len("current_"):-len("_A")], v[c]) for c in currents], "current (A)")
    return written


def default_out(args):
    """png beside the vti folder, or beside the log or history file."""
    if args.vti:
        return os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.vti))), "png")
    return os.path.join(os.path.dirname(os.path.abspath(args.log or args.history)), "png")


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("vti", nargs="?", help="a .vti file written by the program")
    ap.add_argument("--log", help="a saved console transcript of a run")
    ap.add_argument("--history", help="a history file (default: history.csv beside the vti folder, when present)")
    ap.add_argument("--out", help="folder for the PNG files (created; default: png beside the vti folder, "
                                   "or beside the log or history file)")
    ap.add_argument("--ion-csv", help="ion density CSV of the same step (default: found beside the vti folder)")
    ap.add_argument("--electron-csv", help="electron density CSV of the same step")
    ap.add_argument("--planes", default="z,x", help="mid-planes to draw, from z and x (default z,x)")
    args = ap.parse_args(argv)
    if not args.vti and not args.log and not args.history:
        ap.error("give a .vti file, --log LOG or --history FILE")
    planes = [p for p in args.planes.split(",") if p]
    if any(p not in ("z", "x") for p in planes):
        ap.error("--planes takes z and x")
    out = args.out or default_out(args)
    history = args.history
    if not history and args.vti:
        beside = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.vti))), "history.csv")
        history = beside if os.path.exists(beside) else None
    written = []
    try:
        os.makedirs(out, exist_ok=True)
        if args.vti:
            written += plot_vti(args.vti, out, {"O": args.ion_csv, "e": args.electron_csv}, planes)
        if args.log:
            written += plot_log(args.log, out)
        if history:
            written += plot_history(history, out)
    except (OSError, ValueError) as e:
        print("plot_fields.py: %s" % e, file=sys.stderr)
        return 1
    for p in written:
        print(p)
    return 0


if __name__ == "__main__":
    sys.exit(main())
