#include "binding/refinement.hpp"

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/protocols.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kRefinementDoc =
    "Root-finder configuration used to refine detected event times.\n\n"
    "A bracketed hybrid solver: each iteration takes a Newton-Raphson step\n"
    "when a derivative is available and a secant/bisection step otherwise,\n"
    "converging once the crossing is pinned down to `time_tolerance` seconds.";

PyObject* refinement_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Refinement()", {{"time_tolerance", false}, {"max_iter", false}}, 0, 0);
        Refinement settings;
        if (!parse_arguments(signature, TupleCall{args, kwargs},
                             into(settings.time_tolerance, none_or<double, to_f64>),
                             into(settings.max_iter, none_or<uint64_t, to_u64>)))
            return nullptr;
        return new_instance<Refinement>(reinterpret_cast<PyObject*>(type), settings);
    });
}

// Writes one setting; deleting it is refused.
template <class T, bool (*Convert)(PyObject*, T&), T Refinement::*Field>
int set_setting(PyObject* self, PyObject* value, void*) {
    if (!value) {
        raise(PyExc_TypeError, "cannot delete a Refinement setting");
        return -1;
    }
    T converted;
    if (!Convert(value, converted)) return -1;
    value_of<Refinement>(self).*Field = converted;
    return 0;
}

}  // namespace

PyObject* refinement_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    ClassBuilder builder = value_class<Refinement>("Refinement", kRefinementDoc);
    builder.constructor("Refinement(*, time_tolerance=None, max_iter=None)", &refinement_new)
        .property("time_tolerance",
                  [](PyObject* self, void*) { return PyFloat_FromDouble(value_of<Refinement>(self).time_tolerance); },
                  &set_setting<double, to_f64, &Refinement::time_tolerance>,
                  "Convergence threshold on the crossing time, in seconds.")
        .property("max_iter",
                  [](PyObject* self, void*) { return PyLong_FromUnsignedLongLong(value_of<Refinement>(self).max_iter); },
                  &set_setting<uint64_t, to_u64, &Refinement::max_iter>, "Maximum number of solver iterations.");
    with_equality<Refinement>(builder);
    type = builder.build();
    return type;
}

bool to_refinement(PyObject* value, Refinement& out) {
    PyObject* type = refinement_type();
    if (!type) return false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != type) return wrong_type(value, "Refinement");
    out = value_of<Refinement>(value);
    return true;
}

}  // namespace orbweave::py
