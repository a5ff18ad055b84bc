// The extension module orbweave._arrays: propagation of many (satellite, time)
// lanes in one call, into bytearrays that orbweave.arrays creates with exact sizes
// and then views as NumPy arrays. It reads the predictors of orbweave._orbweave,
// whose Predictor type it fetches at import, and adds no name to that module.
//
// Every buffer is checked for its exact type and size before anything is read or
// written; input bytes are read element by element with memcpy, so their
// alignment does not matter.
#include <Python.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "binding/support/cache.hpp"
#include "binding/support/class_builder.hpp"
#include "binding/support/convert.hpp"
#include "binding/support/errors.hpp"
#include "binding/support/ref.hpp"
#include "core/state_arrays.hpp"
#include "sgp4/batch/batch.hpp"

namespace orbweave::py {

namespace {

// orbweave._orbweave.Predictor, fetched once and kept for the life of the process
// like the type itself.
PyObject* predictor_type = nullptr;

bool fetch_predictor_type() {
    if (predictor_type) return true;
    Ref module = Ref::steal(PyImport_ImportModule("orbweave._orbweave"));
    if (!module) return false;
    predictor_type = PyObject_GetAttrString(module.get(), "Predictor");
    return predictor_type != nullptr;
}

// The core predictor inside an instance of exactly Predictor; null with TypeError.
const Predictor* predictor_of(PyObject* object) {
    if (reinterpret_cast<PyObject*>(Py_TYPE(object)) != predictor_type) {
        wrong_type(object, "Predictor");
        return nullptr;
    }
    return &value_of<Predictor>(object);
}

bool wrong_buffer_type(PyObject* object, const char* argument, const char* expected) {
    PyErr_Format(PyExc_TypeError, "'%s' must be %s, not '%s'", argument, expected, type_name(object).c_str());
    return false;
}

// The bytes of a `bytes` input holding whole elements of `element_size` bytes.
bool input_bytes(PyObject* object, const char* argument, size_t element_size, std::span<const char>& out) {
    if (!PyBytes_CheckExact(object)) return wrong_buffer_type(object, argument, "bytes");
    const auto size = static_cast<size_t>(PyBytes_Size(object));
    if (size % element_size != 0) {
        PyErr_Format(PyExc_ValueError, "'%s' holds %zu bytes, not a multiple of %zu", argument, size, element_size);
        return false;
    }
    out = {PyBytes_AsString(object), size};
    return true;
}

// A bytearray of exactly `count` elements of T, as a span over its storage.
template <class T>
bool output_span(PyObject* object, const char* argument, size_t count, std::span<T>& out) {
    if (!PyByteArray_CheckExact(object)) return wrong_buffer_type(object, argument, "bytearray");
    const auto size = static_cast<size_t>(PyByteArray_Size(object));
    if (size != count * sizeof(T)) {
        PyErr_Format(PyExc_ValueError, "'%s' holds %zu bytes, not %zu", argument, size, count * sizeof(T));
        return false;
    }
    if (count == 0) {
        out = {};
        return true;
    }
    char* data = PyByteArray_AsString(object);
    if (reinterpret_cast<uintptr_t>(data) % alignof(T) != 0)
        return raise(PyExc_ValueError, std::string("'") + argument + "' is not aligned for its elements");
    out = {reinterpret_cast<T*>(data), count};
    return true;
}

template <class T>
T element(std::span<const char> bytes, size_t index) {
    T value;
    std::memcpy(&value, bytes.data() + index * sizeof(T), sizeof(T));
    return value;
}

bool lane_outputs(PyObject* positions, PyObject* velocities, PyObject* errors, size_t lanes, LaneOutputs& out) {
    return output_span(positions, "positions", 3 * lanes, out.positions) &&
           output_span(velocities, "velocities", 3 * lanes, out.velocities) &&
           output_span(errors, "errors", lanes, out.errors);
}

bool tick_unit(long long numerator, long long denominator, TickUnit& out) {
    if (numerator < 1 || denominator < 1)
        return raise(PyExc_ValueError, "a tick unit's numerator and denominator must be at least 1");
    out = {numerator, denominator};
    return true;
}

// The predictors of a tuple, each an instance of exactly Predictor; a wrong item
// carries a note naming its index.
bool predictors_of(PyObject* tuple, std::vector<const Predictor*>& out) {
    if (!PyTuple_CheckExact(tuple)) return wrong_buffer_type(tuple, "predictors", "a tuple");
    const Py_ssize_t count = PyTuple_Size(tuple);
    out.reserve(static_cast<size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        const Predictor* predictor = predictor_of(PyTuple_GetItem(tuple, i));
        if (!predictor) {
            add_argument_note(("predictors[" + std::to_string(i) + "]").c_str());
            return false;
        }
        out.push_back(predictor);
    }
    return true;
}

// Propagates the lanes of one satellite or of many into the output bytearrays.
PyObject* run_lanes(const std::vector<const Predictor*>& satellites, const std::vector<double>& minutes,
                    PyObject* positions, PyObject* velocities, PyObject* errors) {
    LaneOutputs out;
    if (!lane_outputs(positions, velocities, errors, minutes.size(), out)) return nullptr;
    propagate_lanes(satellites, minutes, out);
    Py_RETURN_NONE;
}

// propagate_ticks(predictor, ticks, numerator, denominator, positions, velocities, errors)
PyObject* propagate_ticks(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *object, *ticks, *positions, *velocities, *errors;
        long long numerator, denominator;
        if (!PyArg_ParseTuple(args, "OOLLOOO:propagate_ticks", &object, &ticks, &numerator, &denominator,
                              &positions, &velocities, &errors))
            return nullptr;
        const Predictor* predictor = predictor_of(object);
        std::span<const char> bytes;
        TickUnit unit;
        if (!predictor || !input_bytes(ticks, "ticks", sizeof(int64_t), bytes) ||
            !tick_unit(numerator, denominator, unit))
            return nullptr;
        std::vector<double> minutes(bytes.size() / sizeof(int64_t));
        for (size_t i = 0; i < minutes.size(); ++i)
            minutes[i] = minutes_since_epoch(element<int64_t>(bytes, i), unit, predictor->epoch());
        return run_lanes({predictor}, minutes, positions, velocities, errors);
    });
}

