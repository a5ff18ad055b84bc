#include "binding/vectors.hpp"

#include <array>
#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/protocols.hpp"
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
    if (!vec3_type()) return nullptr;
    ClassBuilder builder = state_vector_class<Frame::Teme>(
        {"StateVectorTeme",
         "State vector in the True Equator Mean Equinox (TEME) frame — the native SGP4 output frame.\n"
         "Positions in metres, velocities in m/s.",
         "Position in the TEME frame (metres).", "Velocity in the TEME frame (m/s)."});
    type = builder.build();
    return type;
}

PyObject* new_vec3(const Vec3& value) {
    PyObject* type = vec3_type();
    return type ? new_instance<Vec3Value>(type, Vec3Value{value}) : nullptr;
}

PyObject* new_state_vector_teme(const StateVector& state) {
    PyObject* type = state_vector_teme_type();
    return type ? new_instance<StateValue<Frame::Teme>>(type, StateValue<Frame::Teme>{state}) : nullptr;
}

}  // namespace orbweave::py
