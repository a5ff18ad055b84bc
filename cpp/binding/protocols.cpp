#include "binding/protocols.hpp"

namespace orbweave::py {

bool warn_deprecated(const char* message) { return PyErr_WarnEx(PyExc_DeprecationWarning, message, 1) == 0; }

}  // namespace orbweave::py