// propagate_seconds(predictor, seconds, positions, velocities, errors)
PyObject* propagate_seconds(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *object, *seconds, *positions, *velocities, *errors;
        if (!PyArg_ParseTuple(args, "OOOOO:propagate_seconds", &object, &seconds, &positions, &velocities, &errors))
            return nullptr;
        const Predictor* predictor = predictor_of(object);
        std::span<const char> bytes;
        if (!predictor || !input_bytes(seconds, "seconds", sizeof(double), bytes)) return nullptr;
        std::vector<double> minutes(bytes.size() / sizeof(double));
        for (size_t i = 0; i < minutes.size(); ++i) minutes[i] = minutes_since_epoch(element<double>(bytes, i));
        return run_lanes({predictor}, minutes, positions, velocities, errors);
    });
}

// propagate_many(predictors, time, positions, velocities, errors): `time` an aware
// UTC datetime.
PyObject* propagate_many(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *tuple, *when, *positions, *velocities, *errors;
        if (!PyArg_ParseTuple(args, "OOOOO:propagate_many", &tuple, &when, &positions, &velocities, &errors))
            return nullptr;
        std::vector<const Predictor*> satellites;
        if (!predictors_of(tuple, satellites)) return nullptr;
        time::Instant t;
        if (!to_instant(when, t)) {
            add_argument_note("time");
            return nullptr;
        }
        std::vector<double> minutes(satellites.size());
        for (size_t i = 0; i < minutes.size(); ++i) minutes[i] = time::minutes_since(t, satellites[i]->epoch());
        return run_lanes(satellites, minutes, positions, velocities, errors);
    });
}

