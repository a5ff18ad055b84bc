"""States as arrays beside the `sgp4` package's array calls and heyoka's vectorised
SGP4, run by hand on one core (heyoka would otherwise spread over every core):

    taskset -c 0 python bench/bench_arrays.py

heyoka is a benchmark peer only: install it into a separate environment
(`pip install heyoka`); without it its column is left out.

Prints nanoseconds per propagation for one satellite (the ISS) at 86,400 instants,
10,000 satellites at one instant, and 2,000-satellite low-earth and deep-space
catalogues each at 100 instants over a day. orbweave runs twice: with the vector
kernel chosen at import and with the scalar engine (`_arrays.use_kernel`).
"""

import datetime as dt
import math
import random
import timeit

import numpy as np
from sgp4.api import WGS84, Satrec, SatrecArray

from orbweave import Elements, Predictor, _arrays, arrays

try:
    from heyoka.model import sgp4_propagator
except ImportError:
    sgp4_propagator = None

EPOCH = dt.datetime(2020, 7, 12, 1, 19, 7, tzinfo=dt.timezone.utc)
ISS = dict(mean_motion=15.49560532, eccentricity=0.0001771, inclination=51.6435, right_ascension=225.4004,
           argument_of_perigee=44.9625, mean_anomaly=5.1087, mean_motion_dot=0.00289036, drag_term=0.0049645)
SATELLITES = 10_000
INSTANTS = 86_400
CATALOGUE = 2_000
CATALOGUE_INSTANTS = 100


def spread(i: int) -> dict:
    """The i-th satellite of a spread of near-earth orbits."""
    return {**ISS, "mean_motion": 14.0 + (i % 200) * 0.01, "right_ascension": (i * 7.3) % 360.0,
            "mean_anomaly": (i * 13.1) % 360.0, "inclination": 30.0 + (i % 60)}


def catalogue(deep_space: bool) -> list[dict]:
    """2,000 low-earth orbits, or 2,000 geostationary and Molniya orbits."""
    rng = random.Random(20201208)
    out = []
    for i in range(CATALOGUE):
        molniya = deep_space and i % 2 == 1
        out.append({**ISS, "mean_motion_dot": 0.0,
                    "mean_motion": rng.uniform(13.0, 16.3) if not deep_space else
                    rng.uniform(1.9, 2.1) if molniya else rng.uniform(0.99, 1.01),
                    "eccentricity": rng.uniform(0.0, 0.02) if not deep_space else
                    rng.uniform(0.6, 0.75) if molniya else rng.uniform(0.0, 0.001),
                    "inclination": rng.uniform(0.0, 100.0) if not deep_space else
                    rng.uniform(60.0, 66.0) if molniya else rng.uniform(0.0, 5.0),
                    "right_ascension": rng.uniform(0.0, 360.0), "argument_of_perigee": rng.uniform(0.0, 360.0),
                    "mean_anomaly": rng.uniform(0.0, 360.0), "drag_term": rng.uniform(0.0, 0.0005)})
    return out


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


def best_ns(call, propagations: int) -> float:
    return min(timeit.repeat(call, number=1, repeat=5)) / propagations * 1e9


def orbweave_both(call, propagations: int) -> tuple[float, float]:
    """ns per propagation with the kernel chosen at import, then with the scalar engine."""
    native = _arrays.kernel()
    batched = best_ns(call, propagations)
    _arrays.use_kernel("scalar")
    scalar = best_ns(call, propagations)
    _arrays.use_kernel(native)
    return batched, scalar


def heyoka_ns(satrecs: list, minutes: np.ndarray) -> float | None:
    """heyoka on the same element sets, `minutes` (instants x satellites) since their epochs."""
    if sgp4_propagator is None:
        return None
    propagator = sgp4_propagator(satrecs)
    times = np.ascontiguousarray(minutes)
    call = (lambda: propagator(times[0])) if times.shape[0] == 1 else (lambda: propagator(times))
    return best_ns(call, times.size)


