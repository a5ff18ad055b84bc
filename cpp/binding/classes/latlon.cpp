// LatLon: a point on the surface in degrees, and the point forms accepted wherever
// a point is expected.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kNotAPoint = "expected a LatLon, a GeodeticPoint, or a (latitude_deg, longitude_deg) tuple";

areas::LatLon make(double latitude_deg, double longitude_deg) { return {latitude_deg, longitude_deg}; }

std::string repr(const areas::LatLon& p) {
    return "LatLon(latitude_deg=" + shortest_decimal(p.latitude_deg) +
           ", longitude_deg=" + shortest_decimal(p.longitude_deg) + ")";
}

// (latitude, longitude) from a tuple of exactly two numbers. An item that does not
// convert raises its own float-conversion error (a __float__ that raises included).
bool from_pair(PyObject* pair, areas::LatLon& out) {
    double latitude = 0.0, longitude = 0.0;
    if (!to_f64(PyTuple_GetItem(pair, 0), latitude) || !to_f64(PyTuple_GetItem(pair, 1), longitude)) return false;
    out = {latitude, longitude};
    return true;
}

}  // namespace

bool to_lat_lon_like(PyObject* value, areas::LatLon& out) {
    PyObject* lat_lon_type = type_of<areas::LatLon>();
    PyObject* geodetic_type = type_of<frames::Geodetic>();
    if (!lat_lon_type || !geodetic_type) return false;
    const auto type = reinterpret_cast<PyObject*>(Py_TYPE(value));
    if (type == lat_lon_type) {
        out = value_of<areas::LatLon>(value);
        return true;
    }
    if (type == geodetic_type) {
        const frames::Geodetic& point = value_of<frames::Geodetic>(value);
        out = {point.latitude_deg, point.longitude_deg};
        return true;
    }
    if (PyTuple_Check(value) && PyTuple_Size(value) == 2) return from_pair(value, out);
    return raise(PyExc_TypeError, kNotAPoint);
}

bool from_python(PyObject* value, LatLonLike& out) { return to_lat_lon_like(value, out.point); }

ClassBuilder PyClass<areas::LatLon>::define() {
    return ClassDef<areas::LatLon>(
               "A point on Earth's surface, in degrees.\n\n"
               "Anywhere a `LatLon` is accepted, a plain `(latitude_deg, longitude_deg)`\n"
               "tuple works too.")
        .constructor<"latitude_deg, longitude_deg", &make>()
        .property<&areas::LatLon::latitude_deg>("latitude_deg", "Geodetic latitude in degrees (positive north).")
        .property<&areas::LatLon::longitude_deg>("longitude_deg", "Geodetic longitude in degrees (positive east).")
        .repr<&repr>()
        .equality()
        .pickled<"latitude_deg, longitude_deg", &make,
                 [](const areas::LatLon& p) { return std::tuple{p.latitude_deg, p.longitude_deg}; }>();
}

}  // namespace orbweave::py
