#!/usr/bin/env python3
"""Makes data/geo/sweden_regions.txt: the borders of the eight regions of Sweden and the
neighbouring land, in RT90 (EPSG:3021) metres, for the region pictures and the overview map.

A developer runs this when the data must change; the build only reads the committed result.

Borders: the eight regions are the south, the middle and the north of Sweden, each cut into
a western and an eastern half, with Skåne/Blekinge and Öland/Gotland apart. Every border
follows historical province borders: Skåne and Blekinge against Halland and Småland; the
Götaland-Svealand line through Vänern, Tiveden and Kolmården; Västergötland and Halland
against Småland and Östergötland. The middle reaches up to Härjedalen and Hälsingland (their
borders against Jämtland and Medelpad), as the places of the regions on the map ask: Värmland,
Närke, Dalarna and Härjedalen are its western half; Södermanland, Västmanland, Uppland,
Gästrikland and Hälsingland its eastern. The north is cut along the lappmark border and
Jämtland's border against the coastal provinces. The borders are drawn here as
longitude/latitude polylines at a few kilometres' accuracy, enough for pictures at seven to
eleven kilometres per pixel, and reach past the coast and the national border so that
cutting the outline of Sweden (data/geo/sweden_outline.txt) with them leaves no gap.

Neighbouring land: Natural Earth 1:10m Admin 0 countries (public domain) from the npm package
world-atlas, as make_outline.py uses it, kept only near Sweden.

All points are projected from WGS 84 to RT90 2.5 gon V with PROJ's cs2cs (Debian proj-bin).

    tools/outline/make_regions.py                  # fetches world-atlas with "npm pack"
    tools/outline/make_regions.py countries-10m.json

File format (after the "#" header): blocks of a keyword line and one "X Y" line per point:
  "south <name> <points>"  a border from west to east; the land south of it lies on its
                           right-hand side.
  "west <name> <points>"   a border from north to south; the land west of it lies on its
                           right-hand side.
  "islands <points>"       a closed ring around Öland and Gotland, clear of the mainland.
  "land <points>"          a closed ring of neighbouring land.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_outline  # noqa: E402  (shares the TopoJSON reading, projection and simplifying)

OUT = os.path.normpath(os.path.join(HERE, "..", "..", "data", "geo", "sweden_regions.txt"))

# (longitude, latitude) polylines.
SOUTH_BORDERS = [
    # Skåne and Blekinge against Halland and Småland.
    ("skane", [(12.2, 56.47), (12.85, 56.47), (13.1, 56.45), (13.45, 56.44), (13.9, 56.46),
               (14.3, 56.52), (14.6, 56.45), (15.0, 56.43), (15.5, 56.38), (15.9, 56.30),
               (16.1, 56.27), (16.5, 56.27)]),
    # Götaland against Svealand: Dalsland-Värmland, through Vänern, Tiveden, north of
    # Östergötland, Kolmården to Bråviken.
    ("gotaland", [(10.8, 59.10), (11.75, 59.10), (12.1, 59.25), (12.5, 59.20), (13.0, 59.10),
                  (13.6, 59.10), (14.2, 59.05), (14.4, 58.95), (14.6, 58.85), (15.0, 58.85),
                  (15.4, 58.90), (15.9, 58.80), (16.3, 58.70), (16.8, 58.64), (17.4, 58.60)]),
    # Svealand against Norrland: Härjedalen and Hälsingland against Jämtland and Medelpad.
    ("svealand", [(11.3, 62.90), (12.2, 62.85), (13.0, 62.75), (13.8, 62.60), (14.6, 62.45),
                  (15.3, 62.35), (16.0, 62.40), (16.8, 62.30), (17.45, 62.25), (18.2, 62.25)]),
]

WEST_BORDERS = [
    # Västergötland and Halland against Närke, Östergötland and Småland, through Vättern.
    ("gotaland", [(14.7, 59.20), (14.7, 58.85), (14.55, 58.50), (14.3, 58.10), (14.1, 57.85),
                  (13.95, 57.80), (13.7, 57.55), (13.55, 57.30), (13.4, 57.05), (13.2, 56.80),
                  (13.3, 56.60), (13.45, 56.44), (13.45, 56.20)]),
    # Härjedalen, Dalarna, Värmland and Närke against Hälsingland, Gästrikland, Uppland,
    # Västmanland and Södermanland.
    ("svealand", [(15.6, 62.70), (15.3, 62.35), (14.9, 61.95), (14.7, 61.65), (15.3, 61.20),
                  (15.8, 60.90), (16.4, 60.65), (16.7, 60.40), (16.4, 60.25), (15.8, 60.05),
                  (15.35, 59.80), (15.3, 59.45), (15.5, 59.20), (15.4, 58.90), (15.4, 58.60)]),
    # Lappland, Jämtland and Härjedalen against Norrbotten, Västerbotten, Ångermanland,
    # Medelpad and Hälsingland.
    ("norrland", [(24.5, 67.60), (23.4, 67.45), (22.3, 67.00), (21.3, 66.50), (20.4, 66.00),
                  (19.6, 65.50), (18.8, 64.90), (18.0, 64.45), (17.6, 64.10), (16.9, 63.60),
                  (16.2, 62.90), (15.4, 62.35), (15.0, 62.00)]),
]

# Around Öland and Gotland (with Gotska Sandön), through Kalmarsund.
ISLANDS = [(16.2, 56.10), (16.3, 56.35), (16.41, 56.66), (16.55, 57.00), (16.9, 57.30),
           (17.2, 57.60), (18.2, 58.55), (19.6, 58.55), (19.8, 56.60), (17.0, 55.90)]

NEIGHBOURS = ["Norway", "Finland", "Denmark", "Estonia", "Latvia", "Lithuania", "Russia",
              "Poland", "Germany"]

# Neighbouring land is kept inside this RT90 box (the overview map with a wide margin).
BOX = (1135900 - 150000, 6075000 - 150000, 1976000 + 150000, 7759000 + 150000)


def clamp_ring(pts):
    """Moves points outside BOX onto its edge; the land inside the box keeps its shape."""
    x0, y0, x1, y1 = BOX
    out = []
    for x, y in pts:
        p = (min(max(x, x0), x1), min(max(y, y0), y1))
        if not out or out[-1] != p:
            out.append(p)
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("source", nargs="?")
    ap.add_argument("--tolerance", type=float, default=1000.0)
    ap.add_argument("--min-area", type=float, default=30.0)
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        source = args.source or make_outline.fetch_world_atlas(tmp)
        with open(source) as f:
            topo = json.load(f)
    arcs = make_outline.decode_arcs(topo)

    lines = [pts for _, pts in SOUTH_BORDERS] + [pts for _, pts in WEST_BORDERS] + [ISLANDS]
    projected = make_outline.project(lines)
    blocks = []
    k = 0
    for name, _ in SOUTH_BORDERS:
        blocks.append(("south " + name, projected[k]))
        k += 1
    for name, _ in WEST_BORDERS:
        blocks.append(("west " + name, projected[k]))
        k += 1
    blocks.append(("islands", projected[k]))

    rings = []
    for g in topo["objects"]["countries"]["geometries"]:
        if g.get("properties", {}).get("name") not in NEIGHBOURS:
            continue
        polygons = g["arcs"] if g["type"] == "MultiPolygon" else [g["arcs"]]
        for poly in polygons:
            rings.append(make_outline.ring_points(arcs, poly[0]))
    x0, y0, x1, y1 = BOX
    for pts in make_outline.project(rings):
        if not any(x0 <= x <= x1 and y0 <= y <= y1 for x, y in pts):
            continue
        if make_outline.area(pts) < args.min_area * 1e6:
            continue
        ring = clamp_ring(pts)
        if ring[0] != ring[-1]:
            ring.append(ring[0])
        s = make_outline.simplify(ring, args.tolerance)
        if s[0] == s[-1]:
            s = s[:-1]
        if len(s) >= 3 and make_outline.area(s) >= args.min_area * 1e6:
            blocks.append(("land", s))

    with open(OUT, "w", newline="\n") as f:
        f.write("# The eight regions of Sweden and the neighbouring land, RT90 2.5 gon V (EPSG:3021),\n")
        f.write("# whole metres: X eastwards, Y northwards. Region borders: the project's own polylines\n")
        f.write("# along the historical province borders. Neighbouring land: Natural Earth 1:10m Admin 0\n")
        f.write("# countries (public domain), simplified to %g m. Projected with PROJ.\n" % args.tolerance)
        f.write("# Made by tools/outline/make_regions.py, which describes the blocks.\n")
        for kind, pts in blocks:
            f.write("\n%s %d\n" % (kind, len(pts)))
            for x, y in pts:
                f.write("%d %d\n" % (round(x), round(y)))
    print("wrote %s: %d blocks, %d points" % (OUT, len(blocks), sum(len(b[1]) for b in blocks)))


if __name__ == "__main__":
    main()
