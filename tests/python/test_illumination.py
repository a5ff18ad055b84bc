"""Sunlit and eclipse windows."""
import datetime as dt
import warnings

import pytest

from orbweave import Illumination, IlluminationIter, IlluminationState, Interval

from conftest import ISS_EPOCH, iss_predictor

T0 = ISS_EPOCH
PREDICTOR = iss_predictor()
SIX_HOURS = Interval(T0 + dt.timedelta(minutes=10), T0 + dt.timedelta(hours=6))
HALF_SECOND = dt.timedelta(milliseconds=500)


@pytest.fixture(scope="module")
def windows():
    return list(PREDICTOR.illumination_iter(SIX_HOURS))


def test_windows_tile_the_interval_and_alternate(windows):
    assert len(windows) >= 7
    assert windows[0].start == SIX_HOURS.start and windows[-1].end == SIX_HOURS.end
    for a, b in zip(windows, windows[1:]):
        assert a.end == b.start
        assert a.state != b.state


def test_states_match_the_single_instant_classification(windows):
    for window in windows:
        assert PREDICTOR.illumination_state(window.mid_point) == window.state
    for boundary in [w.end for w in windows[:-1]]:
        before = PREDICTOR.illumination_state(boundary - HALF_SECOND)
        after = PREDICTOR.illumination_state(boundary + HALF_SECOND)
        assert before != after


def test_a_step_longer_than_an_eclipse_steps_over_it(windows):
    coarse = list(PREDICTOR.illumination_iter(SIX_HOURS, step=dt.timedelta(hours=2)))
    assert len(coarse) < len(windows)
    assert list(PREDICTOR.illumination_iter(SIX_HOURS, step=None, walk_step=None, max_window_duration=None)) == windows


def test_a_long_eclipse_is_an_error():
    iterator = PREDICTOR.illumination_iter(SIX_HOURS, max_window_duration=dt.timedelta(minutes=5))
    with pytest.raises(RuntimeError, match=r"^Detection error: window too long: .* exceeds the 5m maximum$"):
        list(iterator)


def test_values(windows):
    eclipse = next(w for w in windows if w.state == IlluminationState.Eclipse)
    assert type(eclipse) is Illumination
    assert repr(eclipse).startswith("Illumination(state=Eclipse, start=2020-07-12 ")
    assert eclipse == eclipse and hash(eclipse) == hash(windows[windows.index(eclipse)])
    assert eclipse != Interval(eclipse.start, eclipse.end)
    assert type(eclipse.intersection(SIX_HOURS)) is Interval
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        assert eclipse.duration_seconds == (eclipse.end - eclipse.start) // dt.timedelta(milliseconds=1) / 1000
    assert [str(w.message) for w in caught] == ["duration_seconds is deprecated; use duration instead"]
    assert [repr(m) for m in (IlluminationState.Sunlit, IlluminationState.Eclipse)] == [
        "IlluminationState.Sunlit", "IlluminationState.Eclipse"]
    assert int(IlluminationState.Eclipse) == 1 and IlluminationState.Sunlit == 0
    assert type(PREDICTOR.illumination_iter(SIX_HOURS)) is IlluminationIter
    with pytest.raises(TypeError):
        Illumination()
