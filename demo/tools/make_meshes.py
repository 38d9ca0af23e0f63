#!/usr/bin/env python3
"""Writes the demo's meshes as Wavefront OBJ files the player reads: "v", "vt" and "vn" lines
with six decimals and triangles given as "f p/t/n p/t/n p/t/n" (1-based), nothing else.

Usage: make_meshes.py OUTPUT_DIR
"""
import math
import os
import sys


class Mesh:
    def __init__(self):
        self.v, self.vt, self.vn, self.f = [], [], [], []

    def vertex(self, p, uv, n):
        """Adds one corner (position, texture coordinate, normal); returns its 1-based index."""
        length = math.sqrt(sum(c * c for c in n)) or 1.0
        self.v.append(p)
        self.vt.append(uv)
        self.vn.append(tuple(c / length for c in n))
        return len(self.v)

    def tri(self, a, b, c):
        """Adds a triangle unless two of its corners coincide (the poles of a sphere)."""
        pa, pb, pc = (tuple(round(x, 6) for x in self.v[i - 1]) for i in (a, b, c))
        if pa != pb and pb != pc and pc != pa:
            self.f.append((a, b, c))

    def quad(self, a, b, c, d):
        """Two triangles, counter-clockwise seen from the front."""
        self.tri(a, b, c)
        self.tri(a, c, d)

    def write(self, path, comment):
        with open(path, "w") as out:
            out.write("# %s\n" % comment)
            for x, y, z in self.v:
                out.write("v %.6f %.6f %.6f\n" % (x, y, z))
            for u, w in self.vt:
                out.write("vt %.6f %.6f\n" % (u, w))
            for x, y, z in self.vn:
                out.write("vn %.6f %.6f %.6f\n" % (x, y, z))
            for face in self.f:
                out.write("f " + " ".join("%d/%d/%d" % (i, i, i) for i in face) + "\n")
        print("%s: %d triangles" % (path, len(self.f)))


def grid(mesh, rows, cols, corner):
    """Quads over a (rows+1) x (cols+1) lattice; corner(i, j) gives (position, uv, normal)."""
    idx = [[mesh.vertex(*corner(i, j)) for j in range(cols + 1)] for i in range(rows + 1)]
    for i in range(rows):
        for j in range(cols):
            mesh.quad(idx[i][j], idx[i + 1][j], idx[i + 1][j + 1], idx[i][j + 1])


def sphere(slices=48, stacks=24, radius=1.0):
    m = Mesh()

    def corner(i, j):
        theta = math.pi * i / stacks  # from the north pole down
        phi = 2 * math.pi * j / slices
        n = (math.sin(theta) * math.cos(phi), math.cos(theta), -math.sin(theta) * math.sin(phi))
        return tuple(radius * c for c in n), (j / slices, i / stacks), n

    grid(m, stacks, slices, corner)
    return m


def torus(major=1.0, minor=0.3, rings=64, sides=24):
    m = Mesh()

    def corner(i, j):
        a = 2 * math.pi * i / rings
        b = 2 * math.pi * j / sides
        n = (math.cos(b) * math.cos(a), math.sin(b), -math.cos(b) * math.sin(a))
        centre = (major * math.cos(a), 0.0, -major * math.sin(a))
        p = tuple(c + minor * d for c, d in zip(centre, n))
        return p, (2.0 * i / rings, j / sides), n

    grid(m, rings, sides, corner)
    return m


def height(x, z):
    """Rolling hills, flattened into a plaza around the origin and a basin beyond it."""
    r = math.hypot(x, z)
    hills = (1.6 * math.sin(0.21 * x + 0.4) * math.cos(0.17 * z - 0.3)
             + 0.7 * math.sin(0.45 * x - 0.33 * z)
             + 0.35 * math.cos(0.9 * z + 0.2 * x))
    rim = min(1.0, max(0.0, (r - 9.0) / 8.0))  # 0 inside the plaza, 1 beyond r = 17
    return rim * rim * (hills + 0.12 * (r - 9.0)) - 0.05


def terrain(size=60.0, cells=63):
    m = Mesh()
    step = size / cells
    e = 0.05

    def corner(i, j):
        x = -size / 2 + j * step
        z = -size / 2 + i * step
        y = height(x, z)
        n = (height(x - e, z) - height(x + e, z), 2 * e, height(x, z - e) - height(x, z + e))
        return (x, y, z), (x / 6.0, z / 6.0), n

    grid(m, cells, cells, corner)
    return m


