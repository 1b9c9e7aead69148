#!/usr/bin/env python3
"""Generates the AMF scenes of the bundled examples.

    tools/make_example_geometry.py            # rewrites both scene files
    tools/make_example_geometry.py --check    # also runs the containment check of
                                              # example_geometry_check.py (needs numpy;
                                              # about a minute for the spacecraft)

Writes examples/small/scene.amf (a coarse case for the end-to-end tests),
examples/spacecraft/scene.amf (a finely tessellated spacecraft-like scene) and
examples/charging/sphere.amf (the floating sphere of the charging example).
Every object is a closed, outward-oriented triangle mesh without duplicate
vertices, coordinates in metres, its name in the first metadata element, as the
simulation's reader and its ray-parity containment test need. The output is
deterministic: running the script again rewrites the files byte for byte.

All shapes are solids of revolution: a profile polyline in the (r, h) half
plane is swept around an axis. The azimuth of every sweep starts at an odd
fraction of a step so that no mesh edge lies in a plane of symmetry of the
node grid; otherwise the rays cast from nodes on an object's axis would meet
edges exactly and count them twice.
"""

import argparse
import math
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Fraction of one azimuthal step by which every sweep is turned (see above).
PHASE_FRACTION = 0.3711

# Significant digits of the written coordinates: 1e-11 m resolution at 0.1 m,
# far below any mesh spacing, and short enough to keep the files small.
DIGITS = 9


class Mesh:
    """An indexed triangle mesh: vertices (x, y, z) in metres, triangles as
    index triples ordered counter-clockwise seen from outside."""

    def __init__(self, name, solid):
        self.name = name
        self.solid = solid  # the smooth shape it approximates, for the --check option
        self.vertices = []
        self.triangles = []

    def add_vertex(self, p):
        self.vertices.append(p)
        return len(self.vertices) - 1


# Cyclic axis permutations (orientation preserving): the local frame
# (r cos phi, r sin phi, h) is laid onto these world axes.
AXIS_FRAMES = {"x": (1, 2, 0), "y": (2, 0, 1), "z": (0, 1, 2)}


def revolve(mesh, centre, axis, profile, n_phi, closed_loop=False):
    """Sweeps profile [(r, h), ...] around the axis through centre.

    An open profile must start and end on the axis (r == 0); those points
    become single pole vertices. A closed loop (closed_loop=True, no point on
    the axis) gives a torus-like surface. Triangles are appended to mesh and
    oriented outward afterwards by the caller (see orient_outward)."""
    frame = AXIS_FRAMES[axis]
    phase = PHASE_FRACTION * 2.0 * math.pi / n_phi
    rings = []
    for r, h in profile:
        if r == 0.0:
            p = [0.0, 0.0, 0.0]
            p[frame[2]] = h
            rings.append([mesh.add_vertex(tuple(c + d for c, d in zip(centre, p)))])
            continue
        ring = []
        for j in range(n_phi):
            phi = phase + 2.0 * math.pi * j / n_phi
            p = [0.0, 0.0, 0.0]
            p[frame[0]] = r * math.cos(phi)
            p[frame[1]] = r * math.sin(phi)
            p[frame[2]] = h
            ring.append(mesh.add_vertex(tuple(c + d for c, d in zip(centre, p))))
        rings.append(ring)
    pairs = list(zip(rings[:-1], rings[1:]))
    if closed_loop:
        pairs.append((rings[-1], rings[0]))
    for lower, upper in pairs:
        for j in range(n_phi):
            jn = (j + 1) % n_phi
            if len(lower) == 1:
                mesh.triangles.append((lower[0], upper[jn], upper[j]))
            elif len(upper) == 1:
                mesh.triangles.append((lower[j], lower[jn], upper[0]))
            else:
                mesh.triangles.append((lower[j], lower[jn], upper[jn]))
                mesh.triangles.append((lower[j], upper[jn], upper[j]))


def signed_volume(mesh):
    """Volume enclosed by the mesh (m^3), positive when it is oriented outward."""
    v = mesh.vertices
    total = 0.0
    for a, b, c in mesh.triangles:
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = v[a], v[b], v[c]
        total += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)
    return total / 6.0


def orient_outward(mesh):
    if signed_volume(mesh) < 0.0:
        mesh.triangles = [(a, c, b) for a, b, c in mesh.triangles]


def arc(cr, ch, radius, a0, a1, steps, include_start=True):
    """Points of a circular arc in the (r, h) plane from angle a0 to a1 (rad)."""
    first = 0 if include_start else 1
    return [(cr + radius * math.cos(a0 + (a1 - a0) * s / steps),
             ch + radius * math.sin(a0 + (a1 - a0) * s / steps)) for s in range(first, steps + 1)]


