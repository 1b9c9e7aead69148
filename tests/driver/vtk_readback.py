#!/usr/bin/env python3
"""Reads the program's VTK files with VTK's own readers (python3-vtk9).

    vtk_readback.py compare TEXT_DIR BINARY_DIR COMPRESSED_DIR STEP
        The files of one step of three runs with the same seed, written as
        text, binary and compressed binary: the image files must hold the same
        arrays (names, order, types, sizes; integers identical, doubles equal
        at the text's 6 significant digits, binary and compressed bit for bit),
        and so must the particle files of every species (text keeps them exact).
    vtk_readback.py series DIR
        Every file listed in DIR/series.pvd must exist and read without error.

Prints "vtk_readback: ok ..." and exits 0, or names the first difference and
exits 1. Any error or warning from a VTK reader counts as a failure.
"""

import os
import sys
import xml.etree.ElementTree as ET

import numpy as np
import vtk
from vtk.util.numpy_support import vtk_to_numpy


class Failure(Exception):
    pass


def read(path):
    """The data set in path, read by VTK's reader for its extension."""
    if not os.path.exists(path):
        raise Failure("%s: missing" % path)
    reader = vtk.vtkXMLImageDataReader() if path.endswith(".vti") else vtk.vtkXMLPolyDataReader()
    problems = []
    for event in ("ErrorEvent", "WarningEvent"):
        reader.AddObserver(event, lambda obj, ev: problems.append(ev))
    # VTK reports through its output window as well; keep the messages for ours.
    log = vtk.vtkStringOutputWindow()
    vtk.vtkOutputWindow.SetInstance(log)
    reader.SetFileName(path)
    reader.Update()
    if problems or reader.GetErrorCode() or log.GetOutput().strip():
        raise Failure("%s: VTK reported %s %s" % (path, problems, log.GetOutput().strip()))
    return reader.GetOutput()


def arrays(data):
    """(name, VTK type name, components, numpy values) of every point array, in order."""
    pd = data.GetPointData()
    out = []
    for n in range(pd.GetNumberOfArrays()):
        a = pd.GetArray(n)
        out.append((a.GetName(), a.GetDataTypeAsString(), a.GetNumberOfComponents(), vtk_to_numpy(a)))
    if isinstance(data, vtk.vtkPolyData) and data.GetPoints() is not None:
        out.append(("Points", data.GetPoints().GetData().GetDataTypeAsString(), 3,
                     vtk_to_numpy(data.GetPoints().GetData())))
    return out


def six_digits(values):
    return np.char.mod("%g", values)


def compare_step(text_dir, binary_dir, compressed_dir, step):
    name = "vti/%05d.vti" % step
    text, binary, packed = (read(os.path.join(d, name)) for d in (text_dir, binary_dir, compressed_dir))
    if not (text.GetDimensions() == binary.GetDimensions() == packed.GetDimensions()):
        raise Failure("%s: dimensions differ" % name)
    if list(six_digits(np.array(binary.GetSpacing()))) != list(six_digits(np.array(text.GetSpacing()))):
        raise Failure("%s: spacing differs" % name)
    ta, ba, ca = arrays(text), arrays(binary), arrays(packed)
    if [a[:3] for a in ta] != [a[:3] for a in ba] or [a[:3] for a in ba] != [a[:3] for a in ca]:
        raise Failure("%s: arrays differ: %s / %s / %s" % (name, [a[:3] for a in ta], [a[:3] for a in ba],
                                                           [a[:3] for a in ca]))
    for (an, typ, _, t), (_, _, _, b), (_, _, _, c) in zip(ta, ba, ca):
        if t.shape != b.shape or b.shape != c.shape:
            raise Failure("%s: %s has shapes %s %s %s" % (name, an, t.shape, b.shape, c.shape))
        if b.tobytes() != c.tobytes():
            raise Failure("%s: %s differs between binary and compressed" % (name, an))
        same = (t == b) if typ != "double" else (six_digits(t) == six_digits(b))
        if not np.all(same):
            at = np.argwhere(~same)[0]
            raise Failure("%s: %s differs at %s: text %r, binary %r" % (name, an, at.tolist(), t[tuple(at)], b[tuple(at)]))
    counts = []
    for species in ("O+", "e-"):
        pname = "vti/%05d.%s.vtp" % (step, species)
        tp, bp, cp = (read(os.path.join(d, pname)) for d in (text_dir, binary_dir, compressed_dir))
        if not (tp.GetNumberOfPoints() == bp.GetNumberOfPoints() == cp.GetNumberOfPoints() == tp.GetNumberOfVerts()):
            raise Failure("%s: point or vertex counts differ" % pname)
        for (an, _, _, t), (_, _, _, b), (_, _, _, c) in zip(arrays(tp), arrays(bp), arrays(cp)):
            if t.tobytes() != b.tobytes() or b.tobytes() != c.tobytes():
                raise Failure("%s: %s differs between the formats" % (pname, an))
        counts.append("%s %d" % (species, tp.GetNumberOfPoints()))
    return "%s: %d arrays; particles %s" % (name, len(ta), ", ".join(counts))


def check_series(folder):
    root = ET.parse(os.path.join(folder, "series.pvd")).getroot()
    listed = root.find("Collection").findall("DataSet")
    for d in listed:
        read(os.path.join(folder, d.get("file")))
    return "%d files of series.pvd read" % len(listed)


def main(argv):
    try:
        if len(argv) == 5 and argv[0] == "compare":
            summary = compare_step(argv[1], argv[2], argv[3], int(argv[4]))
        elif len(argv) == 2 and argv[0] == "series":
            summary = check_series(argv[1])
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except (Failure, OSError, ET.ParseError) as e:
        print("vtk_readback: FAILED: %s" % e)
        return 1
    print("vtk_readback: ok: %s" % summary)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
