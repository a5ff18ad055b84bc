"""Cost of the event searches over one day of an ISS orbit, run by hand:

    python bench/bench_searches.py
"""

import datetime as dt
import timeit

import orbweave

LINES = ("ISS (ZARYA)",
         "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
         "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")


def main() -> None:
    predictor = orbweave.Predictor.from_tle(orbweave.Tle(*LINES))
    day = orbweave.Interval(predictor.epoch, predictor.epoch + dt.timedelta(days=1))
    station = orbweave.GeodeticPoint(40.0, -75.0, 50.0)
    cases = {
        "transits_iter (10 deg mask)": lambda: list(predictor.transits_iter(station, day, 10.0)),
        "illumination_iter": lambda: list(predictor.illumination_iter(day)),
        "apsis_iter": lambda: list(predictor.apsis_iter(day)),
        "max_elevation over the day": lambda: predictor.max_elevation(station, day),
        "prediction_iter, 60 s steps": lambda: list(predictor.prediction_iter(day, dt.timedelta(seconds=60))),
    }
    for name, run in cases.items():
        count = len(run()) if isinstance(run(), list) else 1
        best = min(timeit.repeat(run, number=20, repeat=5)) / 20
        print(f"{name:<30} {best * 1e3:8.3f} ms per day ({count} items)")


if __name__ == "__main__":
    main()
