"""Properties that hold for any input: exact time round trips, element sets that build,
propagate or fail as documented, areas that build or are refused, and the shape of
window searches on arbitrary orbits."""
import datetime as dt
import itertools
import math
import re
from decimal import Decimal

import pytest
from hypothesis import example, given, settings, strategies as st

from orbweave import Circle, Coverage, Elements, FillRule, GeodeticPoint, Interval, Polygon, Predictor, Rectangle

from conftest import ISS_EPOCH, ISS_FIELDS, UTC

# The same examples on every run, and nothing stored between runs.
PROPERTIES = settings(derandomize=True, database=None, deadline=None, max_examples=250)

ZERO, MICROSECOND, SECOND, HOUR = (dt.timedelta(0), dt.timedelta(microseconds=1), dt.timedelta(seconds=1),
                                   dt.timedelta(hours=1))
EARLIEST, LATEST = dt.datetime.min.replace(tzinfo=UTC), dt.datetime.max.replace(tzinfo=UTC)
SPAN = LATEST - EARLIEST

# Any datetime in range, to the microsecond, in UTC or in a zero-offset zone of another name.
DATETIMES = st.datetimes(timezones=st.sampled_from([UTC, dt.timezone(ZERO, "GMT")]))
ANY_FLOAT = st.floats()  # NaN, both infinities, subnormals and the largest doubles among them


def weighted(*choices):
    """One of the strategies, each as likely as its share of `choices` (repeat one to favour it)."""
    return st.sampled_from(choices).flatmap(lambda strategy: strategy)


def shifted(t, offset):
    """t + offset, held inside datetime's range."""
    try:
        return t + offset
    except OverflowError:
        return LATEST if offset > ZERO else EARLIEST


def same(a, b):
    """Equal, or both NaN."""
    return a == b or (a != a and b != b)


def number_text(value):
    """A double as the library writes it: shortest exact decimal, no exponent, no trailing '.0'."""
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    return format(Decimal(repr(value)).normalize(), "f")


# --- time -------------------------------------------------------------------------

@PROPERTIES
@given(DATETIMES, DATETIMES)
def test_datetimes_round_trip_exactly(a, b):
    interval = Interval(a, b)
    assert (interval.start, interval.end) == (a, b)
    assert interval.start.tzinfo is UTC and interval.end.tzinfo is UTC
    assert interval.duration == b - a
    # Halving whole microseconds leaves at most half of one, which the returned
    # datetime drops toward the past whatever the sign of the duration.
    assert interval.mid_point == a + (b - a) // MICROSECOND // 2 * MICROSECOND


def naive(t):
    return t.replace(tzinfo=None)


@PROPERTIES
@given(st.timedeltas(-SPAN, SPAN), st.data())
def test_timedeltas_round_trip_exactly_as_durations(offset, data):
    low, high = EARLIEST + max(-offset, ZERO), LATEST - max(offset, ZERO)
    t = data.draw(st.datetimes(naive(low), naive(high), timezones=st.just(UTC)))
    assert Interval(t, t + offset).duration == offset


# A drag-free orbit propagates at any instant datetime can hold.
DRAG_FREE = Predictor(Elements(**ISS_FIELDS))


@PROPERTIES
@given(st.timedeltas(dt.timedelta.min, SPAN), st.data())
def test_timedeltas_round_trip_exactly_as_steps(step, data):
    step_taken = step if step > ZERO else SECOND  # a step that is not positive is one second
    start = data.draw(st.datetimes(max_value=naive(LATEST - step_taken), timezones=st.just(UTC)))
    samples = [t for t, _ in itertools.islice(DRAG_FREE.prediction_iter(Interval(start, LATEST), step), 2)]
    assert samples == [start, start + step_taken][:1 + (start + step_taken < LATEST)]


# --- element sets -----------------------------------------------------------------

def element(plausible, *edges):
    """Mostly plausible values, sometimes an edge of the accepted range or any double at all."""
    return weighted(*[plausible] * 5, st.sampled_from(edges or [0.0]), ANY_FLOAT)


