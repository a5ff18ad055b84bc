// The extension module orbweave._arrays: propagation of many (satellite, time)
// lanes in one call, into one bytearray that orbweave.arrays creates with the
// exact size and then views as three NumPy arrays. (One buffer rather than three:
// glibc's malloc hands a single large block back for reuse, where two equal ones
// are returned to the system on every call and fault in afresh.) It reads the predictors of orbweave._orbweave,
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

template <class T>
T element(std::span<const char> bytes, size_t index) {
    T value;
    std::memcpy(&value, bytes.data() + index * sizeof(T), sizeof(T));
    return value;
}

// The lanes' outputs in one bytearray of exactly the lanes' size: three position
// doubles per lane, then three velocity doubles per lane, then an int32 error
// code per lane.
bool lane_outputs(PyObject* out, size_t lanes, LaneOutputs& result) {
    if (!PyByteArray_CheckExact(out)) return wrong_buffer_type(out, "out", "bytearray");
    const auto size = static_cast<size_t>(PyByteArray_Size(out));
    const size_t expected = lanes * (6 * sizeof(double) + sizeof(int32_t));
    if (size != expected) {
        PyErr_Format(PyExc_ValueError, "'out' holds %zu bytes, not %zu", size, expected);
        return false;
    }
    if (lanes == 0) {
        result = {};
        return true;
    }
    char* data = PyByteArray_AsString(out);
    if (reinterpret_cast<uintptr_t>(data) % alignof(double) != 0)
        return raise(PyExc_ValueError, "'out' is not aligned for doubles");
    double* states = reinterpret_cast<double*>(data);
    result.positions = {states, 3 * lanes};
    result.velocities = {states + 3 * lanes, 3 * lanes};
    result.errors = {reinterpret_cast<int32_t*>(states + 6 * lanes), lanes};
    return true;
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

// Propagates the lanes of one satellite or of many into the output bytearray.
PyObject* run_lanes(const std::vector<const Predictor*>& satellites, const std::vector<double>& minutes,
                    PyObject* out) {
    LaneOutputs outputs;
    if (!lane_outputs(out, minutes.size(), outputs)) return nullptr;
    propagate_lanes(satellites, minutes, outputs);
    Py_RETURN_NONE;
}

// propagate_ticks(predictor, ticks, numerator, denominator, out)
PyObject* propagate_ticks(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *object, *ticks, *out;
        long long numerator, denominator;
        if (!PyArg_ParseTuple(args, "OOLLO:propagate_ticks", &object, &ticks, &numerator, &denominator, &out))
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
        return run_lanes({predictor}, minutes, out);
    });
}

// propagate_seconds(predictor, seconds, out)
PyObject* propagate_seconds(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *object, *seconds, *out;
        if (!PyArg_ParseTuple(args, "OOO:propagate_seconds", &object, &seconds, &out))
            return nullptr;
        const Predictor* predictor = predictor_of(object);
        std::span<const char> bytes;
        if (!predictor || !input_bytes(seconds, "seconds", sizeof(double), bytes)) return nullptr;
        std::vector<double> minutes(bytes.size() / sizeof(double));
        for (size_t i = 0; i < minutes.size(); ++i) minutes[i] = minutes_since_epoch(element<double>(bytes, i));
        return run_lanes({predictor}, minutes, out);
    });
}

// propagate_many(predictors, time, out): `time` an aware
// UTC datetime.
PyObject* propagate_many(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *tuple, *when, *out;
        if (!PyArg_ParseTuple(args, "OOO:propagate_many", &tuple, &when, &out))
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
        return run_lanes(satellites, minutes, out);
    });
}

// propagate_many_ticks(predictors, ticks, numerator, denominator, out):
// one time in ticks for every predictor.
PyObject* propagate_many_ticks(PyObject*, PyObject* args) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject *tuple, *out;
        long long ticks, numerator, denominator;
        if (!PyArg_ParseTuple(args, "OLLLO:propagate_many_ticks", &tuple, &ticks, &numerator, &denominator, &out))
            return nullptr;
        std::vector<const Predictor*> satellites;
        TickUnit unit;
        if (!predictors_of(tuple, satellites) || !tick_unit(numerator, denominator, unit)) return nullptr;
        std::vector<double> minutes(satellites.size());
        for (size_t i = 0; i < minutes.size(); ++i)
            minutes[i] = minutes_since_epoch(ticks, unit, satellites[i]->epoch());
        return run_lanes(satellites, minutes, out);
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
     "propagate_ticks(predictor, ticks, numerator, denominator, out, /)\n--\n\n"
     "Propagate one predictor to int64 times in ticks of numerator/denominator ns since 1970."},
    {"propagate_seconds", &propagate_seconds, METH_VARARGS,
     "propagate_seconds(predictor, seconds, out, /)\n--\n\n"
     "Propagate one predictor to float64 seconds since its epoch."},
    {"propagate_many", &propagate_many, METH_VARARGS,
     "propagate_many(predictors, time, out, /)\n--\n\n"
     "Propagate a tuple of predictors to one aware UTC datetime."},
    {"propagate_many_ticks", &propagate_many_ticks, METH_VARARGS,
     "propagate_many_ticks(predictors, ticks, numerator, denominator, out, /)\n--\n\n"
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
