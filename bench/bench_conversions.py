"""Per-call cost of the boundary conversions, run by hand:

    python bench/bench_conversions.py

Reports nanoseconds per call for a datetime -> instant -> datetime round trip
(Interval(t, t).start), Interval construction, and the timedelta result path.
"""

import datetime as dt
import timeit

import orbweave


def per_call_ns(statement: str, namespace: dict, number: int = 200_000) -> float:
    best = min(timeit.repeat(statement, globals=namespace, number=number, repeat=5))
    return best / number * 1e9


def main() -> None:
    utc = dt.timezone.utc
    t = dt.datetime(2024, 5, 1, 10, 30, 15, 123456, tzinfo=utc)
    u = t + dt.timedelta(minutes=90)
    interval = orbweave.Interval(t, u)
    ns = {"Interval": orbweave.Interval, "t": t, "u": u, "interval": interval}
    baseline = per_call_ns("dt_new(2024, 5, 1, 10, 30, 15, 123456, utc)", {"dt_new": dt.datetime, "utc": utc})
    rows = [
        ("Interval(t, u)", per_call_ns("Interval(t, u)", ns)),
        ("interval.start (instant -> datetime)", per_call_ns("interval.start", ns)),
        ("Interval(t, t).start (round trip)", per_call_ns("Interval(t, t).start", ns)),
        ("interval.duration (duration -> timedelta)", per_call_ns("interval.duration", ns)),
        ("interval.intersection(interval)", per_call_ns("interval.intersection(interval)", ns)),
        ("hash(interval)", per_call_ns("hash(interval)", ns)),
        ("reference: datetime(...) constructor", baseline),
    ]
    width = max(len(name) for name, _ in rows)
    for name, cost in rows:
        print(f"{name:<{width}}  {cost:8.1f} ns")


if __name__ == "__main__":
    main()