ANGLE = st.floats(-720, 720)
ELEMENT_FIELDS = st.fixed_dictionaries({
    "norad_id": st.integers(0, 2 ** 64 - 1), "epoch": DATETIMES,
    "mean_motion": element(st.floats(0.5, 17), 0.0, 5e-324),
    "eccentricity": element(st.floats(0, 0.9), -0.001, -0.0, 0.999999, 1.0),
    "inclination": element(ANGLE), "right_ascension": element(ANGLE), "argument_of_perigee": element(ANGLE),
    "mean_anomaly": element(ANGLE), "drag_term": element(st.floats(-1, 1)),
    "mean_motion_dot": ANY_FLOAT, "mean_motion_ddot": ANY_FLOAT,
})
# Times near the epoch, and anywhere at all.
OFFSETS = st.one_of(st.timedeltas(dt.timedelta(days=-30), dt.timedelta(days=30)), st.timedeltas(-SPAN, SPAN))

INIT_ERROR = re.compile(r"SGP4 elements error: (The (Kozai|Brouwer) mean motion calculated from epoch elements "
                        r"is negative|The epoch eccentricity \((?P<eccentricity>.+)\) is outside the range \[0, 1\["
                        r"|The epoch (?P<element>right ascension|argument of perigee|mean anomaly|drag term) "
                        r"\((?P<value>.+)\) is not finite)")
PROPAGATION_ERROR = re.compile(r"SGP4 propagation error: The propagated (eccentricity \(.+\) is outside the range "
                               r"\[0, 1\[ (?P<a>\S+) minutes after epoch \((before|after) adding third-body "
                               r"perturbations\)|semi-latus rectum is negative (?P<b>\S+) minutes after epoch"
                               r"|state is not finite (?P<c>\S+) minutes after epoch)")


def minutes_since(epoch, t):
    """SGP4's time argument: whole milliseconds since the epoch, truncated toward zero, in minutes."""
    microseconds = (t - epoch) // MICROSECOND
    milliseconds = abs(microseconds) // 1000 * (1 if microseconds >= 0 else -1)
    return milliseconds / 60000


def state_values(state):
    return [getattr(vector, axis) for vector in (state.position, state.velocity) for axis in "xyz"]


@PROPERTIES
@given(ELEMENT_FIELDS, OFFSETS)
@example({**ISS_FIELDS, "right_ascension": math.nan}, ZERO)
@example({**ISS_FIELDS, "drag_term": -math.inf}, HOUR)
@example({**ISS_FIELDS, "drag_term": 1e308}, ZERO)
def test_element_sets_build_propagate_or_fail_as_documented(fields, offset):
    elements = Elements(**fields)  # no range is checked before SGP4 initialisation
    assert all(same(getattr(elements, name), value) for name, value in fields.items())
    try:
        predictor = Predictor(elements)
    except ValueError as error:
        match = INIT_ERROR.fullmatch(str(error))
        assert match, error
        if match["eccentricity"]:
            assert same(float(match["eccentricity"]), fields["eccentricity"])
        if fields["mean_motion"] <= 0:
            assert "Kozai" in str(error)
        if match["element"]:
            assert not math.isfinite(fields[match["element"].replace(" ", "_")])
        return
    assert 0 <= fields["eccentricity"] < 1
    t = shifted(fields["epoch"], offset)
    try:
        state = predictor.propagate(t)
    except RuntimeError as error:
        match = PROPAGATION_ERROR.fullmatch(str(error))
        assert match, error
        assert float(match["a"] or match["b"] or match["c"]) == minutes_since(fields["epoch"], t)
        return
    assert all(map(math.isfinite, state_values(state)))


# --- areas ------------------------------------------------------------------------

DEGREE = 0.017453292519943295
LARGEST_RADIUS = 1.5707963257948965  # radians, just short of a quarter turn
LATITUDES = weighted(*[st.floats(-90, 90)] * 6, st.floats(-91, 91), ANY_FLOAT)
LONGITUDES = weighted(*[st.floats(-540, 540)] * 7, ANY_FLOAT)
POINTS = st.tuples(LATITUDES, LONGITUDES)
AREA_PREFIX = "Area of interest error: "


