"""Boundary conversions, exercised through Interval (datetime, timedelta, interval
arguments, argument errors and notes)."""
import datetime as dt
import sys
import warnings

import pytest

from orbweave import Interval

from conftest import HAS_NOTES, UTC, expect_note, iss_predictor, notes, utc

class Utc2(dt.tzinfo):
    """A zone that is UTC in every respect but does not compare equal to timezone.utc."""

    def utcoffset(self, _):
        return dt.timedelta(0)

    def dst(self, _):
        return dt.timedelta(0)


class SubDatetime(dt.datetime):
    pass


BAD_DATETIMES = [
    (dt.datetime(2024, 1, 1), TypeError, "expected a datetime with non-None tzinfo"),
    (dt.datetime(2024, 1, 1, tzinfo=dt.timezone(dt.timedelta(hours=2))), ValueError,
     "expected datetime.timezone.utc"),
    (dt.datetime(2024, 1, 1, tzinfo=Utc2()), ValueError, "expected datetime.timezone.utc"),
    (dt.date(2024, 1, 1), TypeError, "'date' object is not an instance of 'datetime'"),
    ("2024-01-01", TypeError, "'str' object is not an instance of 'datetime'"),
    (None, TypeError, "'None' is not an instance of 'datetime'"),
    (1.5, TypeError, "'float' object is not an instance of 'datetime'"),
]


@pytest.mark.parametrize("value, error, message", BAD_DATETIMES)
@pytest.mark.parametrize("argument", ["start", "end"])
def test_bad_datetimes_name_the_argument(value, error, message, argument):
    args = {"start": utc(2024, 1, 1), "end": utc(2024, 1, 2), argument: value}
    with pytest.raises(error) as info:
        Interval(**args)
    assert str(info.value) == message
    expect_note(info.value, argument)


def overriding(base, **fields):
    """An instance of a subclass of `base` whose named fields report other integers."""
    subclass = type("Odd" + base.__name__, (base,), {name: property(lambda self, v=v: v) for name, v in fields.items()})
    return subclass(2024, 1, 1, tzinfo=UTC) if base is dt.datetime else subclass(days=1)


# Fields that a subclass reports beyond their range, in their full width: never
# narrowed into a valid but wrong value.
@pytest.mark.parametrize("fields", [dict(month=2**32 + 1), dict(day=2**32 + 1), dict(hour=2**32 + 1),
                                    dict(microsecond=2**32), dict(second=-1), dict(year=2**40)], ids=str)
def test_datetime_fields_outside_the_calendar(fields):
    with pytest.raises(ValueError) as info:
        Interval(overriding(dt.datetime, **fields), utc(2024, 1, 2))
    assert str(info.value) == "datetime fields are outside the calendar"
    expect_note(info.value, "start")


@pytest.mark.parametrize("fields, error", [
    (dict(days=2**62), OverflowError), (dict(days=-2**62), OverflowError), (dict(days=10**14), OverflowError),
    (dict(seconds=2**63 - 1), OverflowError), (dict(days=2**64), OverflowError),
], ids=str)
def test_timedelta_fields_beyond_the_duration_range(fields, error):
    with pytest.raises(error) as info:
        iss_predictor().prediction_iter(Interval(utc(2024, 1, 1), utc(2024, 1, 2)), overriding(dt.timedelta, **fields))
    expect_note(info.value, "step")


@pytest.mark.parametrize("tz", [UTC, dt.timezone(dt.timedelta(0)), dt.timezone(dt.timedelta(0), "Z")])
def test_any_zero_offset_timezone_is_accepted_and_results_use_timezone_utc(tz):
    start = dt.datetime(2024, 5, 1, 10, 0, 0, 123456, tzinfo=tz)
    interval = Interval(start, start)
    assert interval.start == start
    assert interval.start.tzinfo is UTC
    assert interval.mid_point.tzinfo is UTC


@pytest.mark.parametrize("value", [
    dt.datetime(1, 1, 1, tzinfo=UTC),
    dt.datetime(9999, 12, 31, 23, 59, 59, 999999, tzinfo=UTC),
    dt.datetime(2016, 12, 31, 23, 59, 59, 999999, tzinfo=UTC),
    dt.datetime(1969, 12, 31, 23, 59, 59, 1, tzinfo=UTC),
    SubDatetime(2024, 2, 29, 12, tzinfo=UTC),
    dt.datetime(2024, 11, 3, 1, 30, fold=1, tzinfo=UTC),
])
def test_datetimes_round_trip_exactly(value):
    interval = Interval(value, value)
    assert interval.start == value
    assert type(interval.start) is dt.datetime
    assert interval.start.fold == 0


