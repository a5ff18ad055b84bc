"""Passes over a ground observer, checked against a brute-force elevation scan."""
import datetime as dt
import sys
import warnings

import pytest

from orbweave import Elements, GeodeticPoint, Interval, Predictor, Transit, TransitIter

from conftest import ISS_EPOCH, iss_predictor

T0 = ISS_EPOCH
PREDICTOR = iss_predictor()
OBSERVER = GeodeticPoint(40.0, -75.0, 50.0)
DAY = Interval(T0, T0 + dt.timedelta(days=1))
SECOND = dt.timedelta(seconds=1)


def brute_force_passes(mask_deg, interval=DAY):
    """(first second above the mask, first second below it after) at 1 s resolution."""
    passes, start = [], None
    for t, observation in PREDICTOR.observation_iter(OBSERVER, interval, SECOND):
        above = observation.elevation_deg >= mask_deg
        if above and start is None:
            start = t
        elif not above and start is not None:
            passes.append((start, t))
            start = None
    return passes


@pytest.fixture(scope="module")
def transits():
    return list(PREDICTOR.transits_iter(OBSERVER, DAY, 10.0))


def test_matches_a_brute_force_scan(transits):
    expected = brute_force_passes(10.0)
    assert len(transits) == len(expected) > 3
    for transit, (first_above, first_below) in zip(transits, expected):
        assert first_above - SECOND < transit.start <= first_above
        assert first_below - SECOND < transit.end <= first_below
        for edge in (transit.start, transit.end):
            assert PREDICTOR.observe_at(edge, OBSERVER).elevation_deg == pytest.approx(10.0, abs=1e-3)


def test_detect_transit(transits):
    first = transits[0]
    found = PREDICTOR.detect_transit(first.mid_point, OBSERVER, 10.0)
    assert type(found) is Transit
    assert abs(found.start - first.start) < dt.timedelta(milliseconds=2)
    assert abs(found.end - first.end) < dt.timedelta(milliseconds=2)
    assert PREDICTOR.detect_transit(first.start - dt.timedelta(seconds=30), OBSERVER, 10.0) is None


def test_a_pass_in_progress_at_the_start(transits):
    first = transits[0]
    interval = Interval(first.mid_point, first.mid_point + dt.timedelta(hours=3))
    default = list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0))
    assert default[0].start > first.end
    assert list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0, skip_leading_partial=None)) == default
    kept = list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0, skip_leading_partial=False))
    assert kept[0].start < interval.start and abs(kept[0].start - first.start) < dt.timedelta(milliseconds=2)


def test_a_pass_in_progress_at_the_end(transits):
    first = transits[0]
    interval = Interval(T0, first.mid_point)
    walked = list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0))
    assert walked[-1].end > interval.end
    clamped = list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0, clamp_to_interval=True))
    assert clamped[-1].end == interval.end


def test_a_mask_above_every_peak_finds_nothing():
    assert list(PREDICTOR.transits_iter(OBSERVER, DAY, 89.5)) == []


def test_an_over_long_pass_is_a_runtime_error(transits):
    with pytest.raises(RuntimeError) as info:
        PREDICTOR.detect_transit(transits[0].mid_point, OBSERVER, 10.0, max_transit_duration=dt.timedelta(minutes=1))
    text = str(info.value)
    assert text.startswith("Detection error: window too long: the positive window containing 2020-07-12 ")
    assert text.endswith(" exceeds the 1m maximum")
    iterator = PREDICTOR.transits_iter(OBSERVER, DAY, 10.0, max_transit_duration=dt.timedelta(minutes=1))
    with pytest.raises(RuntimeError, match=" exceeds the 1m maximum$"):
        next(iterator)


def test_transit_values(transits):
    transit = transits[0]
    assert transit == transits[0] and hash(transit) == hash(transits[0])
    assert transit != Interval(transit.start, transit.end)
    assert type(transit.intersection(DAY)) is Interval
    milliseconds = (transit.end - transit.start) // dt.timedelta(milliseconds=1)
    assert repr(transit).endswith(f", duration={milliseconds / 1000:.1f}s)")
    assert repr(transit).startswith("Transit(start=2020-07-12 ")
    with pytest.warns(DeprecationWarning, match="^duration_seconds is deprecated; use duration instead$"):
        assert transit.duration_seconds == milliseconds / 1000
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(DeprecationWarning):
            transit.duration_seconds
    with pytest.raises(TypeError):
        Transit()


