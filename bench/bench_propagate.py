"""Cost of one propagation from Python, side by side with the `sgp4` package,
run by hand:

    python bench/bench_propagate.py

Prints nanoseconds per call for Predictor.propagate (near-earth and deep-space),
Satrec.sgp4_tsince and, per point, SatrecArray/Satrec.sgp4_array over many times.
"""

import datetime as dt
import timeit

import numpy as np
from sgp4.api import Satrec, SatrecArray, WGS84

import orbweave

NEAR = ("1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
        "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")
DEEP = ("1 08195U 75081A   06176.33215444  .00000099  00000-0  11873-3 0   813",
        "2 08195  64.1586 279.0717 6877146 264.7651  20.2257  2.00491383225656")


def best_ns(statement, namespace, number):
    return min(timeit.repeat(statement, globals=namespace, number=number, repeat=5)) / number * 1e9


def main() -> None:
    rows = []
    for label, (line_1, line_2) in (("near-earth", NEAR), ("deep-space", DEEP)):
        predictor = orbweave.Predictor.from_tle(orbweave.Tle(label, line_1, line_2))
        t = predictor.epoch + dt.timedelta(minutes=720)
        satrec = Satrec.twoline2rv(line_1, line_2, WGS84)
        times = np.linspace(-1440.0, 1440.0, 100_000)
        jd = np.full(times.size, satrec.jdsatepoch)
        fr = satrec.jdsatepochF + times / 1440.0
        array = SatrecArray([satrec])
        ns = {"p": predictor, "t": t, "s": satrec, "a": array, "jd": jd, "fr": fr, "times": times}
        rows.append((f"{label}: Predictor.propagate(t)", best_ns("p.propagate(t)", ns, 50_000)))
        rows.append((f"{label}: Satrec.sgp4_tsince(720)", best_ns("s.sgp4_tsince(720.0)", ns, 50_000)))
        rows.append((f"{label}: Satrec.sgp4_array per point", best_ns("s.sgp4_array(jd, fr)", ns, 5) / times.size))
        rows.append((f"{label}: SatrecArray.sgp4 per point", best_ns("a.sgp4(jd, fr)", ns, 5) / times.size))
    width = max(len(name) for name, _ in rows)
    for name, cost in rows:
        print(f"{name:<{width}}  {cost:8.1f} ns")


if __name__ == "__main__":
    main()