def coordinate_error(point, longitude_label):
    """The error text a point is refused with, or None when its coordinates are acceptable."""
    latitude, longitude = point
    if not abs(latitude) <= 90:
        return f"latitude {number_text(latitude)} is outside [-90, 90]"
    if not math.isfinite(longitude):
        return f"{longitude_label} is not finite: {number_text(longitude)}"
    return None


def built(build):
    """What `build` returns, or the ValueError it raises."""
    try:
        return build()
    except ValueError as error:
        return error


def assert_refused(outcome, pattern):
    """The build raised ValueError: the area prefix, then a text matching `pattern`."""
    assert isinstance(outcome, ValueError), outcome
    assert re.fullmatch(f"{re.escape(AREA_PREFIX)}(?:{pattern})", str(outcome)), outcome


def check_measures(area, point):
    """The offset and the farthest distance are angles on the sphere, consistent with each other."""
    assert not isinstance(area, ValueError), area
    offset, farthest = area.signed_angular_offset_deg(point), area.max_angular_distance_deg(point)
    if all(map(math.isfinite, point)):
        assert -180 <= offset <= 180 and 0 <= farthest <= 180
    if all(map(math.isfinite, point)) and abs(point[1]) <= 720:  # beyond, λ + 180 is no longer exact
        # The farthest point of the area is no nearer than the nearest point of its boundary.
        assert farthest >= abs(offset) - 1e-9
    return offset


@PROPERTIES
@given(POINTS, weighted(*[st.floats(0, 90)] * 3, ANY_FLOAT), POINTS)
def test_circles_build_or_are_refused(centre, radius, point):
    error = coordinate_error(centre, "circle centre longitude")
    if error is None and not math.isfinite(radius):
        error = f"circle radius is not finite: {number_text(radius)}"
    if error is None and not 0 < radius * DEGREE < LARGEST_RADIUS:
        error = f"circle radius must lie in (0, 90°), got {number_text(radius)}°"
    circle = built(lambda: Circle(centre, radius))
    if error is not None:
        return assert_refused(circle, re.escape(error))
    check_measures(circle, point)


def longitude_margin(longitude, west, extent):
    """How far inside (positive) or outside (negative) a box's longitude range a longitude lies, in degrees."""
    east_of_west = (longitude - west) % 360
    if east_of_west <= extent:
        return min(east_of_west, extent - east_of_west)
    return -min(east_of_west - extent, 360 - east_of_west)


@st.composite
def corners(draw):
    """Two corners, mostly with the first one the more southern."""
    (south, west), (north, east) = draw(POINTS), draw(POINTS)
    if draw(st.sampled_from([True] * 3 + [False])):
        south, north = sorted((south, north))
    return (south, west), (north, east)


@PROPERTIES
@given(corners(), POINTS)
def test_rectangles_build_or_are_refused(corners, point):
    south_west, north_east = corners
    error = (coordinate_error(south_west, "rectangle west longitude")
             or coordinate_error(north_east, "rectangle east longitude"))
    rectangle = built(lambda: Rectangle(south_west, north_east))
    if error is not None:
        return assert_refused(rectangle, re.escape(error))
    south, north = (latitude * DEGREE * 57.29577951308232 for latitude in (south_west[0], north_east[0]))
    apart = abs((north_east[1] - south_west[1] + 180) % 360 - 180)  # degrees between the two meridians
    if north <= south or isinstance(rectangle, ValueError):
        # Besides corners out of order, only corners within a hair of each other make an empty box,
        # or longitudes so large that they no longer reduce exactly into one turn.
        assert north - south < 1e-6 or apart < 1e-6 or max(abs(south_west[1]), abs(north_east[1])) > 1e6
        return assert_refused(rectangle, f"rectangle is empty: south {number_text(south)}° must lie below "
                                         f"north {number_text(north)}°, .*")
    offset = check_measures(rectangle, point)
    (south, north), (west, extent) = rectangle.latitudes_deg, rectangle.longitudes_deg
    if abs(point[1]) <= 720 and abs(point[0]) < 89.999:  # clearly inside or outside: the sign says which
        margin = min(point[0] - south, north - point[0],
                     360 if extent == 360 else longitude_margin(point[1], west, extent))
        assert abs(margin) < 1e-3 or (offset > 0) == (margin > 0)