def test_iterator_and_arguments():
    iterator = PREDICTOR.transits_iter(OBSERVER, DAY, 10.0)
    assert type(iterator) is TransitIter and iter(iterator) is iterator
    with pytest.raises(TypeError) as info:
        PREDICTOR.transits_iter((40.0, -75.0), DAY, 10.0)
    assert str(info.value) == "'tuple' object is not an instance of 'GeodeticPoint'"
    with pytest.raises(TypeError) as info:
        PREDICTOR.transits_iter(OBSERVER, DAY, 10.0, skip_leading_partial=1)
    assert str(info.value) == "'int' object is not an instance of 'bool'"
    if sys.version_info >= (3, 11):
        assert info.value.__notes__ == ["while processing 'skip_leading_partial'"]
    with pytest.raises(TypeError, match="takes 3 positional arguments but 4 were given"):
        PREDICTOR.transits_iter(OBSERVER, DAY, 10.0, SECOND)


def test_numpy_booleans_are_flags():
    numpy = pytest.importorskip("numpy")
    interval = Interval(T0, T0 + dt.timedelta(hours=6))
    assert list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0, clamp_to_interval=numpy.bool_(True))) == \
        list(PREDICTOR.transits_iter(OBSERVER, interval, 10.0, clamp_to_interval=True))


def test_min_step_above_max_step_pins_the_scan(transits):
    pinned = list(PREDICTOR.transits_iter(OBSERVER, DAY, 10.0, min_step=dt.timedelta(seconds=30),
                                          max_step=dt.timedelta(seconds=5)))
    assert len(pinned) == len(transits)
    for a, b in zip(pinned, transits):
        assert abs(a.start - b.start) < dt.timedelta(milliseconds=2)


def orbit(**fields):
    base = dict(norad_id=1, epoch=T0, eccentricity=0.001, inclination=51.6, right_ascension=225.0,
                argument_of_perigee=45.0, mean_anomaly=5.0, mean_motion_dot=0.0)
    return Predictor(Elements(**{**base, **fields}))


ORBITS = {
    "iss": PREDICTOR,
    "sun-synchronous": orbit(mean_motion=14.19, eccentricity=0.0012, inclination=98.7),
    "250 km": orbit(mean_motion=16.08, eccentricity=0.0005, drag_term=0.0001),
    "meo": orbit(mean_motion=2.0056, eccentricity=0.01, inclination=55.0),
    "molniya": orbit(mean_motion=2.006, eccentricity=0.74, inclination=63.4, argument_of_perigee=270.0),
}
SITES = {"equator": GeodeticPoint(0.0, 10.0, 0.0), "47 N": GeodeticPoint(47.0, 8.0, 500.0),
         "78 N": GeodeticPoint(78.0, 15.0, 10.0), "3 km": GeodeticPoint(-23.0, -67.0, 3000.0)}
MASKS = (0.0, 10.0, 30.0, 45.0, 60.0, 75.0, 85.0)


@pytest.mark.parametrize("name", ORBITS)
def test_every_pass_longer_than_min_step_is_found(name):
    """Against a 1 s elevation scan: each pass above the mask for more than 11 s there."""
    predictor, lines, missing = ORBITS[name], [], False
    for site_name, site in SITES.items():
        elevations = [(t, o.elevation_deg) for t, o in predictor.observation_iter(site, DAY, SECOND)]
        counts = []
        for mask in MASKS:
            passes, start = [], None
            for t, elevation in elevations:
                if elevation >= mask and start is None:
                    start = t
                elif elevation < mask and start is not None:
                    passes.append((start, t))
                    start = None
            passes = [(a, b) for a, b in passes if a > T0 and b - a > 11 * SECOND]
            found = list(predictor.transits_iter(site, DAY, mask, max_transit_duration=dt.timedelta(days=1)))
            hits = sum(any(f.start <= b and f.end >= a for f in found) for a, b in passes)
            missing |= hits < len(passes)
            counts.append(f"{hits}/{len(passes)}")
        lines.append(f"{site_name:>8}: " + " ".join(f"{c:>6}" for c in counts))
    table = "\n".join([f"found/existing at masks {MASKS}:"] + lines)
    assert not missing, table