def rounded_cylinder_profile(radius, height, fillet, cap_rings, fillet_steps, side_steps):
    """Profile of a cylinder of the given radius and height (m), centred on
    h = 0, with flat ends split into cap_rings rings and edges rounded by a
    quarter circle of radius fillet (0 for sharp edges)."""
    h0, h1 = -0.5 * height, 0.5 * height
    flat = radius - fillet
    pts = [(0.0, h0)] + [(flat * m / cap_rings, h0) for m in range(1, cap_rings + 1)]
    if fillet > 0.0:
        pts += arc(flat, h0 + fillet, fillet, -0.5 * math.pi, 0.0, fillet_steps, False)
    side0, side1 = h0 + fillet, h1 - fillet
    pts += [(radius, side0 + (side1 - side0) * s / side_steps) for s in range(1, side_steps)]
    if fillet > 0.0:
        pts += arc(flat, h1 - fillet, fillet, 0.0, 0.5 * math.pi, fillet_steps)
    else:
        pts.append((radius, h1))
    pts += [(flat * m / cap_rings, h1) for m in range(cap_rings - 1, 0, -1)] + [(0.0, h1)]
    return pts


def cylinder(name, centre, axis, radius, height, n_phi, cap_rings, side_steps,
             fillet=0.0, fillet_steps=0):
    mesh = Mesh(name, dict(kind="cylinder", centre=centre, axis=axis, radius=radius, height=height,
                           fillet=fillet, n_phi=n_phi))
    revolve(mesh, centre, axis,
            rounded_cylinder_profile(radius, height, fillet, cap_rings, fillet_steps, side_steps), n_phi)
    orient_outward(mesh)
    return mesh


def torus(name, centre, axis, major, minor, n_phi, n_minor):
    """A ring of tube radius minor (m) around a circle of radius major (m)."""
    mesh = Mesh(name, dict(kind="torus", centre=centre, axis=axis, major=major, minor=minor, n_phi=n_phi))
    profile = arc(major, 0.0, minor, 0.0, 2.0 * math.pi, n_minor)[:-1]
    revolve(mesh, centre, axis, profile, n_phi, closed_loop=True)
    orient_outward(mesh)
    return mesh


def sphere(name, centre, radius, n_phi, n_theta):
    """A UV sphere: a half circle from pole to pole swept around the z axis."""
    mesh = Mesh(name, dict(kind="sphere", centre=centre, radius=radius, n_phi=n_phi))
    profile = [(radius * math.sin(math.pi * s / n_theta), -radius * math.cos(math.pi * s / n_theta))
               for s in range(n_theta + 1)]
    profile[0] = (0.0, -radius)
    profile[-1] = (0.0, radius)
    revolve(mesh, centre, "z", profile, n_phi)
    orient_outward(mesh)
    return mesh


def charging_scene():
    """A conducting sphere of radius 5 mm near the centre of a 10 cm box (the
    charging example: half a Debye length of its plasma). The centre sits off
    the nodes of the example's meshes, so that no node lies on the surface."""
    return [sphere("Sphere", (0.0503, 0.0502, 0.0501), 0.005, 48, 24)]


def small_scene():
    """Coarse scene in [0, 0.04]^3 m for meshes of 8^3 to 16^3 nodes: every
    object is thick enough to hold mesh nodes at those spacings (2.7-5.7 mm)."""
    c = 0.02
    return [
        # Electrodes: thick discs normal to x on both sides of the body.
        cylinder("electrode1", (0.0325, c, c), "x", 0.0065, 0.0040, 12, 1, 1),
        cylinder("electrode2", (0.0075, c, c), "x", 0.0065, 0.0040, 12, 1, 1),
        # Body: a cylinder along z, 13 mm across and 18 mm long.
        cylinder("Body", (c, c, c), "z", 0.0065, 0.018, 16, 2, 3),
        # Magnets: small cylinders along y above and below the body in y.
        cylinder("magnet1", (c, 0.0325, c), "y", 0.0045, 0.0050, 10, 1, 1),
        cylinder("magnet2", (c, 0.0075, c), "y", 0.0045, 0.0050, 10, 1, 1),
    ]


def spacecraft_scene():
    """Spacecraft-like scene in [0, 0.1]^3 m: a cylindrical body with rounded
    rims along z, two ring electrodes normal to x on either side, and two
    cylindrical magnets along y. Object bounding boxes do not overlap, so every
    node and particle is ray-tested against at most one object."""
    c = 0.05
    return [
        torus("electrode1", (0.074, c, c), "x", 0.0105, 0.0030, 96, 24),
        torus("electrode2", (0.026, c, c), "x", 0.0105, 0.0030, 96, 24),
        cylinder("Body", (c, c, c), "z", 0.012, 0.050, 128, 8, 20, fillet=0.003, fillet_steps=8),
        cylinder("magnet1", (c, 0.072, c), "y", 0.005, 0.010, 64, 4, 6, fillet=0.001, fillet_steps=3),
        cylinder("magnet2", (c, 0.028, c), "y", 0.005, 0.010, 64, 4, 6, fillet=0.001, fillet_steps=3),
    ]


def fmt(x):
    s = "%.*g" % (DIGITS, x)
    return "0" if s == "-0" else s


