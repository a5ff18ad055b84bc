#include "binding/vectors.hpp"

#include <array>
#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/observation.hpp"
#include "binding/protocols.hpp"
#include "core/frames.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

struct Vec3Value {
    Vec3 v;

    bool operator==(const Vec3Value&) const = default;
    std::string repr() const {
        return "Vec3(x=" + shortest_decimal(v.x) + ", y=" + shortest_decimal(v.y) + ", z=" + shortest_decimal(v.z) +
               ")";
    }
};

// A state vector in one frame; the frame tag keeps the classes apart in C++ too.
enum class Frame { Teme, Ecef, Enu, Lvlh };

template <Frame F>
struct StateValue {
    StateVector state;
    bool operator==(const StateValue&) const = default;
};

PyObject* vec3_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Vec3()", {{"x"}, {"y"}, {"z"}});
        Vec3 v;
        if (!parse_arguments(signature, TupleCall{args, kwargs}, into(v.x, to_f64), into(v.y, to_f64),
                             into(v.z, to_f64)))
            return nullptr;
        return new_instance<Vec3Value>(reinterpret_cast<PyObject*>(type), Vec3Value{v});
    });
}

template <double Vec3::*Component>
PyObject* get_component(PyObject* self, void*) {
    return PyFloat_FromDouble(value_of<Vec3Value>(self).v.*Component);
}

template <Frame F, Vec3 StateVector::*Part>
PyObject* get_state_part(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] { return new_vec3(value_of<StateValue<F>>(self).state.*Part); });
}

struct StateClassText {
    const char* name;
    const char* doc;
    const char* position_doc;
    const char* velocity_doc;
};

template <Frame F>
ClassBuilder state_vector_class(const StateClassText& text) {
    ClassBuilder builder = value_class<StateValue<F>>(text.name, text.doc);
    builder.property("position", &get_state_part<F, &StateVector::position>, text.position_doc)
        .property("velocity", &get_state_part<F, &StateVector::velocity>, text.velocity_doc);
    with_equality<StateValue<F>>(builder);
    return builder;
}

PyObject* (*const kStateTypes[])() = {&state_vector_teme_type, &state_vector_ecef_type, &state_vector_enu_type,
                                       &state_vector_lvlh_type};
constexpr const char* kStateNames[] = {"StateVectorTeme", "StateVectorEcef", "StateVectorEnu", "StateVectorLvlh"};

template <Frame F>
PyObject* new_state(const StateVector& state) {
    PyObject* type = kStateTypes[static_cast<int>(F)]();
    return type ? new_instance<StateValue<F>>(type, StateValue<F>{state}) : nullptr;
}

// Exactly a state vector of frame F.
template <Frame F>
bool to_state(PyObject* value, StateVector& out) {
    PyObject* type = kStateTypes[static_cast<int>(F)]();
    if (!type) return false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != type) return wrong_type(value, kStateNames[static_cast<int>(F)]);
    out = value_of<StateValue<F>>(value).state;
    return true;
}

std::string method_name(Frame frame, const char* method) {
    return std::string(kStateNames[static_cast<int>(frame)]) + "." + method + "()";
}

// to_ecef(t) and to_teme(t): a rotation at the given instant.
template <Frame From, Frame To, StateVector (*Convert)(const StateVector&, time::Instant)>
PyObject* convert_at_time(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature(method_name(From, To == Frame::Ecef ? "to_ecef" : "to_teme"), {{"t"}});
        time::Instant t;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(t, to_instant))) return nullptr;
        return new_state<To>(Convert(value_of<StateValue<From>>(self).state, t));
    });
}

PyObject* teme_to_lvlh(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("StateVectorTeme.to_lvlh()", {{"target"}});
        StateVector target;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(target, to_state<Frame::Teme>)))
            return nullptr;
        return new_state<Frame::Lvlh>(frames::teme_to_lvlh(value_of<StateValue<Frame::Teme>>(self).state, target));
    });
}

PyObject* ecef_to_enu(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("StateVectorEcef.to_enu()", {{"observer"}});
        frames::Geodetic observer;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(observer, to_geodetic))) return nullptr;
        return new_state<Frame::Enu>(frames::ecef_to_enu(value_of<StateValue<Frame::Ecef>>(self).state, observer));
    });
}

// to_observation() and to_pointing(): a reduction of the state to a value class.
template <Frame F, class Result, Result (*Reduce)(const StateVector&), PyObject* (*Make)(const Result&)>
PyObject* reduce(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature(method_name(F, F == Frame::Enu ? "to_observation" : "to_pointing"), {});
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames})) return nullptr;
        return Make(Reduce(value_of<StateValue<F>>(self).state));
    });
}

}  // namespace

