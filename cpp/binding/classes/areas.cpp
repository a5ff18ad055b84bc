// Polygon, Rectangle and Circle: the areas of interest, each a shell around its
// core shape with the same two measures; and the area argument of the searches.
#include <string>

#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

using areas::kDegreesPerRadian;

template <class Shape>
std::expected<Shape, CoreError> built(std::expected<Shape, AreaError> shape) {
    if (!shape) return std::unexpected(CoreError{CoreError::Aoi{std::move(shape.error())}});
    return std::move(*shape);
}

std::string degrees_text(double radians) { return shortest_decimal(radians * kDegreesPerRadian); }

// The two measures every shape offers, in degrees.
template <class Shape>
ClassDef<Shape>& with_area_measures(ClassDef<Shape>& def) {
    return def
        .template method<"signed_angular_offset_deg", "point",
                         [](const Shape& shape, LatLonLike p) {
                             return shape.signed_offset(p.point.latitude_deg, p.point.longitude_deg) *
                                    kDegreesPerRadian;
                         }>(
            "Signed angular offset of a point from the boundary, in degrees:\n"
            "positive inside, negative outside, zero on the boundary.")
        .template method<"max_angular_distance_deg", "point",
                         [](const Shape& shape, LatLonLike p) {
                             return areas::max_angular_distance(shape, p.point.latitude_deg,
                                                                p.point.longitude_deg) *
                                    kDegreesPerRadian;
                         }>(
            "Angular distance from a point to the farthest point of the area, in\n"
            "degrees. This is what `coverage=\"full\"` is measured against.");
}

// ---------------------------------------------------------------- Polygon

// Every item of an iterable as a point, iterated once to the end; a Python error
// (not iterable, a raising iterator, an item that is not a point) is left set.
std::vector<areas::LatLon> points_of(PyObject* iterable) {
    Ref iterator = Ref::steal(PyObject_GetIter(iterable));
    if (!iterator) throw PythonErrorSet{};
    std::vector<areas::LatLon> points;
    while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
        areas::LatLon point;
        if (!to_lat_lon_like(item.get(), point)) throw PythonErrorSet{};
        points.push_back(point);
    }
    if (PyErr_Occurred()) throw PythonErrorSet{};
    return points;
}

std::expected<areas::Polygon, CoreError> make_polygon(PyObject* vertices, areas::FillRule fill_rule) {
    return built(areas::Polygon::build(points_of(vertices), fill_rule));
}

std::vector<areas::LatLon> vertices(const areas::Polygon& polygon) {
    std::vector<areas::LatLon> points;
    points.reserve(polygon.vertices().size());
    for (const Vec3& vertex : polygon.vertices()) points.push_back(areas::to_lat_lon(vertex));
    return points;
}

// Pickled as stored, unit vectors, so that the copy has the very same vertices.
std::expected<areas::Polygon, CoreError> unpickle_polygon(std::vector<Vec3> vertices, areas::FillRule fill_rule) {
    return built(areas::Polygon::from_unit_vertices(vertices, fill_rule));
}

std::tuple<std::vector<Vec3>, areas::FillRule> polygon_state(const areas::Polygon& polygon) {
    return {polygon.vertices(), polygon.fill_rule()};
}

std::string polygon_repr(const areas::Polygon& polygon) {
    return "Polygon(" + std::to_string(polygon.vertices().size()) +
           " vertices, fill_rule=" + member_name(polygon.fill_rule()) + ")";
}

// ---------------------------------------------------------------- Rectangle

std::expected<areas::Rectangle, CoreError> make_rectangle(LatLonLike south_west, LatLonLike north_east) {
    return built(areas::Rectangle::build(south_west.point, north_east.point));
}

std::expected<areas::Rectangle, CoreError> latitude_band(double south_deg, double north_deg) {
    return built(areas::Rectangle::latitude_band(south_deg, north_deg));
}

std::tuple<double, double> latitudes_deg(const areas::Rectangle& r) {
    return {r.south() * kDegreesPerRadian, r.north() * kDegreesPerRadian};
}

std::tuple<double, double> longitudes_deg(const areas::Rectangle& r) {
    return {r.west() * kDegreesPerRadian, r.extent() * kDegreesPerRadian};
}

// Pickled as stored, in radians.
std::expected<areas::Rectangle, CoreError> unpickle_rectangle(double south, double north, double west,
                                                              double extent) {
    return built(areas::Rectangle::from_bounds(south, north, west, extent));
}

std::tuple<double, double, double, double> rectangle_state(const areas::Rectangle& r) {
    return {r.south(), r.north(), r.west(), r.extent()};
}

std::string rectangle_repr(const areas::Rectangle& r) {
    return "Rectangle(latitudes=(" + degrees_text(r.south()) + ", " + degrees_text(r.north()) +
           "), west=" + degrees_text(r.west()) + ", span=" + degrees_text(r.extent()) + ")";
}

// ---------------------------------------------------------------- Circle

std::expected<areas::Circle, CoreError> make_circle(LatLonLike centre, double radius_deg) {
    return built(areas::Circle::build(centre.point, radius_deg));
}

areas::LatLon centre(const areas::Circle& c) { return areas::to_lat_lon(c.centre()); }

double radius_deg(const areas::Circle& c) { return c.radius() * kDegreesPerRadian; }