def amf_text(meshes, title):
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<amf unit="meter" version="1.1">',
           "<!-- %s: generated by tools/make_example_geometry.py; edit the script, not this file -->" % title]
    for oid, m in enumerate(meshes):
        out.append('<object id="%d">' % oid)
        out.append('<metadata type="name">%s</metadata>' % m.name)
        out.append("<mesh>")
        out.append("<vertices>")
        for x, y, z in m.vertices:
            out.append("<vertex><coordinates><x>%s</x><y>%s</y><z>%s</z></coordinates></vertex>"
                       % (fmt(x), fmt(y), fmt(z)))
        out.append("</vertices>")
        out.append("<volume>")
        for a, b, c in m.triangles:
            out.append("<triangle><v1>%d</v1><v2>%d</v2><v3>%d</v3></triangle>" % (a, b, c))
        out.append("</volume>")
        out.append("</mesh>")
        out.append("</object>")
    out.append("</amf>")
    return "\n".join(out) + "\n"


def rounded(mesh):
    """Vertices as they will be read back from the file."""
    return [tuple(float(fmt(c)) for c in p) for p in mesh.vertices]


def bbox(points):
    return ([min(p[a] for p in points) for a in range(3)],
            [max(p[a] for p in points) for a in range(3)])


def validate(meshes, domain_lo, domain_hi):
    """Raises ValueError unless every mesh is closed, consistently and outward
    oriented, free of duplicate and degenerate parts, inside the domain, and
    unless the bounding boxes of the objects are pairwise disjoint."""
    boxes = []
    for m in meshes:
        pts = rounded(m)
        if len(set(pts)) != len(pts):
            raise ValueError("%s: duplicate vertices" % m.name)
        directed = set()
        for t in m.triangles:
            if len(set(t)) != 3:
                raise ValueError("%s: degenerate triangle %s" % (m.name, t))
            for e in ((t[0], t[1]), (t[1], t[2]), (t[2], t[0])):
                if e in directed:
                    raise ValueError("%s: edge %s used twice in one direction" % (m.name, e))
                directed.add(e)
        for a, b in directed:
            if (b, a) not in directed:
                raise ValueError("%s: open edge %s" % (m.name, (a, b)))
        used = {i for t in m.triangles for i in t}
        if len(used) != len(pts):
            raise ValueError("%s: unused vertices" % m.name)
        if signed_volume(m) <= 0.0:
            raise ValueError("%s: not oriented outward" % m.name)
        lo, hi = bbox(pts)
        if any(lo[a] <= domain_lo or hi[a] >= domain_hi for a in range(3)):
            raise ValueError("%s: leaves the domain" % m.name)
        boxes.append((m.name, lo, hi))
    for i, (na, la, ha) in enumerate(boxes):
        for nb, lb, hb in boxes[i + 1:]:
            if all(la[a] <= hb[a] and lb[a] <= ha[a] for a in range(3)):
                raise ValueError("bounding boxes of %s and %s overlap" % (na, nb))


SCENES = {
    # name: (builder, output file, domain edge (m), grid sizes for --check)
    "small": (small_scene, "examples/small/scene.amf", 0.04, (8, 10, 12, 13, 14, 15, 16)),
    "spacecraft": (spacecraft_scene, "examples/spacecraft/scene.amf", 0.1, (48, 64)),
    "charging": (charging_scene, "examples/charging/sphere.amf", 0.1, (41,)),
}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--check", action="store_true",
                    help="also cast the simulation's rays from the mesh nodes and compare with the exact solids")
    ap.add_argument("--only", choices=sorted(SCENES), help="write (and check) only this scene")
    ap.add_argument("--out-dir", default=REPO, help="root under which examples/... is written (default: the repository)")
    args = ap.parse_args()
    if os.path.abspath(args.out_dir) != REPO:
        print("writing under %s" % args.out_dir)
    for scene, (build, rel, edge, grids) in SCENES.items():
        if args.only and scene != args.only:
            continue
        meshes = build()
        validate(meshes, 0.0, edge)
        path = os.path.join(args.out_dir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(amf_text(meshes, scene))
        total = sum(len(m.triangles) for m in meshes)
        print("%s: %d triangles" % (rel, total))
        for m in meshes:
            lo, hi = bbox(rounded(m))
            print("  %-10s %6d triangles %6d vertices  volume %.4g m^3  box [%s] .. [%s]"
                  % (m.name, len(m.triangles), len(m.vertices), signed_volume(m),
                     " ".join(fmt(x) for x in lo), " ".join(fmt(x) for x in hi)))
        if args.check:
            from example_geometry_check import check_containment
            for n in grids:
                counts, bad = check_containment(meshes, rounded, 0.0, edge, n)
                print("  check %d^3: nodes inside %s; disagreements %d" % (n, counts, len(bad)))
                for b in bad[:10]:
                    print("    ", b)
                if bad or min(counts.values()) == 0:
                    sys.exit("containment check failed for %s on %d^3 nodes" % (scene, n))


if __name__ == "__main__":
    main()
