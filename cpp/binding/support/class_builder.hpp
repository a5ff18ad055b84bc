#pragma once
// One way to define a Python class: a C++ value stored inline in the Python object,
// and a ClassBuilder that turns a declarative description (name, documentation,
// constructor, properties, methods, protocol slots) into a heap type with the
// properties every class of the module shares: module "orbweave._orbweave", no
// subclassing, no instance dict, no weak references, no GC tracking, and no
// instantiation from Python unless a constructor is given.
#include <Python.h>

#include <new>
#include <string>
#include <vector>

#include "binding/support/errors.hpp"
#include "binding/support/ref.hpp"

namespace orbweave::py {

inline constexpr const char* kModuleName = "orbweave._orbweave";

// Every method uses the vectorcall convention (METH_FASTCALL | METH_KEYWORDS), so
// one binder produces all argument errors.
using FastMethod = PyObject* (*)(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

template <class T>
struct Boxed {
    PyObject_HEAD
    T value;
};

template <class T>
T& value_of(PyObject* self) {
    return reinterpret_cast<Boxed<T>*>(self)->value;
}

// A new instance of `type` holding T constructed from `args`.
template <class T, class... Args>
PyObject* new_instance(PyObject* type, Args&&... args) {
    auto* tp = reinterpret_cast<PyTypeObject*>(type);
    PyObject* self = PyType_GenericAlloc(tp, 0);
    if (!self) return nullptr;
    try {
        new (&value_of<T>(self)) T(std::forward<Args>(args)...);
    } catch (...) {
        // The value was never constructed: free the memory without destroying it.
        auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free));
        free_slot(self);
        Py_DECREF(type);
        throw;
    }
    return self;
}

template <class T>
void dealloc_instance(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    value_of<T>(self).~T();
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DECREF(type);
}

class ClassBuilder {
public:
    // `doc` is the docstring; with a constructor, pass its text signature too, and the
    // class documentation becomes "<signature>\n--\n\n<doc>".
    ClassBuilder(const char* name, int basic_size, destructor dealloc, std::string doc);

    ClassBuilder& constructor(const std::string& text_signature, newfunc make);
    ClassBuilder& property(const char* name, getter get, const char* doc = nullptr);
    ClassBuilder& property(const char* name, getter get, setter set, const char* doc);
    ClassBuilder& method(const char* name, FastMethod function, std::string doc, int extra_flags = 0);
    ClassBuilder& slot(int id, void* function);

    // Creates the type; null with a RuntimeError ("An error occurred while
    // initializing class <name>", caused by the underlying error) on failure.
    PyObject* build();

    const char* name() const { return name_; }

private:
    const char* name_;
    std::string qualified_name_;
    std::string doc_;
    int basic_size_;
    unsigned flags_ = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION;
    std::vector<PyType_Slot> slots_;
    std::vector<PyGetSetDef> properties_;
    std::vector<PyMethodDef> methods_;
    std::vector<std::string> method_docs_;  // one per method; tied to it when the type is built
};

// Wraps the pending exception in a `type` (RuntimeError by default) with `message`
// whose cause is it.
void raise_wrapped(const std::string& message, PyObject* type = PyExc_RuntimeError);

// Turns a pending OverflowError into a ValueError with the same text, caused by it:
// for callers that promise only TypeError and ValueError for bad input.
void overflow_as_value_error();

// Sets class attributes on a freshly built type: (name, value) pairs. Errors are
// wrapped as "An error occurred while initializing `Class.name`" (creating a value)
// or "`Class.__dict__`" (setting it).
bool set_class_attribute(PyObject* type, const char* class_name, const char* attribute, PyObject* value);

}  // namespace orbweave::py
