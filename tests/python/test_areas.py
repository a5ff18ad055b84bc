"""Area value classes: points, polygons, rectangles, circles and their enumerations."""
import math
import random
import re

import pytest

from orbweave import Circle, Coverage, FillRule, GeodeticPoint, LatLon, Polygon, Rectangle

from conftest import expect_note, notes

NOT_A_POINT = "expected a LatLon, a GeodeticPoint, or a (latitude_deg, longitude_deg) tuple"
TRIANGLE = [(0, 0), (0, 10), (10, 0)]


def test_lat_lon_is_an_unhashable_value():
    assert repr(LatLon(1, -2.5)) == "LatLon(latitude_deg=1, longitude_deg=-2.5)"
    assert LatLon(1, 2) == LatLon(1.0, 2.0) and LatLon(1, 2) != LatLon(1, 3)
    assert LatLon(math.nan, 0) != LatLon(math.nan, 0)
    assert LatLon(1, 2) != (1, 2)
    with pytest.raises(TypeError):
        hash(LatLon(1, 2))
    with pytest.raises(TypeError):
        LatLon(1, 2) < LatLon(1, 3)


@pytest.mark.parametrize("point", [LatLon(1, 2), GeodeticPoint(1, 2, 500e3), (1, 2), (1.0, 2.0)],
                         ids=["LatLon", "GeodeticPoint", "int tuple", "float tuple"])
def test_every_point_form_is_the_same_point(point):
    circle = Circle((1, 2), 5)
    assert circle.signed_angular_offset_deg(point) == circle.radius_deg
    assert Circle(point, 5).centre == circle.centre


@pytest.mark.parametrize("point", [[1, 2], (1, 2, 3), (1,), "12", None, 1.0])
def test_other_point_forms_are_refused_with_the_note(point):
    with pytest.raises(TypeError, match=re.escape(NOT_A_POINT)) as info:
        Circle((0, 0), 5).signed_angular_offset_deg(point)
    assert str(info.value) == NOT_A_POINT
    expect_note(info.value, "point")


def test_a_tuple_item_that_is_no_number_raises_the_float_conversion_error():
    with pytest.raises(TypeError, match="must be real number"):
        Circle(("a", 0), 5)


def test_polygon_closing_vertex_and_read_outs():
    polygon = Polygon(TRIANGLE + [(0, 0)])
    assert repr(polygon) == "Polygon(3 vertices, fill_rule=NonZero)"
    assert polygon.fill_rule == FillRule.NonZero
    vertices = polygon.vertices
    assert [type(v) for v in vertices] == [LatLon] * 3
    read_back = [coordinate for v in vertices for coordinate in (v.latitude_deg, v.longitude_deg)]
    assert read_back == pytest.approx([c for vertex in TRIANGLE for c in vertex], abs=1e-12)
    assert vertices is not polygon.vertices
    assert Polygon(iter(TRIANGLE), FillRule.EvenOdd).fill_rule == FillRule.EvenOdd == 1


def test_polygon_offsets_and_farthest_distance():
    polygon = Polygon(TRIANGLE)
    assert polygon.signed_angular_offset_deg((1, 1)) == pytest.approx(1.0, abs=0.01)
    assert polygon.signed_angular_offset_deg((-1, 5)) == pytest.approx(-1.0, abs=0.01)
    assert [polygon.signed_angular_offset_deg(v) for v in TRIANGLE] == [0.0, 0.0, 0.0]
    assert polygon.max_angular_distance_deg((0, 0)) == pytest.approx(10.0, abs=1e-12)
    reversed_ring = Polygon(TRIANGLE[::-1])
    assert reversed_ring.signed_angular_offset_deg((1, 1)) == pytest.approx(polygon.signed_angular_offset_deg((1, 1)))


def test_fill_rules_of_a_ring_wound_twice():
    twice = TRIANGLE * 2
    inside = Polygon(twice).signed_angular_offset_deg((1, 1))
    assert inside > 0
    assert Polygon(twice, FillRule.EvenOdd).signed_angular_offset_deg((1, 1)) == -inside


@pytest.mark.parametrize("vertices", [5, None], ids=["int", "None"])
def test_a_non_iterable_vertex_argument_is_the_interpreters_error(vertices):
    with pytest.raises(TypeError, match="not iterable") as info:
        Polygon(vertices)
    assert not notes(info.value)


def test_vertex_errors_pass_through_without_a_note():
    def raising():
        yield (0, 0)
        raise KeyError("from the iterator")

    with pytest.raises(KeyError, match="from the iterator"):
        Polygon(raising())
    with pytest.raises(TypeError, match=re.escape(NOT_A_POINT)) as info:
        Polygon([(91, 0), (0, 1), [0, 2]])  # the bad item wins over the bad latitude
    assert not notes(info.value)


