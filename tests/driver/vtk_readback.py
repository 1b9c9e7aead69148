#!/usr/bin/env python3
"""Reads the program's VTK files with VTK's own readers (python3-vtk9).

    vtk_readback.py compare TEXT_DIR BINARY_DIR COMPRESSED_DIR STEP   same arrays in the three formats
    vtk_readback.py series DIR                                         every file of series.pvd reads
    vtk_readback.py close DIR_A DIR_B STEP RTOL                         arrays within RTOL of the largest

Exits 1 naming the first difference; an error or warning of a VTK reader fails.
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


def compare(dirs, step):
    name = "vti/%05d.vti" % step
    (t, ta), (b, ba), (c, ca) = (read(os.path.join(d, name)) for d in dirs)
    heads = [[a[:2] for a in arrays] for arrays in (ta, ba, ca)]
    if not t.GetDimensions() == b.GetDimensions() == c.GetDimensions() or not heads[0] == heads[1] == heads[2]:
        raise ValueError("%s: dimensions or arrays differ: %s, %s" % (name, heads[0], heads[1]))
    for (array, typ, tv), (_, _, bv), (_, _, cv) in zip(ta, ba, ca):
        same = (tv == bv) if typ != "double" else (np.char.mod("%g", tv) == np.char.mod("%g", bv))
        if bv.tobytes() != cv.tobytes() or tv.shape != bv.shape or not np.all(same):
            raise ValueError("%s: %s differs between the formats" % (name, array))
    for species in ("O+", "e-"):
        pname = "vti/%05d.%s.vtp" % (step, species)
        (tp, tpa), (_, bpa), (_, cpa) = (read(os.path.join(d, pname)) for d in dirs)
        if tp.GetNumberOfVerts() != tp.GetNumberOfPoints() or any(
                x[2].tobytes() != y[2].tobytes() or y[2].tobytes() != z[2].tobytes() for x, y, z in zip(tpa, bpa, cpa)):
            raise ValueError("%s: differs between the formats" % pname)


def close(dir_a, dir_b, step, rtol):
    name = "vti/%05d.vti" % step
    (a, aa), (b, ba) = (read(os.path.join(d, name)) for d in (dir_a, dir_b))
    if a.GetDimensions() != b.GetDimensions() or [x[:2] for x in aa] != [x[:2] for x in ba]:
        raise ValueError("%s: dimensions or arrays differ" % name)
    for (array, typ, av), (_, _, bv) in zip(aa, ba):
        scale = float(np.max(np.abs(av))) if av.size else 0.0
        worst = float(np.max(np.abs(av - bv))) if av.size else 0.0
        if (typ != "double" and worst != 0) or worst > rtol * scale + 1e-300:
            raise ValueError("%s: %s differs by %g (largest value %g)" % (name, array, worst, scale))


def series(folder):
    for d in ET.parse(os.path.join(folder, "series.pvd")).getroot().find("Collection").findall("DataSet"):
        read(os.path.join(folder, d.get("file")))


if __name__ == "__main__":
    args = sys.argv[1:]
    try:
        if args[0] == "compare":
            compare(args[1:4], int(args[4]))
        elif args[0] == "close":
            close(args[1], args[2], int(args[3]), float(args[4]))
        else:
            series(args[1])
    except (ValueError, OSError, ET.ParseError) as e:
        sys.exit("vtk_readback: FAILED: %s" % e)
    print("vtk_readback: ok")
