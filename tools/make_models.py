#!/usr/bin/env python3
"""Models of the sample production's 3D scene, written from code so that
every build makes the same bytes.

  make_models.py <Data folder>

  meshes/beacon.glb   a skinned, animated spindle: eight-sided rings on two
                      joints, the upper joint swaying (glTF 2.0 binary)
  meshes/city.obj     a wire-frame town: a ground grid, blocks, a pyramid
  meshes/city.mtl     and a seven-sided plaza, with their materials
"""
import json
import math
import os
import struct
import sys


# ---------------------------------------------------------------------------
# GLB
# ---------------------------------------------------------------------------

def pad(data, fill):
    return data + fill * ((4 - len(data) % 4) % 4)


class Bin:
    """The BIN chunk with one buffer view and accessor per array."""

    def __init__(self):
        self.data = b""
        self.views = []
        self.accessors = []

    def add(self, fmt, values, component, kind, count, minmax=None):
        offset = len(self.data)
        raw = struct.pack("<" + fmt * len(values), *values)
        self.data = pad(self.data + raw, b"\0")
        self.views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(raw)})
        accessor = {"bufferView": len(self.views) - 1, "componentType": component, "type": kind, "count": count}
        if minmax:
            accessor["min"], accessor["max"] = minmax
        self.accessors.append(accessor)
        return len(self.accessors) - 1


def spindle():
    """Positions, joints, weights and triangle indices of an eight-sided
    spindle standing on the y axis from -24 to +24."""
    sides = 8
    rings = [(-24.0, 0.0), (-16.0, 7.0), (-6.0, 11.0), (4.0, 9.0), (14.0, 11.0), (24.0, 0.0)]
    positions, joints, weights = [], [], []
    for y, r in rings:
        for s in range(sides):
            a = 2.0 * math.pi * s / sides
            positions += [r * math.cos(a), y, r * math.sin(a)]
            upper = min(max((y + 6.0) / 20.0, 0.0), 1.0)
            joints += [0, 1, 0, 0]
            weights += [1.0 - upper, upper, 0.0, 0.0]
    indices = []
    for i in range(len(rings) - 1):
        for s in range(sides):
            a, b = i * sides + s, i * sides + (s + 1) % sides
            c, d = a + sides, b + sides
            indices += [a, b, d, a, d, c]
    return positions, joints, weights, indices


def write_glb(path):
    positions, joints, weights, indices = spindle()
    count = len(positions) // 3
    xs, ys, zs = positions[0::3], positions[1::3], positions[2::3]
    b = Bin()
    pos = b.add("f", positions, 5126, "VEC3", count, ([min(xs), min(ys), min(zs)], [max(xs), max(ys), max(zs)]))
    jnt = b.add("H", joints, 5123, "VEC4", count)
    wgt = b.add("f", weights, 5126, "VEC4", count)
    idx = b.add("H", indices, 5123, "SCALAR", len(indices))
    # Inverse bind matrices: the joints stand at y = -24 and y = 0.
    ibm = []
    for y in (-24.0, 0.0):
        ibm += [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -y, 0, 1]
    inv = b.add("f", ibm, 5126, "MAT4", 2)
    times = [0.0, 1.0, 2.0, 3.0]
    tim = b.add("f", times, 5126, "SCALAR", len(times))
    sway = []
    for angle in (-0.25, 0.25, -0.25, 0.0):
        sway += [0.0, 0.0, math.sin(angle / 2.0), math.cos(angle / 2.0)]
    rot = b.add("f", sway, 5126, "VEC4", len(times))
    lift = b.add("f", [0, -24, 0, 0, -22, 0, 0, -24, 0, 0, -24, 0], 5126, "VEC3", len(times))
    doc = {
        "asset": {"version": "2.0", "generator": "velmora tools/make_models.py"},
        "scene": 0,
        "scenes": [{"name": "beacon", "nodes": [0, 1]}],
        "nodes": [
            {"name": "Beacon", "mesh": 0, "skin": 0},
            {"name": "Root", "translation": [0, -24, 0], "children": [2]},
            {"name": "Top", "translation": [0, 24, 0]},
        ],
        "meshes": [{"name": "Spindle", "primitives": [
            {"attributes": {"POSITION": pos, "JOINTS_0": jnt, "WEIGHTS_0": wgt}, "indices": idx}]}],
        "skins": [{"name": "BeaconSkin", "joints": [1, 2], "skeleton": 1, "inverseBindMatrices": inv}],
        "animations": [{"name": "Sway", "samplers": [
            {"input": tim, "output": rot, "interpolation": "LINEAR"},
            {"input": tim, "output": lift, "interpolation": "LINEAR"}],
            "channels": [{"sampler": 0, "target": {"node": 2, "path": "rotation"}},
                         {"sampler": 1, "target": {"node": 1, "path": "translation"}}]}],
        "buffers": [{"byteLength": len(b.data)}],
        "bufferViews": b.views,
        "accessors": b.accessors,
    }
    text = pad(json.dumps(doc, separators=(",", ":"), sort_keys=True).encode(), b" ")
    total = 12 + 8 + len(text) + 8 + len(b.data)
    with open(path, "wb") as f:
        f.write(struct.pack("<4sII", b"glTF", 2, total))
        f.write(struct.pack("<II", len(text), 0x4E4F534A) + text)
        f.write(struct.pack("<II", len(b.data), 0x004E4942) + b.data)


