#!/usr/bin/env python3
"""Makes data/geo/sweden_outline.txt: the outline of Sweden in RT90 (EPSG:3021) metres.

A developer runs this when the outline must change; the build only reads the committed
result. Source: Natural Earth's 1:10m Admin 0 countries (public domain) as the npm package
world-atlas carries them (countries-10m.json, TopoJSON). The rings are projected from WGS 84
to RT90 2.5 gon V with PROJ's cs2cs, simplified (Douglas-Peucker) and small islands dropped.

Needs python3, the Debian package proj-bin (cs2cs) and npm. Run from the source tree:

    tools/outline/make_outline.py                  # fetches world-atlas with "npm pack"
    tools/outline/make_outline.py countries-10m.json

Options: --tolerance METRES (default 150), --min-area KM2 (default 8).
"""
import argparse
import json
import math
import os
import subprocess
import sys
import tarfile
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.normpath(os.path.join(HERE, "..", "..", "data", "geo", "sweden_outline.txt"))


def fetch_world_atlas(folder):
    subprocess.run(["npm", "pack", "--silent", "world-atlas@2"], cwd=folder, check=True,
                   stdout=subprocess.DEVNULL)
    tgz = [f for f in os.listdir(folder) if f.endswith(".tgz")][0]
    with tarfile.open(os.path.join(folder, tgz)) as t:
        t.extract("package/countries-10m.json", folder)
    return os.path.join(folder, "package", "countries-10m.json")


def decode_arcs(topo):
    sx, sy = topo["transform"]["scale"]
    tx, ty = topo["transform"]["translate"]
    arcs = []
    for arc in topo["arcs"]:
        x = y = 0
        pts = []
        for dx, dy in arc:
            x += dx
            y += dy
            pts.append((x * sx + tx, y * sy + ty))
        arcs.append(pts)
    return arcs


def ring_points(arcs, ring):
    pts = []
    for i in ring:
        a = arcs[i] if i >= 0 else list(reversed(arcs[~i]))
        pts.extend(a if not pts else a[1:])
    return pts


def project(rings):
    """Longitude/latitude rings to RT90 (x east, y north) through one cs2cs run."""
    text = "".join("%.7f %.7f\n" % (lat, lon) for ring in rings for lon, lat in ring)
    out = subprocess.run(["cs2cs", "-f", "%.1f", "EPSG:4326", "EPSG:3021"], input=text,
                         capture_output=True, text=True, check=True).stdout.split("\n")
    result, k = [], 0
    for ring in rings:
        pr = []
        for _ in ring:
            north, east = out[k].split()[:2]
            pr.append((float(east), float(north)))
            k += 1
        result.append(pr)
    return result


def simplify(pts, tol):
    """Douglas-Peucker on a closed ring (first point repeated at the end)."""
    keep = [False] * len(pts)
    keep[0] = keep[-1] = True
    # Split the ring at its farthest point from the start, so both halves are open lines.
    far = max(range(len(pts)), key=lambda i: (pts[i][0] - pts[0][0]) ** 2 + (pts[i][1] - pts[0][1]) ** 2)
    keep[far] = True
    stack = [(0, far), (far, len(pts) - 1)]
    while stack:
        a, b = stack.pop()
        if b <= a + 1:
            continue
        ax, ay = pts[a]
        bx, by = pts[b]
        dx, dy = bx - ax, by - ay
        norm = math.hypot(dx, dy)
        best, at = -1.0, -1
        for i in range(a + 1, b):
            px, py = pts[i]
            d = abs(dy * (px - ax) - dx * (py - ay)) / norm if norm else math.hypot(px - ax, py - ay)
            if d > best:
                best, at = d, i
        if best > tol:
            keep[at] = True
            stack.append((a, at))
            stack.append((at, b))
    return [p for p, k in zip(pts, keep) if k]


def area(pts):
    return abs(sum(x1 * y2 - x2 * y1 for (x1, y1), (x2, y2) in zip(pts, pts[1:] + pts[:1]))) / 2


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("source", nargs="?")
    ap.add_argument("--tolerance", type=float, default=150.0)
    ap.add_argument("--min-area", type=float, default=8.0)
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        source = args.source or fetch_world_atlas(tmp)
        with open(source) as f:
            topo = json.load(f)
    arcs = decode_arcs(topo)
    sweden = [g for g in topo["objects"]["countries"]["geometries"]
              if g.get("properties", {}).get("name") == "Sweden"]
    if len(sweden) != 1:
        sys.exit("Sweden not found in " + source)
    geom = sweden[0]
    polygons = geom["arcs"] if geom["type"] == "MultiPolygon" else [geom["arcs"]]
    rings, owner = [], []
    for k, poly in enumerate(polygons):
        for ring in poly:
            rings.append(ring_points(arcs, ring))
            owner.append(k)
    projected = project(rings)

    # Each polygon is its outer ring followed by its holes; polygons go largest first.
    groups = {}
    for k, pts in zip(owner, projected):
        groups.setdefault(k, []).append(pts)
    blocks = []
    for k, parts in sorted(groups.items(), key=lambda g: -area(g[1][0])):
        if area(parts[0]) < args.min_area * 1e6:
            continue
        for n, pts in enumerate(parts):
            if n > 0 and area(pts) < args.min_area * 1e6:
                continue
            s = simplify(pts, args.tolerance)
            if s[0] == s[-1]:
                s = s[:-1]
            if len(s) >= 3:
                blocks.append(("ring" if n == 0 else "hole", s))

    with open(OUT, "w", newline="\n") as f:
        f.write("# The outline of Sweden in RT90 2.5 gon V (EPSG:3021), whole metres: X eastwards, Y northwards.\n")
        f.write("# From Natural Earth 1:10m Admin 0 countries (public domain), projected with PROJ,\n")
        f.write("# simplified to %g m, islands below %g km2 left out. Made by tools/outline/make_outline.py.\n"
                % (args.tolerance, args.min_area))
        f.write("# One block per ring, largest first: \"ring <points>\" (land) or \"hole <points>\" (a hole in\n")
        f.write("# the ring before it), then one \"X Y\" line per point; the ring closes by itself.\n")
        for kind, pts in blocks:
            f.write("\n%s %d\n" % (kind, len(pts)))
            for x, y in pts:
                f.write("%d %d\n" % (round(x), round(y)))
    print("wrote %s: %d rings, %d points" % (OUT, len(blocks), sum(len(b[1]) for b in blocks)))


if __name__ == "__main__":
    main()
