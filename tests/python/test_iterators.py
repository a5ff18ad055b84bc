"""Regular-interval iteration: sampling, timedelta steps, failures and the panic path."""
import datetime as dt
import gc
import sys

import pytest

from orbweave import Interval, PredictionIter

from conftest import ISS_DRAG_TERM, ISS_EPOCH, UTC, iss_predictor

T0 = ISS_EPOCH
PREDICTOR = iss_predictor(drag_term=ISS_DRAG_TERM)


def times(interval, step):
    return [t for t, _ in PREDICTOR.prediction_iter(interval, step)]


@pytest.mark.parametrize("end, step, expected", [
    (10, dt.timedelta(seconds=5), [0, 5]),
    (10, dt.timedelta(seconds=3), [0, 3, 6, 9]),
    (3, dt.timedelta(0), [0, 1, 2]),
    (3, dt.timedelta(seconds=-5), [0, 1, 2]),
    (3, dt.timedelta(microseconds=-1), [0, 1, 2]),
    (0, dt.timedelta(seconds=1), []),
    (-10, dt.timedelta(seconds=1), []),
])
def test_samples_are_start_plus_whole_steps_before_the_end(end, step, expected):
    interval = Interval(T0, T0 + dt.timedelta(seconds=end))
    assert times(interval, step) == [T0 + dt.timedelta(seconds=s) for s in expected]


def test_items_are_exact_propagations_with_utc_datetimes():
    items = list(PREDICTOR.prediction_iter(Interval(T0, T0 + dt.timedelta(minutes=3)), dt.timedelta(minutes=1)))
    assert len(items) == 3
    for t, state in items:
        assert t.tzinfo is UTC
        assert state == PREDICTOR.propagate(t)


def test_iterator_protocol_and_independence_from_the_predictor():
    predictor = iss_predictor(drag_term=ISS_DRAG_TERM)
    iterator = predictor.prediction_iter(Interval(T0, T0 + dt.timedelta(seconds=2)), dt.timedelta(seconds=1))
    del predictor
    gc.collect()
    assert iter(iterator) is iterator
    assert type(iterator) is PredictionIter
    assert [t for t, _ in iterator] == [T0, T0 + dt.timedelta(seconds=1)]
    with pytest.raises(StopIteration):
        next(iterator)
    with pytest.raises(TypeError):
        PredictionIter()


def test_sub_microsecond_steps_accumulate_exactly():
    # A step of 1 us over 3 us yields three samples, not a rounded count.
    assert len(times(Interval(T0, T0 + dt.timedelta(microseconds=3)), dt.timedelta(microseconds=1))) == 3


class Step(dt.timedelta):
    pass


@pytest.mark.parametrize("interval, step, error, message, argument", [
    (Interval(T0, T0), 5, TypeError, "'int' object is not an instance of 'timedelta'", "step"),
    (Interval(T0, T0), None, TypeError, "'None' is not an instance of 'timedelta'", "step"),
    ((T0, T0), 5, AttributeError, "'tuple' object has no attribute 'start'", "interval"),
])
def test_argument_errors_in_signature_order(interval, step, error, message, argument):
    with pytest.raises(error) as info:
        PREDICTOR.prediction_iter(interval, step)
    assert str(info.value) == message
    if sys.version_info >= (3, 11):
        assert info.value.__notes__ == [f"while processing '{argument}'"]


def test_timedelta_subclasses_and_extremes_convert():
    two_seconds = Interval(T0, T0 + dt.timedelta(seconds=2))
    assert times(two_seconds, Step(seconds=1)) == [T0, T0 + dt.timedelta(seconds=1)]
    assert times(two_seconds, dt.timedelta(days=100_000 * 365)) == [T0]
    assert times(two_seconds, dt.timedelta.min) == [T0, T0 + dt.timedelta(seconds=1)]
    # The sample after T0 would lie 2.7 million years on, beyond the instant range.
    with pytest.raises(BaseException, match="overflowed") as info:
        times(two_seconds, dt.timedelta.max)
    assert not isinstance(info.value, Exception)


def test_a_failed_evaluation_raises_and_the_next_sample_continues():
    decaying = iss_predictor(drag_term=0.5, mean_motion_dot=0.01)
    late = T0 + dt.timedelta(days=60)
    iterator = decaying.prediction_iter(Interval(late, late + dt.timedelta(seconds=2)), dt.timedelta(seconds=1))
    for _ in range(2):
        with pytest.raises(RuntimeError, match="^SGP4 propagation error: "):
            next(iterator)
    with pytest.raises(StopIteration):
        next(iterator)


def test_instant_overflow_is_a_panic_exception_not_a_crash(capsys):
    last = dt.datetime(9999, 12, 31, 23, 59, 59, tzinfo=UTC)
    iterator = PREDICTOR.prediction_iter(Interval(last, last + dt.timedelta(microseconds=1)),
                                         dt.timedelta(days=999_999_999))
    with pytest.raises(BaseException) as info:
        next(iterator)
    panic = info.value
    assert type(panic).__name__ == "PanicException"
    assert type(panic).__module__ == "orbweave._orbweave"
    assert type(panic).__bases__ == (BaseException,)
    assert not isinstance(panic, Exception)
    assert panic.args == ("`DateTime + TimeDelta` overflowed",)
    assert "BaseException" in type(panic).__doc__
    assert "`DateTime + TimeDelta` overflowed" in capsys.readouterr().err
    # The sampler did not deliver the sample; the iterator stays usable and ends.
    with pytest.raises(type(panic)):
        next(iterator)
