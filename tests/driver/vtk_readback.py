#!/usr/bin/env python3
"""Reads the program's VTK files with VTK's own readers (python3-vtk9).

    vtk_readback.py compare TEXT_DIR BINARY_DIR COMPRESSED_DIR STEP
        One step of three runs with one seed: the images hold the same arrays
        (names, order, types; integers identical, doubles equal at the text's
        6 digits, binary and compressed bit for bit), the particle files of
        O+ and e- the same values (text keeps them exact).
    vtk_readback.py series DIR
        Every file listed in DIR/series.pvd reads without error.

Prints "vtk_readback: ok ..." and exits 0, or names the first difference and
exits 1. An error or warning of a VTK reader is a failure.
"""

import os
import sys
import xml.etree.ElementTree as ET

import numpy as np
import vtk
from vtk.util.numpy_support import vtk_to_numpy


def read(path):
    """(data set, [(name, type, values) of every point array, then the points])."""
    if not os.path.exists(path):
        raise ValueError("%s: missing" % path)
    log = vtk.vtkStringOutputWindow()
    vtk.vtkOutputWindow.SetInstance(log)
    reader = vtk.vtkXMLImageDataReader() if path.endswith(".vti") else vtk.vtkXMLPolyDataReader()
    reader.SetFileName(path)
    reader.Update()
    if reader.GetErrorCode() or log.GetOutput().strip():
        raise ValueError("%s: VTK reported %s" % (path, log.GetOutput().strip()))
    data, pd = reader.GetOutput(), reader.GetOutput().GetPointData()
    arrays = [pd.GetArray(n) for n in range(pd.GetNumberOfArrays())]
    if data.IsA("vtkPolyData"):
        arrays.append(data.GetPoints().GetData())
    return data, [(a.GetName(), a.GetDataTypeAsString(), vtk_to_numpy(a)) for a in arrays]


def compare(text_dir, binary_dir, packed_dir, step):
    name = "vti/%05d.vti" % step
    (t, ta), (b, ba), (c, ca) = (read(os.path.join(d, name)) for d in (text_dir, binary_dir, packed_dir))
    if not t.GetDimensions() == b.GetDimensions() == c.GetDimensions():
        raise ValueError("%s: dimensions differ" % name)
    if [a[:2] for a in ta] != [a[:2] for a in ba] or [a[:2] for a in ba] != [a[:2] for a in ca]:
        raise ValueError("%s: arrays differ: %s, %s" % (name, [a[:2] for a in ta], [a[:2] for a in ba]))
    for (array, typ, tv), (_, _, bv), (_, _, cv) in zip(ta, ba, ca):
        if bv.tobytes() != cv.tobytes() or tv.shape != bv.shape:
            raise ValueError("%s: %s differs between binary and compressed" % (name, array))
        same = (tv == bv) if typ != "double" else (np.char.mod("%g", tv) == np.char.mod("%g", bv))
        if not np.all(same):
            at = tuple(np.argwhere(~same)[0])
            raise ValueError("%s: %s differs at %s: text %r, binary %r" % (name, array, at, tv[at], bv[at]))
    counts = []
    for species in ("O+", "e-"):
        pname = "vti/%05d.%s.vtp" % (step, species)
        (tp, tpa), (_, bpa), (_, cpa) = (read(os.path.join(d, pname)) for d in (text_dir, binary_dir, packed_dir))
        if tp.GetNumberOfVerts() != tp.GetNumberOfPoints() or any(
                x[2].tobytes() != y[2].tobytes() or y[2].tobytes() != z[2].tobytes() for x, y, z in zip(tpa, bpa, cpa)):
            raise ValueError("%s: differs between the formats" % pname)
        counts.append("%s %d" % (species, tp.GetNumberOfPoints()))
    return "%s: %d arrays; particles %s" % (name, len(ta), ", ".join(counts))


def series(folder):
    listed = ET.parse(os.path.join(folder, "series.pvd")).getroot().find("Collection").findall("DataSet")
    for d in listed:
        read(os.path.join(folder, d.get("file")))
    return "%d files of series.pvd read" % len(listed)


if __name__ == "__main__":
    args = sys.argv[1:]
    try:
        summary = compare(*args[1:4], int(args[4])) if args[0] == "compare" else series(args[1])
    except (ValueError, OSError, ET.ParseError) as e:
        print("vtk_readback: FAILED: %s" % e)
        sys.exit(1)
    print("vtk_readback: ok: %s" % summary)