TOO_FEW = r"polygon needs at least 3 distinct vertices, got \d+"
DEGENERATE = (TOO_FEW + r"|polygon edge \d+ joins antipodal vertices; no unique great-circle arc joins them"
              r"|polygon spans \d+\.\d° from its centre and does not fit within a hemisphere; .*")


@PROPERTIES
@given(weighted(*[st.lists(POINTS, min_size=3, max_size=7)] * 3, st.lists(POINTS, max_size=2)),
       st.sampled_from([FillRule.NonZero, FillRule.EvenOdd]), POINTS)
@example([(0, 0), (0, 10), (10, 0)], FillRule.NonZero, (math.nan, 5))
def test_polygons_build_or_are_refused(vertices, fill_rule, point):
    errors = (coordinate_error(vertex, "polygon vertex longitude") for vertex in vertices)
    error = next((e for e in errors if e is not None), None)  # the first bad vertex decides
    polygon = built(lambda: Polygon(vertices, fill_rule))
    if error is not None:
        return assert_refused(polygon, re.escape(error))
    if len(vertices) < 3 or isinstance(polygon, ValueError):
        return assert_refused(polygon, TOO_FEW if len(vertices) < 3 else DEGENERATE)
    assert 3 <= len(polygon.vertices) <= len(vertices) and polygon.fill_rule == fill_rule
    check_measures(polygon, point)
    if not all(map(math.isfinite, point)):  # such a point is nowhere, so outside everything
        assert polygon.signed_angular_offset_deg(point) == polygon.max_angular_distance_deg(point) == -math.inf


# --- window searches --------------------------------------------------------------

ECCENTRIC = {"molniya": {"mean_motion": 2.006, "eccentricity": 0.74},
             "transfer": {"mean_motion": 2.25, "eccentricity": 0.73},
             "geostationary": {"mean_motion": 1.0027, "eccentricity": 0.0002}}


@st.composite
def orbits(draw):
    """A drag-free predictor, mostly on a random low orbit, and whether it is low."""
    kind = draw(st.sampled_from(["low"] * 5 + list(ECCENTRIC)))
    shape = ECCENTRIC.get(kind) or {"mean_motion": draw(st.floats(11, 16.5)),
                                    "eccentricity": draw(st.floats(0, 0.02))}
    angles = {name: draw(st.floats(0, 360)) for name in ("right_ascension", "argument_of_perigee", "mean_anomaly")}
    fields = {**ISS_FIELDS, **shape, **angles, "inclination": draw(st.floats(0, 180))}
    return Predictor(Elements(**fields)), kind == "low"


@st.composite
def intervals(draw):
    """Within two days of the epoch: mostly a few hours long, at times short, empty or reversed."""
    start = ISS_EPOCH + draw(st.timedeltas(dt.timedelta(days=-2), dt.timedelta(days=2)))
    if draw(st.sampled_from([True] * 4 + [False])):
        length = draw(st.integers(2, 7)) * HOUR + draw(st.timedeltas(ZERO, HOUR))
    else:
        length = draw(st.timedeltas(-HOUR, HOUR))
    return Interval(start, start + length)


INTERVALS = intervals()
SEARCH_ERROR = re.compile(r"(Detection error: window too long|SGP4 propagation error|Roots error): .*")
TOO_LONG = re.compile(r"Detection error: window too long: .*")


def windows_of(iterator, allowed_error=None):
    """The windows an iterator yields before its end, or before an error matching `allowed_error`,
    and whether it reached its end."""
    windows = []
    try:
        windows.extend(iterator)
    except RuntimeError as error:
        assert allowed_error is not None and allowed_error.fullmatch(str(error)), error
        return windows, False
    return windows, True


