#include "binding/observation.hpp"

#include <cstdio>
#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/protocols.hpp"
#include "binding/vectors.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

constexpr double kDegreesPerRadian = frames::kDegreesPerRadian;

// printf-style formatting of a few numbers with fixed decimals.
template <class... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

struct GeodeticValue {
    frames::Geodetic point;
    bool operator==(const GeodeticValue&) const = default;
    std::string repr() const {
        return "GeodeticPoint(latitude_deg=" + shortest_decimal(point.latitude_deg) +
               ", longitude_deg=" + shortest_decimal(point.longitude_deg) +
               ", altitude=" + shortest_decimal(point.altitude) + ")";
    }
};

struct ObservationValue {
    Observation o;
    bool operator==(const ObservationValue&) const = default;
    std::string repr() const {
        return format("Observation(az=%.2f°, el=%.2f°, range=%.0fm, range_rate=%.1fm/s)",
                      o.azimuth * kDegreesPerRadian, o.elevation * kDegreesPerRadian, o.range, o.range_rate);
    }
};

struct PointingValue {
    Pointing p;
    bool operator==(const PointingValue&) const = default;
    std::string repr() const {
        return format("Pointing(off_nadir=%.2f°, range=%.0fm, range_rate=%.1fm/s)", p.off_nadir_deg(), p.range,
                      p.range_rate);
    }
};

PyObject* geodetic_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("GeodeticPoint()", {{"latitude_deg"}, {"longitude_deg"}, {"altitude"}});
        frames::Geodetic point;
        if (!parse_arguments(signature, TupleCall{args, kwargs}, into(point.latitude_deg, to_f64),
                             into(point.longitude_deg, to_f64), into(point.altitude, to_f64)))
            return nullptr;
        return new_instance<GeodeticValue>(reinterpret_cast<PyObject*>(type), GeodeticValue{point});
    });
}

template <class Value, class Get>
PyObject* read_double(PyObject* self, Get get) {
    return PyFloat_FromDouble(get(value_of<Value>(self)));
}

}  // namespace

PyObject* geodetic_point_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    ClassBuilder builder = value_class<GeodeticValue>("GeodeticPoint",
                                                      "A geodetic position on or above the WGS-84 ellipsoid.");
    builder.constructor("GeodeticPoint(latitude_deg, longitude_deg, altitude)", &geodetic_new)
        .property("latitude_deg", [](PyObject* self, void*) {
            return read_double<GeodeticValue>(self, [](const GeodeticValue& v) { return v.point.latitude_deg; });
        }, "Geodetic latitude in degrees (positive north).")
        .property("longitude_deg", [](PyObject* self, void*) {
            return read_double<GeodeticValue>(self, [](const GeodeticValue& v) { return v.point.longitude_deg; });
        }, "Geodetic longitude in degrees (positive east).")
        .property("altitude", [](PyObject* self, void*) {
            return read_double<GeodeticValue>(self, [](const GeodeticValue& v) { return v.point.altitude; });
        }, "Height above the WGS-84 ellipsoid in metres.");
    with_repr<GeodeticValue>(builder);
    with_equality<GeodeticValue>(builder);
    type = builder.build();
    return type;
}

PyObject* observation_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    ClassBuilder builder = value_class<ObservationValue>(
        "Observation",
        "A point observation of a satellite from a ground location.\n\n"
        "Use `azimuth_deg` and `elevation_deg` for angular values.\n"
        "Range is in metres, range rate in m/s (positive = receding).");
    builder
        .property("azimuth_deg", [](PyObject* self, void*) {
            return read_double<ObservationValue>(self, [](const ObservationValue& v) {
                return v.o.azimuth * kDegreesPerRadian;
            });
        }, "Azimuth in degrees from north, measured clockwise, in `(-180, 180]`.")
        .property("elevation_deg", [](PyObject* self, void*) {
            return read_double<ObservationValue>(self, [](const ObservationValue& v) {
                return v.o.elevation * kDegreesPerRadian;
            });
        }, "Elevation above the horizon in degrees.")
        .property("range", [](PyObject* self, void*) {
            return read_double<ObservationValue>(self, [](const ObservationValue& v) { return v.o.range; });
        })
        .property("range_rate", [](PyObject* self, void*) {
            return read_double<ObservationValue>(self, [](const ObservationValue& v) { return v.o.range_rate; });
        });
    with_repr<ObservationValue>(builder);
    with_equality<ObservationValue>(builder);
    type = builder.build();
    return type;
}

PyObject* pointing_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!vec3_type()) return nullptr;
    ClassBuilder builder = value_class<PointingValue>(
        "Pointing",
        "The satellite's view of a target on the ground.\n\n"
        "`direction` is a unit vector in the spacecraft's LVLH frame — Z along nadir,\n"
        "Y along the negative orbit normal, X along-track — which composes directly\n"
        "with an antenna or instrument mounting rotation. Range is in metres, range\n"
        "rate in m/s (positive = receding).");
    builder
        .property("direction", [](PyObject* self, void*) {
            return guarded<PyObject*>(nullptr, [&] { return new_vec3(value_of<PointingValue>(self).p.direction); });
        },
                  "Unit vector from the satellite to the target, in the LVLH frame.\n\n"
                  "Zero — not a unit vector — for a target at the satellite's own\n"
                  "position, where there is no direction to report and `range` is zero\n"
                  "too. Check `range` before composing this with a mounting rotation.")
        .property("range", [](PyObject* self, void*) {
            return read_double<PointingValue>(self, [](const PointingValue& v) { return v.p.range; });
        })
        .property("range_rate", [](PyObject* self, void*) {
            return read_double<PointingValue>(self, [](const PointingValue& v) { return v.p.range_rate; });
        })
        .property("off_nadir_deg", [](PyObject* self, void*) {
            return read_double<PointingValue>(self, [](const PointingValue& v) { return v.p.off_nadir_deg(); });
        },
                  "Angle between `direction` and nadir, in degrees.\n\n"
                  "Nadir is geocentric, the same convention as the `max_off_nadir` field of\n"
                  "regard, so the two compare directly.\n\n"
                  "Reports `0.0` for the degenerate zero-range state, which is\n"
                  "indistinguishable from a target exactly at nadir — check `range` to\n"
                  "tell them apart.");
    with_repr<PointingValue>(builder);
    with_equality<PointingValue>(builder);
    type = builder.build();
    return type;
}

PyObject* new_geodetic_point(const frames::Geodetic& point) {
    PyObject* type = geodetic_point_type();
    return type ? new_instance<GeodeticValue>(type, GeodeticValue{point}) : nullptr;
}

PyObject* new_observation(const Observation& observation) {
    PyObject* type = observation_type();
    return type ? new_instance<ObservationValue>(type, ObservationValue{observation}) : nullptr;
}

PyObject* new_pointing(const Pointing& pointing) {
    PyObject* type = pointing_type();
    return type ? new_instance<PointingValue>(type, PointingValue{pointing}) : nullptr;
}

bool to_geodetic(PyObject* value, frames::Geodetic& out) {
    PyObject* type = geodetic_point_type();
    if (!type) return false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != type) return wrong_type(value, "GeodeticPoint");
    out = value_of<GeodeticValue>(value).point;
    return true;
}

}  // namespace orbweave::py
