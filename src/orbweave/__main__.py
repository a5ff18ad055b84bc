"""`python -m orbweave [NAME LINE1 LINE2]`: propagate a TLE over its first hours.

Without arguments it uses a built-in ISS element set from 2020.
"""

import datetime as _dt
import math
import sys

import orbweave

_ISS = ("ISS (ZARYA)",
        "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
        "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")


def main(argv: list) -> int:
    name, line_1, line_2 = argv if len(argv) == 3 else _ISS
    try:
        predictor = orbweave.Predictor.from_tle(orbweave.Tle(name, line_1, line_2))
    except ValueError as error:
        print(f"orbweave: {error}", file=sys.stderr)
        return 1
    print(f"{name}: epoch {predictor.epoch.isoformat()}")
    print(f"{'minutes':>8} {'x km':>12} {'y km':>12} {'z km':>12} {'|r| km':>10} {'|v| km/s':>9}")
    for minutes in range(0, 181, 30):
        state = predictor.propagate(predictor.epoch + _dt.timedelta(minutes=minutes))
        r, v = state.position, state.velocity
        print(f"{minutes:8d} {r.x / 1e3:12.3f} {r.y / 1e3:12.3f} {r.z / 1e3:12.3f} "
              f"{math.hypot(r.x, r.y, r.z) / 1e3:10.3f} {math.hypot(v.x, v.y, v.z) / 1e3:9.4f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