PyObject* vec3_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    ClassBuilder builder = value_class<Vec3Value>(
        "Vec3", "A 3-component vector (x, y, z).  Used for position (metres) and velocity (m/s).");
    builder.constructor("Vec3(x, y, z)", &vec3_new)
        .property("x", &get_component<&Vec3::x>)
        .property("y", &get_component<&Vec3::y>)
        .property("z", &get_component<&Vec3::z>);
    with_repr<Vec3Value>(builder);
    with_equality<Vec3Value>(builder);
    type = builder.build();
    return type;
}

PyObject* state_vector_teme_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!vec3_type() || !state_vector_ecef_type() || !state_vector_lvlh_type()) return nullptr;
    ClassBuilder builder = state_vector_class<Frame::Teme>(
        {"StateVectorTeme",
         "State vector in the True Equator Mean Equinox (TEME) frame — the native SGP4 output frame.\n"
         "Positions in metres, velocities in m/s.",
         "Position in the TEME frame (metres).", "Velocity in the TEME frame (m/s)."});
    builder
        .method("to_ecef", &convert_at_time<Frame::Teme, Frame::Ecef, &frames::teme_to_ecef>,
                "to_ecef($self, t)\n--\n\nConvert to the Earth-Centred Earth-Fixed (ECEF) frame at the given UTC time.")
        .method("to_lvlh", &teme_to_lvlh,
                "to_lvlh($self, target)\n--\n\nExpress `target` relative to this satellite, in the satellite's LVLH "
                "frame.\n\nThe receiver is the origin here — the mirror of `to_enu`, where the\nreceiver is the "
                "satellite and the argument supplies the origin.");
    type = builder.build();
    return type;
}

PyObject* state_vector_ecef_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!vec3_type() || !state_vector_enu_type() || !geodetic_point_type()) return nullptr;
    ClassBuilder builder = state_vector_class<Frame::Ecef>(
        {"StateVectorEcef",
         "State vector in the Earth-Centred Earth-Fixed (ECEF) frame.\nPositions in metres, velocities in m/s.",
         "Position in the ECEF frame (metres).", "Velocity in the ECEF frame (m/s)."});
    builder
        .method("to_enu", &ecef_to_enu,
                "to_enu($self, observer)\n--\n\nConvert to the East-North-Up (ENU) frame relative to the given "
                "observer.")
        .method("to_teme", &convert_at_time<Frame::Ecef, Frame::Teme, &frames::ecef_to_teme>,
                "to_teme($self, t)\n--\n\nConvert back to the TEME frame, the inverse of "
                "`StateVectorTeme.to_ecef`.");
    type = builder.build();
    return type;
}

PyObject* state_vector_enu_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!vec3_type() || !observation_type()) return nullptr;
    ClassBuilder builder = state_vector_class<Frame::Enu>(
        {"StateVectorEnu",
         "State vector in the East-North-Up (ENU) frame relative to a ground observer.\n"
         "Positions in metres, velocities in m/s.",
         "Position in the ENU frame (metres).", "Velocity in the ENU frame (m/s)."});
    builder.method("to_observation", &reduce<Frame::Enu, Observation, &observation_from_enu, &new_observation>,
                   "to_observation($self)\n--\n\nConvert to a ground observation (azimuth, elevation, range, "
                   "range_rate).");
    type = builder.build();
    return type;
}

PyObject* state_vector_lvlh_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!vec3_type() || !pointing_type()) return nullptr;
    ClassBuilder builder = state_vector_class<Frame::Lvlh>(
        {"StateVectorLvlh",
         "State vector in the satellite's LVLH frame: Z along nadir, Y along the\n"
         "negative orbit normal, X completing the right-handed triad along-track.\n"
         "Positions in metres, velocities in m/s.\n\n"
         "The velocity is the inertial relative velocity resolved on the LVLH axes,\n"
         "not the derivative of the LVLH position, so `range_rate` is Doppler-correct.",
         "Position in the LVLH frame (metres).", "Velocity in the LVLH frame (m/s)."});
    builder.method("to_pointing", &reduce<Frame::Lvlh, Pointing, &pointing_from_lvlh, &new_pointing>,
                   "to_pointing($self)\n--\n\nReduce to the direction, range and range rate of the target.");
    type = builder.build();
    return type;
}

PyObject* new_vec3(const Vec3& value) {
    PyObject* type = vec3_type();
    return type ? new_instance<Vec3Value>(type, Vec3Value{value}) : nullptr;
}

PyObject* new_state_vector_teme(const StateVector& state) { return new_state<Frame::Teme>(state); }

}  // namespace orbweave::py