def case_one_satellite() -> tuple:
    one, one_satrec = predictor(spread(0), 0), satrec(spread(0), 0)
    times = np.datetime64(EPOCH.replace(tzinfo=None), "ns") + np.arange(INSTANTS) * np.timedelta64(1, "s")
    jd = np.full(INSTANTS, one_satrec.jdsatepoch)
    fr = one_satrec.jdsatepochF + np.arange(INSTANTS) / 86400.0
    one_array = SatrecArray([one_satrec])
    return ("ISS-like, 1 x 86,400", *orbweave_both(lambda: arrays.propagate(one, times), INSTANTS),
            best_ns(lambda: one_satrec.sgp4_array(jd, fr), INSTANTS), best_ns(lambda: one_array.sgp4(jd, fr), INSTANTS),
            heyoka_ns([one_satrec], (np.arange(INSTANTS) / 60.0).reshape(INSTANTS, 1)))


def case_snapshot() -> tuple:
    many = [predictor(spread(i), i) for i in range(SATELLITES)]
    satrecs = [satrec(spread(i), i) for i in range(SATELLITES)]
    everyone = SatrecArray(satrecs)
    at = EPOCH + dt.timedelta(hours=6)
    at_jd, at_fr = np.array([satrecs[0].jdsatepoch]), np.array([satrecs[0].jdsatepochF + 0.25])
    return ("10,000 x 1", *orbweave_both(lambda: arrays.propagate_many(many, at), SATELLITES), None,
            best_ns(lambda: everyone.sgp4(at_jd, at_fr), SATELLITES),
            heyoka_ns(satrecs, np.full((1, SATELLITES), 360.0)))


def case_catalogue(deep_space: bool) -> tuple:
    fields = catalogue(deep_space)
    many = [predictor(f, i) for i, f in enumerate(fields)]
    satrecs = [satrec(f, i) for i, f in enumerate(fields)]
    everyone = SatrecArray(satrecs)
    offsets = [dt.timedelta(days=k / CATALOGUE_INSTANTS) for k in range(CATALOGUE_INSTANTS)]
    instants = [EPOCH + offset for offset in offsets]
    jd = np.full(CATALOGUE_INSTANTS, satrecs[0].jdsatepoch)
    fr = satrecs[0].jdsatepochF + np.arange(CATALOGUE_INSTANTS) / CATALOGUE_INSTANTS
    minutes = np.repeat((np.arange(CATALOGUE_INSTANTS) * 1440.0 / CATALOGUE_INSTANTS)[:, None], CATALOGUE, axis=1)
    total = CATALOGUE * CATALOGUE_INSTANTS

    def snapshots():
        for t in instants:
            arrays.propagate_many(many, t)

    label = "deep space, 2,000 x 100" if deep_space else "LEO, 2,000 x 100"
    return (label, *orbweave_both(snapshots, total), None, best_ns(lambda: everyone.sgp4(jd, fr), total),
            heyoka_ns(satrecs, minutes))


def cell(ns: float | None) -> str:
    return f"{ns:9.1f}" if ns is not None else f"{'-':>9}"


def main() -> None:
    print(f"ns per propagation; orbweave kernel: {_arrays.kernel()}")
    print(f"{'satellites x instants':<26}{'orbweave':>9}{'scalar':>9}{'sgp4_array':>11}{'SatrecArray':>12}{'heyoka':>9}")
    for case in (case_one_satellite, case_snapshot, lambda: case_catalogue(False), lambda: case_catalogue(True)):
        label, ours, scalar, sgp4_array, satrec_array, heyoka = case()
        print(f"{label:<26}{cell(ours)}{cell(scalar)}{cell(sgp4_array):>11}{cell(satrec_array):>12}{cell(heyoka)}")


if __name__ == "__main__":
    main()
