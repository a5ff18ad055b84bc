"""Catalogue passes, run by hand: 10,000 synthetic LEO element sets, one day, one
site, passes above 10 degrees, on one process, on two worker processes and on a
two-worker local Dask cluster:

    python bench/bench_catalog.py [SATELLITES]

Prints satellite-days per second for each and the speed-ups over one process.
"""

import concurrent.futures as futures
import datetime as dt
import random
import sys
import time

import orbweave
from orbweave import catalog

UTC = dt.timezone.utc
EPOCH = dt.datetime(2024, 3, 20, 12, tzinfo=UTC)
SITE = orbweave.GeodeticPoint(40.0, -75.0, 50.0)


def leo_catalogue(count: int) -> list[orbweave.Elements]:
    """Low orbits of every inclination, 300 to 1,500 km, a fixed pseudo-random mix."""
    rng = random.Random(7)
    return [orbweave.Elements(
        norad_id=10000 + n, epoch=EPOCH, mean_motion=rng.uniform(12.5, 15.9), eccentricity=rng.uniform(0.0, 0.02),
        inclination=rng.uniform(0.0, 110.0), right_ascension=rng.uniform(0.0, 360.0),
        argument_of_perigee=rng.uniform(0.0, 360.0), mean_anomaly=rng.uniform(0.0, 360.0),
        mean_motion_dot=0.0, drag_term=rng.uniform(0.0, 1e-4)) for n in range(count)]


def timed(label: str, elements: list, executor) -> float:
    day = orbweave.Interval(EPOCH, EPOCH + dt.timedelta(days=1))
    started = time.perf_counter()
    records = catalog.passes(elements, [SITE], day, 10.0, executor=executor, chunksize=250)
    seconds = time.perf_counter() - started
    print(f"{label:<28} {seconds:7.2f} s  {len(elements) / seconds:8.0f} satellite-days/s  ({len(records)} records)")
    return seconds


def main() -> None:
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000
    elements = leo_catalogue(count)
    one = timed("one process", elements, catalog.SerialExecutor())
    with futures.ProcessPoolExecutor(2) as pool:
        pool.submit(int).result()  # workers started before the clock runs
        two = timed("two processes", elements, pool)
    try:
        import distributed
    except ImportError:
        print("distributed is not installed: no Dask run")
        return
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        dask = timed("two-worker Dask cluster", elements, client.get_executor())
    print(f"speed-up: two processes {one / two:.2f}x, Dask {one / dask:.2f}x")


if __name__ == "__main__":
    main()