def box(m, cx, cy, cz, sx, sy, sz, uv_scale=1.0):
    """Axis-aligned box centred on (cx, cy, cz) with half sizes (sx, sy, sz), flat normals."""
    for axis in range(3):
        for sign in (-1.0, 1.0):
            n = [0.0, 0.0, 0.0]
            n[axis] = sign
            # Cyclic order makes u x v the +axis direction; swapped, it is -axis: every face
            # then winds counter-clockwise seen from outside.
            u_axis, v_axis = (axis + 1) % 3, (axis + 2) % 3
            if sign < 0:
                u_axis, v_axis = v_axis, u_axis
            corners = []
            for du, dv in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                p = [cx, cy, cz]
                half = (sx, sy, sz)
                p[axis] += sign * half[axis]
                p[u_axis] += du * half[u_axis]
                p[v_axis] += dv * half[v_axis]
                uv = ((du + 1) / 2 * uv_scale, (dv + 1) / 2 * uv_scale)
                corners.append(m.vertex(tuple(p), uv, tuple(n)))
            m.quad(*corners)


def cylinder(m, cx, cz, radius, y0, y1, sides=20):
    """Open-ended upright cylinder with smooth sides."""
    idx = []
    for k in range(sides + 1):
        a = 2 * math.pi * k / sides
        n = (math.cos(a), 0.0, -math.sin(a))
        p0 = (cx + radius * n[0], y0, cz + radius * n[2])
        p1 = (cx + radius * n[0], y1, cz + radius * n[2])
        u = 2.0 * k / sides
        idx.append((m.vertex(p0, (u, 0.0), n), m.vertex(p1, (u, (y1 - y0) / 2), n)))
    for k in range(sides):
        m.quad(idx[k][0], idx[k + 1][0], idx[k + 1][1], idx[k][1])


def disc(m, radius, y, sides=48):
    """Flat disc facing up."""
    centre = m.vertex((0.0, y, 0.0), (0.0, 0.0), (0.0, 1.0, 0.0))
    rim = []
    for k in range(sides + 1):
        a = 2 * math.pi * k / sides
        p = (radius * math.cos(a), y, -radius * math.sin(a))
        rim.append(m.vertex(p, (p[0] / 3, p[2] / 3), (0.0, 1.0, 0.0)))
    for k in range(sides):
        m.tri(centre, rim[k], rim[k + 1])


def pillars(count=8, ring=6.0, tall=4.5):
    """A round plaza with a ring of pillars, each on a plinth and under a capital."""
    m = Mesh()
    disc(m, ring + 1.6, 0.02)
    cylinder(m, 0.0, 0.0, ring + 1.6, -0.4, 0.02, sides=48)
    for k in range(count):
        a = 2 * math.pi * k / count
        x, z = ring * math.cos(a), -ring * math.sin(a)
        box(m, x, 0.2, z, 0.6, 0.2, 0.6)
        cylinder(m, x, z, 0.38, 0.4, tall - 0.3)
        box(m, x, tall - 0.15, z, 0.55, 0.15, 0.55)
    return m


def cube():
    m = Mesh()
    box(m, 0.0, 0.0, 0.0, 0.5, 0.5, 0.5)
    return m


def gem(sides=6, radius=0.5, top=0.9, bottom=-0.6):
    """A faceted double pyramid with flat normals."""
    m = Mesh()
    ring = [(radius * math.cos(2 * math.pi * k / sides), 0.0,
             -radius * math.sin(2 * math.pi * k / sides)) for k in range(sides)]
    for tip in ((0.0, top, 0.0), (0.0, bottom, 0.0)):
        for k in range(sides):
            a, b = ring[k], ring[(k + 1) % sides]
            if tip[1] < 0:
                a, b = b, a
            u = [b[i] - a[i] for i in range(3)]
            w = [tip[i] - a[i] for i in range(3)]
            n = (u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0])
            m.tri(m.vertex(a, (0.0, 0.0), n), m.vertex(b, (1.0, 0.0), n),
                  m.vertex(tip, (0.5, 1.0), n))
    return m


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "meshes"
    os.makedirs(out, exist_ok=True)
    sphere().write(os.path.join(out, "sphere.obj"), "UV sphere, radius 1")
    torus().write(os.path.join(out, "torus.obj"), "torus, radii 1 and 0.3, in the x-z plane")
    torus(minor=0.05, rings=96, sides=12).write(os.path.join(out, "ring.obj"),
                                                  "thin ring, radii 1 and 0.05, in the x-z plane")
    terrain().write(os.path.join(out, "terrain.obj"), "60 x 60 height field, flat plaza at 0")
    pillars().write(os.path.join(out, "pillars.obj"), "plaza with a ring of eight pillars")
    cube().write(os.path.join(out, "cube.obj"), "unit cube")
    gem().write(os.path.join(out, "gem.obj"), "six-sided double pyramid")


if __name__ == "__main__":
    main()
