"""Containment check of the example scenes (the --check option of
make_example_geometry.py; needs numpy).

Casts the simulation's five rays from the mesh nodes with the same
Moller-Trumbore test and tolerances, takes the majority vote of the crossing
parities, and compares it with the smooth solid each mesh approximates. A
disagreement away from the surface means a hole, a flipped or duplicated
triangle, or a ray meeting edges exactly."""

import math

import numpy as np

from make_example_geometry import AXIS_FRAMES

# The simulation's ray directions, in its order.
RAYS = ((0.5, 0.5, 0.0), (0.0, 0.3, 0.7), (0.7, 0.0, 0.3), (0.7, 0.3, 0.0), (0.0, 0.7, 0.3))

# Nodes closer than this (m) to the smooth surface, beyond the tessellation
# gap, are not compared: there the mesh and the solid may differ.
MARGIN = 5e-5

def _rounded_cylinder(r, h, radius, height, fillet):
    """Signed distance (m, negative inside) in the (r, h) half plane."""
    qr, qh = r - (radius - fillet), abs(h) - (0.5 * height - fillet)
    return math.hypot(max(qr, 0.0), max(qh, 0.0)) + min(max(qr, qh), 0.0) - fillet


def exact_inside(solid, p):
    """(inside, distance to the surface less the tessellation gap) for a
    solid descriptor of make_example_geometry.Mesh."""
    d = [p[i] - solid["centre"][i] for i in range(3)]
    if solid["kind"] == "sphere":
        dist = math.sqrt(sum(x * x for x in d)) - solid["radius"]
        return dist < 0.0, abs(dist) - solid["radius"] * (1.0 - math.cos(math.pi / solid["n_phi"]))
    frame = AXIS_FRAMES[solid["axis"]]
    r, h = math.hypot(d[frame[0]], d[frame[1]]), d[frame[2]]
    if solid["kind"] == "cylinder":
        dist = _rounded_cylinder(r, h, solid["radius"], solid["height"], solid["fillet"])
        r_max = solid["radius"]
    else:
        dist = math.hypot(r - solid["major"], h) - solid["minor"]
        r_max = solid["major"] + solid["minor"]
    gap = r_max * (1.0 - math.cos(math.pi / solid["n_phi"]))  # chord below the smooth circle
    return dist < 0.0, abs(dist) - gap


def ray_votes(p, a, e1, e2):
    """Number of the five rays from p that cross the triangles an odd number of times."""
    votes = 0
    s = p - a
    q = np.cross(s, e1)
    for d in RAYS:
        d = np.array(d)
        h = np.cross(d, e2)
        det = np.einsum("ij,ij->i", e1, h)
        ok = np.abs(det) >= 1e-8
        f = 1.0 / np.where(ok, det, 1.0)
        u = f * np.einsum("ij,ij->i", s, h)
        v = f * (q @ d)
        t = f * np.einsum("ij,ij->i", e2, q)
        hit = ok & (u >= 0) & (u <= 1) & (v >= 0) & (u + v <= 1) & (t > 1e-8)
        votes += int(hit.sum()) % 2
    return votes


def check_containment(meshes, rounded, lo, hi, n):
    """Tests every node of an n^3 grid on [lo, hi]^3 that lies in an object's
    bounding box. rounded(mesh) gives the vertices as written to the file.
    Returns ({name: nodes inside}, [(name, node, voted, exact), ...])."""
    coords = lo + (hi - lo) / (n - 1) * np.arange(n)
    inside_count, bad = {}, []
    for m in meshes:
        v = np.array(rounded(m))
        t = np.array(m.triangles)
        a = v[t[:, 0]]
        e1, e2 = v[t[:, 1]] - a, v[t[:, 2]] - a
        blo, bhi = v.min(axis=0), v.max(axis=0)
        sel = [coords[(coords >= blo[ax]) & (coords <= bhi[ax])] for ax in range(3)]
        inside_count[m.name] = 0
        for x in sel[0]:
            for y in sel[1]:
                for z in sel[2]:
                    p = np.array([x, y, z])
                    voted = ray_votes(p, a, e1, e2) > 2
                    exact, margin = exact_inside(m.solid, p)
                    inside_count[m.name] += int(voted)
                    if margin > MARGIN and voted != exact:
                        bad.append((m.name, tuple(p), voted, exact))
    return inside_count, bad
