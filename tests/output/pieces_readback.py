#!/usr/bin/env python3
"""pieces_readback.py INDEX.pvti WHOLE.vti: the pieces, joined by VTK's reader
and each on its own, hold the one-file image's values. Exits 1 on a difference.
"""

import os
import sys
import xml.etree.ElementTree as ET

import vtk
from vtk.util.numpy_support import vtk_to_numpy


def read(reader, path):
    log = vtk.vtkStringOutputWindow()
    vtk.vtkOutputWindow.SetInstance(log)
    reader.SetFileName(path)
    reader.Update()
    if reader.GetErrorCode() or log.GetOutput().strip():
        raise ValueError("%s: VTK reported %s" % (path, log.GetOutput().strip()))
    return reader.GetOutput()


def same(x, y):
    return (x.GetName(), x.GetDataTypeAsString()) == (y.GetName(), y.GetDataTypeAsString()) and \
        vtk_to_numpy(x).tobytes() == vtk_to_numpy(y).tobytes()


def check_pieces(index, one):
    ni, nj, nk = one.GetDimensions()
    b = one.GetPointData()
    for piece in ET.parse(index).getroot().find("PImageData").findall("Piece"):
        path = os.path.join(os.path.dirname(index), piece.get("Source"))
        data = read(vtk.vtkXMLImageDataReader(), path)
        first, last = [int(v) for v in piece.get("Extent").split()[:2]]
        if data.GetDimensions() != one.GetDimensions():
            raise ValueError("%s: dimensions %s" % (path, data.GetDimensions()))
        # The reader places the piece in an image of the whole extent.
        for n in range(b.GetNumberOfArrays()):
            name = b.GetArray(n).GetName()
            y = vtk_to_numpy(b.GetArray(n)).reshape(nk, nj, ni, -1)[:, :, first:last + 1]
            x = data.GetPointData().GetArray(name)
            if x is None or vtk_to_numpy(x).reshape(nk, nj, ni, -1)[:, :, first:last + 1].tobytes() != y.tobytes():
                raise ValueError("%s: array %s differs" % (path, name))


def main(index, whole):
    pieces, one = read(vtk.vtkXMLPImageDataReader(), index), read(vtk.vtkXMLImageDataReader(), whole)
    if pieces.GetExtent() != one.GetExtent() or pieces.GetOrigin() != one.GetOrigin() or \
            pieces.GetSpacing() != one.GetSpacing():
        raise ValueError("geometry differs: %s against %s" % (pieces.GetExtent(), one.GetExtent()))
    a, b = pieces.GetPointData(), one.GetPointData()
    if a.GetNumberOfArrays() != b.GetNumberOfArrays():
        raise ValueError("%d arrays against %d" % (a.GetNumberOfArrays(), b.GetNumberOfArrays()))
    for n in range(b.GetNumberOfArrays()):
        x, y = a.GetArray(n), b.GetArray(n)
        if not same(x, y):
            raise ValueError("array %s differs" % y.GetName())
    check_pieces(index, one)


if __name__ == "__main__":
    try:
        main(*sys.argv[1:3])
    except (ValueError, OSError, TypeError, ET.ParseError) as e:
        sys.exit("pieces_readback: FAILED: %s" % e)
    print("pieces_readback: ok")
