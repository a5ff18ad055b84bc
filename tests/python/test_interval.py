"""Interval: the window protocol shared with Transit, Illumination and AoiWindow."""
import datetime as dt
import os
import subprocess
import sys

import pytest

from orbweave import Interval

from conftest import utc

A, B, C, D = utc(2024, 5, 1, 10), utc(2024, 5, 1, 11), utc(2024, 5, 1, 12), utc(2024, 5, 1, 13)


@pytest.mark.parametrize("first, second, expected", [
    ((A, C), (B, D), (B, C)),
    ((A, D), (B, C), (B, C)),
    ((B, C), (A, D), (B, C)),
    ((A, B), (B, C), None),          # touching intervals do not overlap
    ((A, B), (C, D), None),
    ((A, A), (A, D), None),          # an empty interval overlaps nothing
    ((C, A), (A, D), None),          # a reversed interval is empty too
])
def test_intersection(first, second, expected):
    result = Interval(*first).intersection(Interval(*second))
    assert result == (None if expected is None else Interval(*expected))


def test_properties():
    interval = Interval(A, B)
    assert (interval.start, interval.end) == (A, B)
    assert interval.duration == dt.timedelta(hours=1)
    assert interval.mid_point == utc(2024, 5, 1, 10, 30)
    reversed_interval = Interval(B, A)
    assert reversed_interval.duration == dt.timedelta(hours=-1)
    assert reversed_interval.mid_point == utc(2024, 5, 1, 10, 30)
    empty = Interval(A, A)
    assert empty.duration == dt.timedelta(0) and empty.mid_point == A


def test_equality_and_hash():
    assert Interval(A, B) == Interval(A, B)
    assert Interval(A, B) != Interval(A, C)
    assert hash(Interval(A, B)) == hash(Interval(A, B))
    assert hash(Interval(A, B)) != hash(Interval(B, A))
    assert Interval(A, B) != (A, B)
    assert len({Interval(A, B), Interval(A, B), Interval(A, C)}) == 2
    for op in ("__lt__", "__le__", "__gt__", "__ge__"):
        assert getattr(Interval(A, B), op)(Interval(A, B)) is NotImplemented


def test_hash_is_stable_across_processes():
    code = ("import datetime as dt, orbweave; u = dt.timezone.utc; "
            "print(hash(orbweave.Interval(dt.datetime(2024, 5, 1, 10, tzinfo=u), dt.datetime(2024, 5, 1, 11, tzinfo=u))))")
    outputs = {subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True,
                              env={**os.environ, "PYTHONHASHSEED": seed}).stdout for seed in ("1", "2")}
    assert outputs == {f"{hash(Interval(A, B))}\n"}


@pytest.mark.parametrize("start, end, text", [
    (A, B, "Interval(start=2024-05-01 10:00:00 UTC, end=2024-05-01 11:00:00 UTC)"),
    (utc(2024, 5, 1, 10, 0, 0, 120000), B, "Interval(start=2024-05-01 10:00:00.120 UTC, end=2024-05-01 11:00:00 UTC)"),
    (utc(2024, 5, 1, 10, 0, 0, 1), B, "Interval(start=2024-05-01 10:00:00.000001 UTC, end=2024-05-01 11:00:00 UTC)"),
    (utc(1, 1, 1), utc(9999, 12, 31), "Interval(start=0001-01-01 00:00:00 UTC, end=9999-12-31 00:00:00 UTC)"),
])
def test_repr(start, end, text):
    assert repr(Interval(start, end)) == text


def test_intersection_always_returns_an_interval():
    class Window:
        start, end = A, C
    result = Interval(B, D).intersection(Window())
    assert type(result) is Interval and result == Interval(B, C)


def test_docstrings():
    assert Interval.start.__doc__ == "Inclusive start of the interval."
    assert Interval.end.__doc__ == "Exclusive end of the interval."
    assert Interval.duration.__doc__ == "Length of the interval."
    assert Interval.mid_point.__doc__ == "The instant halfway between `start` and `end`."
    assert Interval.intersection.__doc__ == "The overlap with `other`, or None if the two do not overlap."
    assert not hasattr(Interval, "duration_seconds")
