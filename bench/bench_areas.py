"""Areas of interest from Python, run by hand:

    python bench/bench_areas.py

The cost of one `signed_angular_offset_deg` call for a 50-vertex country-sized
polygon, a box and a circle, and of the ISS's windows over that polygon across
30 days with a 0 and a 30 degree field of regard.
"""

import datetime as dt
import math
import timeit

import orbweave

LINES = ("ISS (ZARYA)",
         "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
         "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")
CENTRE = (46.0, 2.0)


def country() -> orbweave.Polygon:
    """50 vertices 3 to 6 degrees from the centre (as the C++ benchmarks use)."""
    ring = []
    for i in range(50):
        b = 2 * math.pi * i / 50
        d = math.radians(4.5 + math.sin(3 * b) + 0.5 * math.cos(7 * b))
        lat = math.radians(CENTRE[0])
        to_lat = math.asin(math.sin(lat) * math.cos(d) + math.cos(lat) * math.sin(d) * math.cos(b))
        east = math.atan2(math.sin(b) * math.sin(d) * math.cos(lat), math.cos(d) - math.sin(lat) * math.sin(to_lat))
        ring.append((math.degrees(to_lat), CENTRE[1] + math.degrees(east)))
    return orbweave.Polygon(ring)


def main() -> None:
    polygon = country()
    shapes = {"polygon (50 vertices)": polygon, "box": orbweave.Rectangle((41.0, -4.0), (51.0, 8.0)),
              "circle": orbweave.Circle(CENTRE, 5.0)}
    points = [(CENTRE[0] + 0.37 * k % 20 - 10, CENTRE[1] + 0.53 * k % 30 - 15) for k in range(1000)]
    for name, shape in shapes.items():
        offset = shape.signed_angular_offset_deg
        best = min(timeit.repeat(lambda: [offset(p) for p in points], number=20, repeat=5)) / 20 / len(points)
        print(f"signed_angular_offset_deg, {name:<22} {best * 1e9:7.0f} ns per call")

    predictor = orbweave.Predictor.from_tle(orbweave.Tle(*LINES))
    month = orbweave.Interval(predictor.epoch, predictor.epoch + dt.timedelta(days=30))
    for off_nadir in (0.0, 30.0):
        run = lambda: list(predictor.aoi_iter(polygon, month, max_off_nadir_deg=off_nadir))
        best = min(timeit.repeat(run, number=3, repeat=5)) / 3
        print(f"aoi_iter over 30 days, off-nadir {off_nadir:4.1f} deg: {best * 1e3:7.2f} ms ({len(run())} windows)")


if __name__ == "__main__":
    main()
