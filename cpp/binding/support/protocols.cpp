#include "binding/support/protocols.hpp"

namespace orbweave::py {

PyObject* iter_self(PyObject* self) {
    Py_INCREF(self);
    return self;
}

bool warn_deprecated(const char* message) { return PyErr_WarnEx(PyExc_DeprecationWarning, message, 1) == 0; }

}  // namespace orbweave::py