def test_whole_range_duration_is_exact():
    first, last = dt.datetime(1, 1, 1, tzinfo=UTC), dt.datetime(9999, 12, 31, 23, 59, 59, 999999, tzinfo=UTC)
    assert Interval(first, last).duration == last - first
    assert Interval(last, first).duration == first - last


@pytest.mark.parametrize("microseconds", [1, 3, -1, -3, 999999, -999999])
def test_duration_and_mid_point_truncate_toward_zero(microseconds):
    a = utc(2024, 1, 1)
    b = a + dt.timedelta(microseconds=microseconds)
    interval = Interval(a, b)
    assert interval.duration == dt.timedelta(microseconds=microseconds)
    # Halving truncates toward zero at the nanosecond; the sub-microsecond rest of
    # the mid point then drops when it becomes a datetime.
    half_ns = abs(microseconds) * 1000 // 2
    expected = a + dt.timedelta(microseconds=(half_ns // 1000) * (1 if microseconds > 0 else -1))
    if microseconds < 0 and half_ns % 1000:
        expected -= dt.timedelta(microseconds=1)  # floor of a negative sub-microsecond instant
    assert interval.mid_point == expected


def test_binding_errors_use_the_interpreters_wording():
    a = utc(2024, 1, 1)
    cases = [
        (lambda: Interval(), "Interval() missing 2 required positional arguments: 'start' and 'end'"),
        (lambda: Interval(a), "Interval() missing 1 required positional argument: 'end'"),
        (lambda: Interval(a, a, a), "Interval() takes 2 positional arguments but 3 were given"),
        (lambda: Interval(a, a, stop=a), "Interval() got an unexpected keyword argument 'stop'"),
        (lambda: Interval(a, a, start=a), "Interval() got multiple values for argument 'start'"),
        (lambda: Interval(a, start=a), "Interval() got multiple values for argument 'start'"),
        (lambda: Interval(a, a).intersection(), "Interval.intersection() missing 1 required positional argument: 'other'"),
        (lambda: Interval(a, a).intersection(1, 2), "Interval.intersection() takes 1 positional arguments but 2 were given"),
    ]
    for call, message in cases:
        with pytest.raises(TypeError) as info:
            call()
        assert str(info.value) == message
    assert Interval(end=a, start=a) == Interval(a, a)


class Raising:
    @property
    def start(self):
        raise KeyError("boom")

    end = utc(2024, 1, 1)


class HasRange:
    def __init__(self, start, end):
        self.start, self.end = start, end


def test_interval_arguments_are_duck_typed():
    base = Interval(utc(2024, 1, 1), utc(2024, 1, 3))
    assert base.intersection(HasRange(utc(2024, 1, 2), utc(2024, 1, 5))) == Interval(utc(2024, 1, 2), utc(2024, 1, 3))
    with pytest.raises(AttributeError) as info:
        base.intersection(type("OnlyStart", (), {"start": utc(2024, 1, 1)})())
    expect_note(info.value, "other")
    with pytest.raises(KeyError) as info:
        base.intersection(Raising())
    expect_note(info.value, "other")
    with pytest.raises(TypeError, match="expected a datetime with non-None tzinfo") as info:
        base.intersection(HasRange(utc(2024, 1, 2), dt.datetime(2024, 1, 5)))
    expect_note(info.value, "other")


class BadEq(dt.tzinfo):
    def utcoffset(self, _):
        return dt.timedelta(0)

    def __eq__(self, other):
        raise RuntimeError("cannot compare")

    __hash__ = object.__hash__


def test_exceptions_from_python_code_pass_through_with_the_note():
    with pytest.raises(RuntimeError, match="cannot compare") as info:
        Interval(dt.datetime(2024, 1, 1, tzinfo=BadEq()), utc(2024, 1, 1))
    expect_note(info.value, "start")


def test_no_reference_leaks_on_error_paths():
    naive = dt.datetime(2024, 1, 1)
    before = sys.getrefcount(naive)
    for _ in range(1000):
        with pytest.raises(TypeError):
            Interval(naive, naive)
    assert sys.getrefcount(naive) == before


def test_warnings_as_errors_do_not_affect_plain_conversions():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert Interval(utc(2024, 1, 1), utc(2024, 1, 2)).duration == dt.timedelta(days=1)
