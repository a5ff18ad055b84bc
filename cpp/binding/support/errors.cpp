#include "binding/support/errors.hpp"

#include "binding/support/cache.hpp"
#include "binding/support/ref.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kPanicDoc =
    "An internal failure of orbweave: a broken invariant or an arithmetic overflow that no\n"
    "argument check foresaw.\n\n"
    "It derives from BaseException, not Exception, so that ordinary `except Exception`\n"
    "handlers do not swallow what is a bug in the library rather than a fault of the input.";

constexpr const char* kGenericPanicText = "orbweave internal failure";

// Created once per process, on the first internal failure.
PyObject* panic_exception_type() {
    static PyObject* type = nullptr;
    if (!type)
        type = PyErr_NewExceptionWithDoc("orbweave._orbweave.PanicException", kPanicDoc, PyExc_BaseException,
                                         nullptr);
    return type;
}

}  // namespace

std::string type_name(PyObject* value) {
    Ref name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__name__"));
    const char* text = name ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
    if (!text) {
        PyErr_Clear();
        return "object";
    }
    return text;
}

bool raise(PyObject* type, std::string_view message) {
    Ref text = Ref::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (text) PyErr_SetObject(type, text.get());
    return false;
}

bool wrong_type(PyObject* value, const char* expected) {
    if (value == Py_None) return raise(PyExc_TypeError, std::string("'None' is not an instance of '") + expected + "'");
    return raise(PyExc_TypeError,
                 "'" + type_name(value) + "' object is not an instance of '" + expected + "'");
}

void add_argument_note(const char* argument) {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value) {
        if (traceback) PyException_SetTraceback(value, traceback);
        Ref note = Ref::steal(PyUnicode_FromFormat("while processing '%s'", argument));
        Ref method = note ? Ref::steal(PyObject_GetAttr(value, names().add_note)) : Ref();
        // Interpreters without notes (3.10) have no add_note: the note is left out.
        Ref result = method ? Ref::steal(PyObject_CallFunctionObjArgs(method.get(), note.get(), nullptr)) : Ref();
        (void)result;
        PyErr_Clear();
    }
    PyErr_Restore(type, value, traceback);
}

void raise_panic(std::string_view message, const std::source_location* where) {
    const std::string text = message.empty() ? std::string(kGenericPanicText) : std::string(message);
    if (where)
        PySys_FormatStderr("orbweave panicked at %s:%u:\n%s\n", where->file_name(),
                           static_cast<unsigned>(where->line()), text.c_str());
    else
        PySys_FormatStderr("orbweave panicked:\n%s\n", text.c_str());
    PyObject* type = panic_exception_type();
    if (type) raise(type, text);
}

}  // namespace orbweave::py