// Pickled as stored: a unit vector and radians.
std::expected<areas::Circle, CoreError> unpickle_circle(Vec3 centre, double radius) {
    return built(areas::Circle::from_centre(centre, radius));
}

std::tuple<Vec3, double> circle_state(const areas::Circle& c) { return {c.centre(), c.radius()}; }

std::string circle_repr(const areas::Circle& c) {
    const areas::LatLon middle = centre(c);
    return "Circle(centre=(" + shortest_decimal(middle.latitude_deg) + ", " + shortest_decimal(middle.longitude_deg) +
           "), radius_deg=" + degrees_text(c.radius()) + ")";
}

// The shape held by an instance of exactly V's class.
template <class V>
bool shape_of(PyObject* value, std::optional<areas::Area>& out) {
    PyObject* type = type_of<V>();
    if (!type) throw PythonErrorSet{};
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != type) return false;
    out = value_of<V>(value);
    return true;
}

}  // namespace

areas::Area area_argument(PyObject* value) {
    std::optional<areas::Area> area;
    if (shape_of<areas::Polygon>(value, area) || shape_of<areas::Rectangle>(value, area) ||
        shape_of<areas::Circle>(value, area))
        return std::move(*area);
    raise(PyExc_TypeError, "expected a Polygon, Rectangle, or Circle");
    throw PythonErrorSet{};
}

ClassBuilder PyClass<areas::Polygon>::define() {
    ClassDef<areas::Polygon> def(
        "A closed polygon on Earth's surface whose edges are great-circle arcs.\n\n"
        "The ring closes implicitly and vertex order does not matter. Vertices may be\n"
        "`LatLon` objects, `GeodeticPoint` objects whose altitude is ignored, or\n"
        "`(latitude_deg, longitude_deg)` tuples.\n\n"
        "Edges are great-circle arcs, so vertices at the same latitude are not joined\n"
        "along the parallel — the arc bows toward the nearer pole, growing with the\n"
        "square of the edge's longitude span. A 7° edge at 60°N bulges about 0.05°;\n"
        "vertices a quarter of the globe apart reach roughly 68°N. Use `Rectangle` when\n"
        "the region really is \"these latitudes by these longitudes\".\n\n"
        "Raises `ValueError` if fewer than three distinct vertices remain, if a latitude\n"
        "is outside [-90, 90], if a coordinate is `nan` or infinite, if consecutive\n"
        "vertices are antipodal, or if the polygon does not fit inside a hemisphere.");
    def.constructor<"vertices, fill_rule=...", &make_polygon>()
        .property<&vertices>("vertices", "The polygon's vertices in ring order, after deduplication.")
        .property<&areas::Polygon::fill_rule>("fill_rule", "How the interior of a self-intersecting ring is determined.");
    return with_area_measures(def)
        .repr<&polygon_repr>()
        .pickled<"vertices, fill_rule", &unpickle_polygon, &polygon_state>();
}

ClassBuilder PyClass<areas::Rectangle>::define() {
    ClassDef<areas::Rectangle> def(
        "A latitude/longitude box, whose north and south edges follow their parallels\n"
        "exactly.\n\n"
        "The box runs **eastward** from the south-west corner, so a north-east corner at\n"
        "a smaller longitude wraps across the antimeridian. Corners may be `LatLon`\n"
        "objects, `GeodeticPoint` objects whose altitude is ignored, or\n"
        "`(latitude_deg, longitude_deg)` tuples.\n\n"
        "Raises `ValueError` if a latitude is outside [-90, 90], if a coordinate is `nan`\n"
        "or infinite, or if the box has no extent. Note that -180 and 180 are the same\n"
        "meridian, so use `latitude_band` for a box spanning every longitude.");
    def.constructor<"south_west, north_east", &make_rectangle>()
        .static_method<"latitude_band", "south_deg, north_deg", &latitude_band>(
            "A box spanning every longitude between two latitudes — a band, or a polar\n"
            "cap when one latitude is a pole.")
        .property<&latitudes_deg>("latitudes_deg", "The southern and northern latitude bounds, in degrees.")
        .property<&longitudes_deg>("longitudes_deg",
                                   "The western bound and the extent eastward from it, in degrees. The extent is\n"
                                   "360 for a box built by `latitude_band`.");
    return with_area_measures(def)
        .repr<&rectangle_repr>()
        .pickled<"south, north, west, extent", &unpickle_rectangle, &rectangle_state>();
}

ClassBuilder PyClass<areas::Circle>::define() {
    ClassDef<areas::Circle> def(
        "A circular area on Earth's surface — a spherical cap.\n\n"
        "The radius is angular: a degree of arc is about 111.2 km on the ground. The\n"
        "centre may be a `LatLon` object, a `GeodeticPoint` object whose altitude is ignored,\n"
        "or a `(latitude_deg, longitude_deg)` tuple.\n\n"
        "Raises `ValueError` if the radius is outside `(0, 90)`, if the centre's latitude\n"
        "is outside [-90, 90], or if any argument is `nan` or infinite.");
    def.constructor<"centre, radius_deg", &make_circle>()
        .property<&centre>("centre", "The circle's centre.")
        .property<&radius_deg>("radius_deg", "The circle's angular radius, in degrees of arc.");
    return with_area_measures(def)
        .repr<&circle_repr>()
        .pickled<"centre, radius", &unpickle_circle, &circle_state>();
}

}  // namespace orbweave::py
