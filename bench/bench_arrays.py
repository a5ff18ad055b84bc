"""States as arrays beside the `sgp4` package's array calls, run by hand:

    python bench/bench_arrays.py

Prints nanoseconds per sample for one satellite at 86,400 instants (one day at 1 s)
and for 10,000 satellites at one instant: orbweave.arrays.propagate and
propagate_many beside Satrec.sgp4_array and SatrecArray.sgp4, with the ratio of
the times (orbweave over sgp4).
"""

import datetime as dt
import math
import timeit

import numpy as np
from sgp4.api import WGS84, Satrec, SatrecArray

from orbweave import Elements, Predictor, arrays

EPOCH = dt.datetime(2020, 7, 12, 1, 19, 7, tzinfo=dt.timezone.utc)
ISS = dict(mean_motion=15.49560532, eccentricity=0.0001771, inclination=51.6435, right_ascension=225.4004,
           argument_of_perigee=44.9625, mean_anomaly=5.1087, mean_motion_dot=0.00289036, drag_term=0.0049645)
SATELLITES = 10_000
INSTANTS = 86_400


def fields(i: int) -> dict:
    """The i-th satellite of a spread of near-earth orbits."""
    return {**ISS, "mean_motion": 14.0 + (i % 200) * 0.01, "right_ascension": (i * 7.3) % 360.0,
            "mean_anomaly": (i * 13.1) % 360.0, "inclination": 30.0 + (i % 60)}


def predictor(f: dict, i: int) -> Predictor:
    return Predictor(Elements(norad_id=i + 1, epoch=EPOCH, **f))


def satrec(f: dict, i: int) -> Satrec:
    s = Satrec()
    days_since_1949 = (EPOCH - dt.datetime(1949, 12, 31, tzinfo=dt.timezone.utc)).total_seconds() / 86400.0
    radians = math.pi / 180.0
    s.sgp4init(WGS84, "i", i + 1, days_since_1949, f["drag_term"], f["mean_motion_dot"] / 1440.0, 0.0,
               f["eccentricity"], f["argument_of_perigee"] * radians, f["inclination"] * radians,
               f["mean_anomaly"] * radians, f["mean_motion"] * 2 * math.pi / 1440.0, f["right_ascension"] * radians)
    return s


def best_ns_per_sample(call, samples: int) -> float:
    return min(timeit.repeat(call, number=1, repeat=5)) / samples * 1e9


def main() -> None:
    one = predictor(fields(0), 0)
    one_satrec = satrec(fields(0), 0)
    times = np.datetime64(EPOCH.replace(tzinfo=None), "ns") + np.arange(INSTANTS) * np.timedelta64(1, "s")
    jd = np.full(INSTANTS, one_satrec.jdsatepoch)
    fr = one_satrec.jdsatepochF + np.arange(INSTANTS) / 86400.0

    many = [predictor(fields(i), i) for i in range(SATELLITES)]
    catalogue = SatrecArray([satrec(fields(i), i) for i in range(SATELLITES)])
    at = EPOCH + dt.timedelta(hours=6)
    at_jd, at_fr = np.array([one_satrec.jdsatepoch]), np.array([one_satrec.jdsatepochF + 0.25])

    one_array = SatrecArray([one_satrec])
    day = best_ns_per_sample(lambda: arrays.propagate(one, times), INSTANTS)
    snapshot = best_ns_per_sample(lambda: arrays.propagate_many(many, at), SATELLITES)
    rows = [
        ("1 x 86,400", "propagate", day, "Satrec.sgp4_array",
         best_ns_per_sample(lambda: one_satrec.sgp4_array(jd, fr), INSTANTS)),
        ("1 x 86,400", "propagate", day, "SatrecArray.sgp4",
         best_ns_per_sample(lambda: one_array.sgp4(jd, fr), INSTANTS)),
        ("10,000 x 1", "propagate_many", snapshot, "SatrecArray.sgp4",
         best_ns_per_sample(lambda: catalogue.sgp4(at_jd, at_fr), SATELLITES)),
    ]
    print("ns per sample (satellites x instants)")
    for label, ours, our_ns, theirs, their_ns in rows:
        print(f"{label:<12}{ours:>16} {our_ns:7.1f}   {theirs:<18} {their_ns:7.1f}   ratio {our_ns / their_ns:.2f}")


if __name__ == "__main__":
    main()
