// The extension module orbweave._orbweave: a multi-phase module whose execution step
// publishes every class of the registry as an attribute and in __all__.
#include <Python.h>

#include "binding/support/cache.hpp"
#include "binding/support/errors.hpp"
#include "binding/support/ref.hpp"
#include "binding/registry.hpp"
#include "util/cancel.hpp"

namespace orbweave::py {

namespace {

// The module's __all__ list, created when absent.
PyObject* all_list(PyObject* module) {
    PyObject* all = nullptr;
    if (PyObject_HasAttrString(module, "__all__")) {
        all = PyObject_GetAttrString(module, "__all__");
        if (all && !PyList_Check(all)) {
            wrong_type(all, "list");
            Py_DECREF(all);
            return nullptr;
        }
        return all;
    }
    all = PyList_New(0);
    if (all && PyObject_SetAttrString(module, "__all__", all) < 0) {
        Py_DECREF(all);
        return nullptr;
    }
    return all;
}

bool add_class(PyObject* module, PyObject* all, const ClassEntry& entry) {
    PyObject* type = entry.type();
    if (!type) return false;
    Ref name = Ref::steal(PyUnicode_FromString(entry.name));
    if (!name) return false;
    if (PyList_Append(all, name.get()) < 0) {
        PyErr_Clear();
        raise_panic("could not append __name__ to __all__", nullptr);
        return false;
    }
    return PyObject_SetAttr(module, name.get(), type) == 0;
}

// The searches' stop check: pending signals run their Python handlers, and a
// handler that raises (Ctrl-C's KeyboardInterrupt) stops the search with that
// exception set, which the call then reports.
bool signal_raised() { return PyErr_CheckSignals() < 0; }

int exec_module(PyObject* module) {
    return guarded<int>(-1, [&] {
        if (!PyModule_Check(module)) {
            wrong_type(module, "module");
            return -1;
        }
        if (!init_names()) return -1;
        cancel::install(&signal_raised);
        Ref all = Ref::steal(all_list(module));
        if (!all) return -1;
        for (const ClassEntry& entry : class_registry())
            if (!add_class(module, all.get(), entry)) return -1;
        return 0;
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "_orbweave", "", 0, nullptr, module_slots, nullptr, nullptr, nullptr,
};

}  // namespace

}  // namespace orbweave::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__orbweave() {
    return PyModuleDef_Init(&orbweave::py::module_definition);
}