# ---------------------------------------------------------------------------
# OBJ
# ---------------------------------------------------------------------------

class Obj:
    def __init__(self):
        self.lines = ["# Velmora wire-frame town (tools/make_models.py)", "mtllib city.mtl"]
        self.count = 0

    def vertex(self, x, y, z):
        self.lines.append("v %.3f %.3f %.3f" % (x, y, z))
        self.count += 1
        return self.count

    def obj(self, name, material):
        self.lines += ["o " + name, "usemtl " + material]

    def face(self, corners):
        self.lines.append("f " + " ".join(str(c) for c in corners))

    def block(self, x, z, w, d, h, ground):
        c = [self.vertex(x + dx, y, z + dz) for y in (ground, ground + h)
             for dx, dz in ((-w, -d), (w, -d), (w, d), (-w, d))]
        for f in ((0, 1, 2, 3), (4, 7, 6, 5), (0, 4, 5, 1), (1, 5, 6, 2), (2, 6, 7, 3), (3, 7, 4, 0)):
            self.face([c[i] for i in f])


def write_obj(folder):
    ground = -30.0
    o = Obj()
    o.obj("Ground", "grid")
    n, size = 10, 16.0
    grid = [[o.vertex(-80 + i * size, ground, -80 + j * size) for i in range(n + 1)] for j in range(n + 1)]
    for j in range(n):
        for i in range(n):
            # Counter-clockwise seen from above: the display culls back faces.
            o.face([grid[j][i], grid[j + 1][i], grid[j + 1][i + 1], grid[j][i + 1]])
    blocks = [(-52, -40, 8, 8, 40), (-50, 30, 10, 6, 26), (48, -44, 7, 10, 56), (55, 36, 9, 9, 34),
              (-20, -62, 12, 5, 22), (22, 62, 6, 6, 46), (66, -4, 5, 12, 30), (-68, 0, 6, 9, 18)]
    for k, (x, z, w, d, h) in enumerate(blocks):
        o.obj("Block%d" % k, "block" if k % 2 else "glass")
        o.block(x, z, w, d, h, ground)
    o.obj("Pyramid", "gold")
    apex = o.vertex(0, 10, -100)
    base = [o.vertex(x, ground, -100 + z) for x, z in ((-18, -18), (18, -18), (18, 18), (-18, 18))]
    for i in range(4):
        o.face([base[i], base[(i + 1) % 4], apex])
    o.face(list(reversed(base)))
    o.obj("Plaza", "gold")
    o.face([o.vertex(34 * math.cos(2 * math.pi * k / 7), ground + 0.5, -34 * math.sin(2 * math.pi * k / 7))
            for k in range(7)])
    with open(os.path.join(folder, "city.obj"), "w", newline="\n") as f:
        f.write("\n".join(o.lines) + "\n")
    mtl = ["# Materials of the wire-frame town",
           "newmtl grid", "Kd 0.1 0.4 0.5", "illum 1",
           "newmtl block", "Kd 0.9 0.5 0.2", "Ks 0.5 0.5 0.5", "Ns 20", "illum 2",
           "newmtl glass", "Kd 0.3 0.7 1.0", "d 0.6", "illum 2",
           "newmtl gold", "Kd 1.0 0.8 0.3", "illum 1"]
    with open(os.path.join(folder, "city.mtl"), "w", newline="\n") as f:
        f.write("\n".join(mtl) + "\n")


def main():
    folder = os.path.join(sys.argv[1], "meshes")
    os.makedirs(folder, exist_ok=True)
    write_glb(os.path.join(folder, "beacon.glb"))
    write_obj(folder)


if __name__ == "__main__":
    main()