@pytest.mark.parametrize("fill_rule", [None, "EvenOdd", 1, Coverage.Full])
def test_fill_rule_accepts_only_its_members(fill_rule):
    with pytest.raises(TypeError) as info:
        Polygon(TRIANGLE, fill_rule)
    expect_note(info.value, "fill_rule")


@pytest.mark.parametrize("build, message", [
    (lambda: Polygon([(0, 0), (0, 0), (1, 1)]), "polygon needs at least 3 distinct vertices, got 2"),
    (lambda: Polygon([(0, 0), (91, 1), (1, 1)]), "latitude 91 is outside [-90, 90]"),
    (lambda: Polygon([(0, 0), (1, math.nan), (1, 1)]), "polygon vertex longitude is not finite: NaN"),
    (lambda: Polygon([(0, 0), (1, 1), (2, 2), (95, 0), (0, math.inf)]), "latitude 95 is outside [-90, 90]"),
    (lambda: Polygon([(0, 0), (0, 90), (0, -90)]),
     "polygon edge 1 joins antipodal vertices; no unique great-circle arc joins them"),
    (lambda: Rectangle((10, 180), (20, -180)),
     "rectangle is empty: south 10° must lie below north 20°, and the corners must differ in longitude — "
     "note that -180° and 180° are the same meridian, so use `Rectangle::latitude_band` for a box spanning "
     "every longitude"),
    (lambda: Rectangle((0, -math.inf), (1, 1)), "rectangle west longitude is not finite: -inf"),
    (lambda: Rectangle.latitude_band(10, 10), "rectangle is empty: south 10° must lie below north 10°"),
    (lambda: Circle((0, 0), 0), "circle radius must lie in (0, 90°), got 0°"),
    (lambda: Circle((0, 0), 90), "circle radius must lie in (0, 90°), got 90°"),
    (lambda: Circle((0, 0), math.nan), "circle radius is not finite: NaN"),
    (lambda: Circle((-90.5, 0), 1), "latitude -90.5 is outside [-90, 90]"),
])
def test_construction_errors(build, message):
    with pytest.raises(ValueError) as info:
        build()
    assert str(info.value).startswith("Area of interest error: " + message)


def test_a_polygon_larger_than_a_hemisphere_is_refused():
    with pytest.raises(ValueError, match=r"^Area of interest error: polygon spans \d+\.\d° from its centre and does "
                                         "not fit within a hemisphere; split it"):
        Polygon([(0, 0), (0, 90), (0, 180), (0, -90)])


def test_rectangle_across_the_antimeridian():
    box = Rectangle(LatLon(10, 170), GeodeticPoint(20, -170, 1e6))
    assert box.longitudes_deg == pytest.approx((170, 20))
    assert box.signed_angular_offset_deg((15, 180)) > 0 > box.signed_angular_offset_deg((15, 0))
    assert box.signed_angular_offset_deg((10, 175)) == 0.0
    assert Rectangle((30, 0), (60, 10)).latitudes_deg == (29.999999999999996, 59.99999999999999)
    assert Rectangle((0, 0), (10, 10)).signed_angular_offset_deg((5, 5)) == pytest.approx(4.98, abs=0.01)


def test_latitude_band():
    band = Rectangle.latitude_band(-90, 60)
    assert band.longitudes_deg == (-180, 360)
    assert repr(band) == "Rectangle(latitudes=(-90, 59.99999999999999), west=-180, span=360)"
    assert band.signed_angular_offset_deg((-90, 0)) == pytest.approx(150)
    assert band.signed_angular_offset_deg((80, 0)) == pytest.approx(-20)


def test_circle():
    circle = Circle(GeodeticPoint(0, 0, 5e5), 5)
    assert circle.radius_deg == 5
    assert circle.signed_angular_offset_deg((0, 0)) == 5
    assert circle.max_angular_distance_deg((0, 0)) == pytest.approx(5, abs=1e-12)
    assert circle.signed_angular_offset_deg((0, 5)) == pytest.approx(0, abs=1e-12)
    assert repr(Circle((10, 20), 2.5)) == "Circle(centre=(10, 20), radius_deg=2.5)"
    assert Circle((0, 0), 89.99999994).radius_deg < 90
    with pytest.raises(ValueError, match="circle radius must lie"):
        Circle((0, 0), 89.99999995)


def test_areas_compare_by_identity():
    circle = Circle((0, 0), 5)
    assert circle == circle and circle != Circle((0, 0), 5)
    assert hash(circle) == hash(circle)