// propagate_many_ticks(predictors, ticks, numerator, denominator, positions, velocities, errors):
// one time in ticks for every predictor.
PyObject* propagate_many_ticks(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *tuple, *positions, *velocities, *errors;
        long long ticks, numerator, denominator;
        if (!PyArg_ParseTuple(args, "OLLLOOO:propagate_many_ticks", &tuple, &ticks, &numerator, &denominator,
                              &positions, &velocities, &errors))
            return nullptr;
        std::vector<const Predictor*> satellites;
        TickUnit unit;
        if (!predictors_of(tuple, satellites) || !tick_unit(numerator, denominator, unit)) return nullptr;
        std::vector<double> minutes(satellites.size());
        for (size_t i = 0; i < minutes.size(); ++i)
            minutes[i] = minutes_since_epoch(ticks, unit, satellites[i]->epoch());
        return run_lanes(satellites, minutes, positions, velocities, errors);
    });
}

// kernel(): the name of the propagation kernel in use.
PyObject* kernel(PyObject*, PyObject*) {
    const std::string_view name = sgp4::batch::kernel_name(sgp4::batch::active_kernel());
    return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
}

// use_kernel(name): makes the named kernel the one in use.
PyObject* use_kernel(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        const char* name;
        if (!PyArg_ParseTuple(args, "s:use_kernel", &name)) return nullptr;
        const auto kernel = sgp4::batch::kernel_named(name);
        if (!kernel) {
            PyErr_Format(PyExc_ValueError, "no kernel named '%s': 'scalar', 'avx2' or 'avx512'", name);
            return nullptr;
        }
        if (!sgp4::batch::use_kernel(*kernel)) {
            PyErr_Format(PyExc_ValueError, "this processor cannot run the '%s' kernel", name);
            return nullptr;
        }
        Py_RETURN_NONE;
    });
}

int exec_module(PyObject*) {
    return guarded<int>(-1, [] {
        sgp4::batch::active_kernel();  // the kernel is chosen here, once
        return init_names() && fetch_predictor_type() ? 0 : -1;
    });
}

PyMethodDef functions[] = {
    {"propagate_ticks", &propagate_ticks, METH_VARARGS,
     "propagate_ticks(predictor, ticks, numerator, denominator, positions, velocities, errors, /)\n--\n\n"
     "Propagate one predictor to int64 times in ticks of numerator/denominator ns since 1970."},
    {"propagate_seconds", &propagate_seconds, METH_VARARGS,
     "propagate_seconds(predictor, seconds, positions, velocities, errors, /)\n--\n\n"
     "Propagate one predictor to float64 seconds since its epoch."},
    {"propagate_many", &propagate_many, METH_VARARGS,
     "propagate_many(predictors, time, positions, velocities, errors, /)\n--\n\n"
     "Propagate a tuple of predictors to one aware UTC datetime."},
    {"propagate_many_ticks", &propagate_many_ticks, METH_VARARGS,
     "propagate_many_ticks(predictors, ticks, numerator, denominator, positions, velocities, errors, /)\n--\n\n"
     "Propagate a tuple of predictors to one time in ticks of numerator/denominator ns since 1970."},
    {"kernel", &kernel, METH_NOARGS,
     "kernel()\n--\n\n"
     "The propagation kernel in use: 'avx512', 'avx2' or 'scalar'."},
    {"use_kernel", &use_kernel, METH_VARARGS,
     "use_kernel(name, /)\n--\n\n"
     "Make the named kernel ('avx512', 'avx2' or 'scalar') the one in use."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_arrays",
    "Propagation of many (satellite, time) lanes into bytearrays; used by orbweave.arrays.",
    0,
    functions,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

}  // namespace orbweave::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__arrays() {
    return PyModuleDef_Init(&orbweave::py::module_definition);
}
