"""Area-of-interest windows, checked against a brute-force scan of the ground track."""
import datetime as dt
import math

import pytest

from orbweave import AoiIter, AoiWindow, Circle, Coverage, FillRule, Interval, LatLon, Polygon, Rectangle

from conftest import ISS_EPOCH, expect_note, iss_predictor, notes

T0 = ISS_EPOCH
PREDICTOR = iss_predictor()
DAY = Interval(T0, T0 + dt.timedelta(days=1))
SECOND = dt.timedelta(seconds=1)
MILLISECOND = dt.timedelta(milliseconds=1)
TOLERANCE = dt.timedelta(milliseconds=1)  # the predictor's default time_tolerance


def star(centre, radii, count):
    """A star-shaped ring of `count` vertices around `centre`, its radii (degrees) cycling through `radii`."""
    lat0, lon0 = centre
    return [(lat0 + radii[i % len(radii)] * math.sin(2 * math.pi * i / count),
             lon0 + radii[i % len(radii)] * math.cos(2 * math.pi * i / count) / math.cos(math.radians(lat0)))
            for i in range(count)]


COUNTRY = Polygon(star((46.0, 2.0), [5.0, 4.2, 5.6, 4.8, 3.9], 50))
PENTAGRAM = star((20.0, -60.0), [15.0], 5)
PENTAGRAM = [PENTAGRAM[i] for i in (0, 2, 4, 1, 3)]  # a self-crossing ring around a doubly wound core


def cost_deg(area, off_nadir_deg, coverage, t):
    """The area cost at t from the predictor's sub-satellite point, in degrees."""
    below = PREDICTOR.sub_point(t)
    position = PREDICTOR.propagate(t).position
    r = math.hypot(position.x, position.y, position.z)
    eta, ratio = math.radians(off_nadir_deg), (r - below.altitude) / r
    horizon, x = math.acos(ratio), math.sin(eta) / ratio
    reach = math.degrees(horizon if x >= 1 else min(math.asin(x) - eta, horizon))
    point = (below.latitude_deg, below.longitude_deg)
    if coverage == Coverage.Any:
        return reach + area.signed_angular_offset_deg(point)
    return reach - area.max_angular_distance_deg(point)


def brute_force(area, off_nadir_deg=0.0, coverage=Coverage.Any):
    """Windows from the cost sampled every second, each edge bisected to the millisecond."""
    inside = lambda t: cost_deg(area, off_nadir_deg, coverage, t) >= 0

    def edge(before, after):
        while after - before > MILLISECOND:
            middle = before + (after - before) / 2
            before, after = (middle, after) if inside(middle) == inside(before) else (before, middle)
        return after

    windows, start, t, was_inside = [], None, DAY.start, inside(DAY.start)
    while t < DAY.end or start:
        now_inside = inside(t + SECOND)
        if now_inside and not was_inside:
            start = edge(t, t + SECOND)
        elif was_inside and not now_inside and start:
            windows.append((start, edge(t, t + SECOND)))
            start = None
        t, was_inside = t + SECOND, now_inside
    return windows


@pytest.mark.parametrize("area, off_nadir_deg, coverage", [
    (Circle((40.0, -100.0), 8.0), 0.0, Coverage.Any),
    (Rectangle((-40.0, 170.0), (10.0, -170.0)), 0.0, Coverage.Any),
    (COUNTRY, 0.0, Coverage.Any),
    (COUNTRY, 10.0, Coverage.Any),
    (COUNTRY, 30.0, Coverage.Any),
    (Polygon(PENTAGRAM), 0.0, Coverage.Any),
    (Polygon(PENTAGRAM, FillRule.EvenOdd), 0.0, Coverage.Any),
    (Circle(PREDICTOR.sub_point(T0 + dt.timedelta(hours=3)), 1.5), 45.0, Coverage.Full),
], ids=["circle", "antimeridian box", "polygon", "polygon 10°", "polygon 30°", "pentagram nonzero",
        "pentagram evenodd", "circle full 45°"])
def test_windows_match_a_brute_force_scan(area, off_nadir_deg, coverage):
    """Walking in 1 s steps, as the brute force does, so that no gap is walked over."""
    expected = brute_force(area, off_nadir_deg, coverage)
    found = list(PREDICTOR.aoi_iter(area, DAY, max_off_nadir_deg=off_nadir_deg, coverage=coverage, walk_step=SECOND))
    assert expected
    assert [type(w) for w in found] == [AoiWindow] * len(found)
    assert len(found) == len(expected)
    for window, (start, end) in zip(found, expected):
        assert abs(window.start - start) <= TOLERANCE + MILLISECOND
        assert abs(window.end - end) <= TOLERANCE + MILLISECOND