def check_windows(windows, interval, knobs):
    """Windows come in time order, never overlap, and stay as far inside the interval as the knobs say."""
    if interval.end <= interval.start:
        assert windows == []
    assert all(w.start <= w.end for w in windows)
    assert all(before.end <= after.start for before, after in zip(windows, windows[1:]))
    # A window opens before the end, or at it when only the final evaluation there finds it.
    assert all(w.start <= interval.end for w in windows)
    if knobs["clamp_to_interval"]:
        assert all(w.end <= interval.end for w in windows)
    if knobs["skip_leading_partial"] or knobs["clamp_to_interval"]:
        assert all(w.start >= interval.start for w in windows)
    else:  # only a window in progress at the start may open before it
        assert all(w.end >= interval.start for w in windows)


OBSERVERS = st.builds(GeodeticPoint, st.floats(-90, 90), st.floats(-180, 180), st.floats(-400, 9000))


# The knobs every window search shares, the walk step at times below its one-second floor.
KNOBS = st.fixed_dictionaries({"skip_leading_partial": st.booleans(), "clamp_to_interval": st.booleans(),
                               "walk_step": st.timedeltas(-SECOND, dt.timedelta(minutes=10))})


@PROPERTIES
@given(orbits(), INTERVALS, OBSERVERS, st.floats(-5, 30), KNOBS)
def test_transits_are_ordered_and_bounded(orbit, interval, observer, mask, knobs):
    predictor, low = orbit
    iterator = predictor.transits_iter(observer, interval, mask, **knobs)
    check_windows(windows_of(iterator, None if low else SEARCH_ERROR)[0], interval, knobs)


@PROPERTIES
@given(orbits(), INTERVALS, st.timedeltas(dt.timedelta(minutes=-1), dt.timedelta(minutes=30)),
       st.timedeltas(ZERO, dt.timedelta(minutes=5)))
def test_illumination_windows_tile_the_interval(orbit, interval, step, walk_step):
    predictor, low = orbit
    iterator = predictor.illumination_iter(interval, step=step, walk_step=walk_step)
    windows, finished = windows_of(iterator, None if low else SEARCH_ERROR)
    if interval.end <= interval.start:
        assert windows == []
        return
    # Sunlit and eclipse windows alternate without gaps from the start, and reach the end.
    assert windows or not finished
    assert all(w.start <= w.end for w in windows)
    assert all(a.end == b.start and a.state != b.state for a, b in zip(windows, windows[1:]))
    assert windows[:1] == [] or windows[0].start == interval.start
    assert not finished or windows[-1].end == interval.end


@st.composite
def search_areas(draw):
    """A circle, a box (across the antimeridian at times) or a star-shaped ring, anywhere."""
    latitude, longitude = draw(st.floats(-60, 60)), draw(st.floats(-180, 180))
    kind = draw(st.sampled_from(["circle", "box", "ring"]))
    if kind == "circle":
        return Circle((latitude, longitude), draw(st.floats(0.1, 20)))
    if kind == "box":
        return Rectangle((latitude, longitude), (min(90.0, latitude + draw(st.floats(0.5, 30))),
                                                 longitude + draw(st.floats(0.5, 359))))
    radii = draw(st.lists(st.floats(1, 15), min_size=3, max_size=8))
    return Polygon([(latitude + r * math.sin(2 * math.pi * i / len(radii)),
                     longitude + r * math.cos(2 * math.pi * i / len(radii))) for i, r in enumerate(radii)])


@PROPERTIES
@given(orbits(), INTERVALS, search_areas(), weighted(st.just(0.0), st.floats(20, 70)),
       st.sampled_from([Coverage.Any] * 3 + [Coverage.Full]), KNOBS)
def test_area_windows_are_ordered_and_bounded(orbit, interval, area, off_nadir, coverage, knobs):
    predictor, low = orbit
    iterator = predictor.aoi_iter(area, interval, max_off_nadir_deg=off_nadir, coverage=coverage,
                                  max_window_duration=dt.timedelta(hours=12), **knobs)
    check_windows(windows_of(iterator, TOO_LONG if low else SEARCH_ERROR)[0], interval, knobs)