@pytest.mark.parametrize("member, name, value", [
    (FillRule.NonZero, "FillRule.NonZero", 0), (FillRule.EvenOdd, "FillRule.EvenOdd", 1),
    (Coverage.Any, "Coverage.Any", 0), (Coverage.Full, "Coverage.Full", 1),
])
def test_enumerations(member, name, value):
    assert Coverage.Full != FillRule.EvenOdd
    assert repr(member) == str(member) == name
    assert int(member) == value and member == value and member != value + 1
    assert hash(member) != hash(value)
    with pytest.raises(TypeError):
        type(member)()


# The polygon formulas written out independently: per-edge arc distances, and the
# winding number as a sum of atan2 angles in the tangent plane.
def unit(lat, lon):
    lat, lon = math.radians(lat), math.radians(lon)
    return (math.cos(lat) * math.cos(lon), math.cos(lat) * math.sin(lon), math.sin(lat))


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def angle(a, b):
    return math.atan2(math.hypot(*cross(a, b)), dot(a, b))


def reference_offset(ring, even_odd, point):
    p = unit(*point)
    vs = [unit(*v) for v in ring]
    edges = list(zip(vs, vs[1:] + vs[:1]))
    distance = min(angle(p, v) for v in vs)
    for a, b in edges:
        n = cross(a, b)
        n = tuple(c / math.hypot(*n) for c in n)
        s = dot(n, p)
        q = tuple(pc - s * nc for pc, nc in zip(p, n))
        if dot(cross(a, q), n) >= 0 and dot(cross(q, b), n) >= 0:
            distance = min(distance, math.asin(min(1.0, abs(s))))
    flat = lambda v: tuple(vc - dot(v, p) * pc for vc, pc in zip(v, p))
    turn = sum(math.atan2(dot(cross(flat(a), flat(b)), p), dot(flat(a), flat(b))) for a, b in edges)
    winding = round(turn / (2 * math.pi))
    inside = winding % 2 == 1 if even_odd else winding != 0
    return math.degrees(distance if inside else -distance)


@pytest.mark.parametrize("seed", range(4))
def test_polygon_offsets_follow_the_formulas(seed):
    rng = random.Random(seed)
    lat0, lon0 = rng.uniform(-70, 70), rng.uniform(-180, 180)
    ring = [(lat0 + rng.uniform(1, 20) * math.sin(a), lon0 + rng.uniform(1, 20) * math.cos(a))
            for a in sorted(rng.uniform(0, 4 * math.pi) for _ in range(rng.randint(3, 30)))]  # may cross itself
    for even_odd in (False, True):
        polygon = Polygon(ring, FillRule.EvenOdd if even_odd else FillRule.NonZero)
        for _ in range(300):
            point = (lat0 + rng.uniform(-30, 30), lon0 + rng.uniform(-30, 30))
            want = reference_offset(ring, even_odd, (max(-90, min(90, point[0])), point[1]))
            got = polygon.signed_angular_offset_deg((max(-90, min(90, point[0])), point[1]))
            assert got == pytest.approx(want, abs=1e-9), point


@pytest.mark.parametrize("area, inside", [(Polygon(TRIANGLE), (3, 3)), (Rectangle((-10, 170), (30, -150)), (10, -170)),
                                          (Circle((50, 20), 12), (50, 20))], ids=["polygon", "box", "circle"])
def test_farthest_distance_is_the_farthest_boundary_point(area, inside):
    rng = random.Random(7)
    is_in = lambda p: area.signed_angular_offset_deg(p) >= 0
    boundary = []  # boundary points, bisected on rays from an inside point to far outside
    for _ in range(2000):
        bearing = rng.uniform(0, 2 * math.pi)
        a, b = inside, (inside[0] + 40 * math.sin(bearing), inside[1] + 60 * math.cos(bearing))
        b = (max(-90, min(90, b[0])), b[1])
        if is_in(b):
            continue
        for _ in range(40):
            middle = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
            a, b = (middle, b) if is_in(middle) else (a, middle)
        boundary.append(a)
    assert len(boundary) > 1500
    for _ in range(60):
        point = (rng.uniform(-90, 90), rng.uniform(-180, 180))
        farthest = area.max_angular_distance_deg(point)
        if is_in((-point[0], point[1] + 180)):  # the antipode itself
            assert farthest == pytest.approx(180)
            continue
        sampled = max(math.degrees(angle(unit(*point), unit(*b))) for b in boundary)
        assert farthest - 0.5 <= sampled <= farthest + 1e-6
