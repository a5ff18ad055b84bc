"""Pass searches, run by hand, side by side with Skyfield's `find_events`:

    python bench/bench_passes.py            # every case
    python bench/bench_passes.py catalogue  # one case: iss10, iss45, skyfield10, skyfield45, catalogue

The ISS over 40 N 75 W for 30 days at 10 and 45 degree masks (orbweave and
Skyfield in the same process, so the ratio holds on a noisy machine), and a
catalogue day: one day of 10 degree passes of 2,000 element sets (a fixed
pseudo-random mix of low, medium, geostationary and Molniya-like orbits) over the
same site. Run it under two builds to compare them.
"""

import datetime as dt
import random
import sys
import timeit

import orbweave

LINES = ("ISS (ZARYA)",
         "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
         "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")
SITE = (40.0, -75.0, 50.0)
DAYS = 30


def iss():
    return orbweave.Predictor.from_tle(orbweave.Tle(*LINES))


def span(predictor, days):
    return orbweave.Interval(predictor.epoch, predictor.epoch + dt.timedelta(days=days))


def orbweave_case(mask):
    predictor, station = iss(), orbweave.GeodeticPoint(*SITE)
    interval = span(predictor, DAYS)
    return lambda: list(predictor.transits_iter(station, interval, mask))


def skyfield_case(mask):
    from skyfield.api import EarthSatellite, load, wgs84
    timescale = load.timescale(builtin=True)
    satellite = EarthSatellite(LINES[1], LINES[2], LINES[0], timescale)
    station = wgs84.latlon(SITE[0], SITE[1], elevation_m=SITE[2])
    start = iss().epoch
    t0, t1 = timescale.from_datetime(start), timescale.from_datetime(start + dt.timedelta(days=DAYS))
    return lambda: satellite.find_events(station, t0, t1, altitude_degrees=mask)[0]


def catalogue(count=2000, seed=20201208):
    """A fixed mix: 70 % low orbits, 10 % each of MEO, near-geostationary, Molniya-like."""
    rng = random.Random(seed)
    epoch = iss().epoch
    predictors = []
    for number in range(count):
        kind = rng.random()
        if kind < 0.7:
            motion, eccentricity, inclination = rng.uniform(13.0, 16.3), rng.uniform(0.0, 0.02), rng.uniform(0.0, 100.0)
        elif kind < 0.8:
            motion, eccentricity, inclination = rng.uniform(1.8, 2.2), rng.uniform(0.0, 0.03), rng.uniform(50.0, 65.0)
        elif kind < 0.9:
            motion, eccentricity, inclination = rng.uniform(0.99, 1.01), rng.uniform(0.0, 0.001), rng.uniform(0.0, 5.0)
        else:
            motion, eccentricity, inclination = rng.uniform(1.9, 2.1), rng.uniform(0.6, 0.75), rng.uniform(60.0, 66.0)
        elements = orbweave.Elements(
            norad_id=number + 1, epoch=epoch - dt.timedelta(hours=rng.uniform(0.0, 72.0)), mean_motion=motion,
            eccentricity=eccentricity, inclination=inclination, right_ascension=rng.uniform(0.0, 360.0),
            argument_of_perigee=rng.uniform(0.0, 360.0), mean_anomaly=rng.uniform(0.0, 360.0),
            mean_motion_dot=0.0, drag_term=rng.uniform(0.0, 0.0005))
        predictors.append(orbweave.Predictor(elements))
    return predictors


def catalogue_case():
    predictors, station = catalogue(), orbweave.GeodeticPoint(*SITE)
    day = span(iss(), 1)

    def run():
        found = []
        for predictor in predictors:
            try:
                found.extend(predictor.transits_iter(station, day, 10.0))
            except RuntimeError:  # a geostationary satellite that never sets
                pass
        return found
    return run


CASES = {
    "iss10": ("orbweave ISS 30 days, 10 deg", lambda: orbweave_case(10.0), 5),
    "skyfield10": ("skyfield ISS 30 days, 10 deg", lambda: skyfield_case(10.0), 1),
    "iss45": ("orbweave ISS 30 days, 45 deg", lambda: orbweave_case(45.0), 5),
    "skyfield45": ("skyfield ISS 30 days, 45 deg", lambda: skyfield_case(45.0), 1),
    "catalogue": ("orbweave catalogue day, 2000 sats", catalogue_case, 1),
}


def measure(key):
    label, make, number = CASES[key]
    run = make()
    count = len(run())
    best = min(timeit.repeat(run, number=number, repeat=5)) / number
    return label, best, count


def main() -> None:
    keys = sys.argv[1:] or list(CASES)
    results = {key: measure(key) for key in keys}
    for key, (label, best, count) in results.items():
        print(f"{label:<36} {best * 1e3:10.3f} ms  ({count} items)")
    for mask in ("10", "45"):
        if f"iss{mask}" in results and f"skyfield{mask}" in results:
            ratio = results[f"skyfield{mask}"][1] / results[f"iss{mask}"][1]
            print(f"skyfield / orbweave at {mask} deg: {ratio:.1f}x")


if __name__ == "__main__":
    main()