def test_the_two_fill_rules_differ_on_a_self_crossing_ring():
    core = (20.0, -60.0)
    assert Polygon(PENTAGRAM).signed_angular_offset_deg(core) > 0 > \
        Polygon(PENTAGRAM, FillRule.EvenOdd).signed_angular_offset_deg(core)


def test_full_coverage_at_zero_half_angle_never_opens():
    assert list(PREDICTOR.aoi_iter(Circle((46.0, 2.0), 1.0), DAY, coverage=Coverage.Full)) == []


@pytest.mark.parametrize("off_nadir_deg", [math.nan, -math.inf, -5.0])
def test_a_half_angle_below_zero_or_nan_acts_as_zero(off_nadir_deg):
    nadir = list(PREDICTOR.aoi_iter(COUNTRY, DAY))
    assert list(PREDICTOR.aoi_iter(COUNTRY, DAY, max_off_nadir_deg=off_nadir_deg)) == nadir


def test_detect_aoi_returns_the_window_around_t():
    first = next(PREDICTOR.aoi_iter(COUNTRY, DAY))
    found = PREDICTOR.detect_aoi(first.mid_point, COUNTRY)
    assert found.start <= first.mid_point <= found.end
    assert abs(found.start - first.start) < 2 * MILLISECOND and abs(found.end - first.end) < 2 * MILLISECOND
    assert PREDICTOR.detect_aoi(first.start - dt.timedelta(minutes=1), COUNTRY) is None


def test_windows_at_the_interval_edges():
    first = next(PREDICTOR.aoi_iter(COUNTRY, DAY))
    late_start = Interval(first.mid_point, DAY.end)
    assert next(PREDICTOR.aoi_iter(COUNTRY, late_start)).start > first.end
    kept = next(PREDICTOR.aoi_iter(COUNTRY, late_start, skip_leading_partial=False))
    assert abs(kept.start - first.start) < 2 * MILLISECOND
    early_end = Interval(DAY.start, first.mid_point)
    assert list(PREDICTOR.aoi_iter(COUNTRY, early_end))[-1].end > early_end.end
    assert list(PREDICTOR.aoi_iter(COUNTRY, early_end, clamp_to_interval=True))[-1].end == early_end.end


def test_a_band_the_track_stays_in_exceeds_the_window_cap():
    band = Rectangle.latitude_band(-90.0, 40.0)  # the track dips above 40°N for under half an hour
    with pytest.raises(RuntimeError, match=r"^Detection error: .*\b1h\b"):
        list(PREDICTOR.aoi_iter(band, DAY))
    with pytest.raises(RuntimeError, match=r"\b1h\b"):
        PREDICTOR.detect_aoi(T0, band)
    assert list(PREDICTOR.aoi_iter(band, DAY, max_window_duration=dt.timedelta(hours=2)))


def test_a_pinned_scan_steps_over_a_small_area():
    below = PREDICTOR.sub_point(T0 + dt.timedelta(hours=1, seconds=7))
    small = Circle(below, 0.05)  # crossed in about a second
    assert len(list(PREDICTOR.aoi_iter(small, DAY))) >= 1
    assert list(PREDICTOR.aoi_iter(small, DAY, min_step=dt.timedelta(minutes=10), max_step=SECOND)) == []


@pytest.mark.parametrize("area", [LatLon(0, 0), (0.0, 0.0), None, "circle"])
def test_only_areas_are_areas(area):
    with pytest.raises(TypeError, match="expected a Polygon, Rectangle, or Circle") as info:
        PREDICTOR.aoi_iter(area, DAY)
    assert not notes(info.value)
    with pytest.raises(TypeError, match="expected a Polygon, Rectangle, or Circle"):
        PREDICTOR.detect_aoi(T0, area)


def test_the_area_is_checked_after_the_other_arguments():
    with pytest.raises(AttributeError):
        PREDICTOR.aoi_iter(None, object())
    with pytest.raises(TypeError) as info:
        PREDICTOR.detect_aoi(T0, None, coverage="full")
    expect_note(info.value, "coverage")


def test_the_iterator_owns_its_inputs():
    predictor, area = iss_predictor(), Polygon(star((46.0, 2.0), [5.0], 12))
    expected = list(predictor.aoi_iter(area, DAY))
    windows = predictor.aoi_iter(area, DAY)
    del predictor, area
    assert type(windows) is AoiIter and iter(windows) is windows
    assert list(windows) == expected and next(windows, None) is None


def test_window_repr():
    window = next(PREDICTOR.aoi_iter(COUNTRY, DAY))
    text = repr(window)
    assert text.startswith("AoiWindow(start=") and " UTC, end=" in text
    seconds = (window.end - window.start) // MILLISECOND / 1000
    assert text.endswith(f", duration={seconds:.1f}s)")
