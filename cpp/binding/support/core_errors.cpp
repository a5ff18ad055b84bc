#include "binding/support/core_errors.hpp"

#include "binding/support/errors.hpp"

namespace orbweave::py {

std::nullptr_t raise_core_error(const CoreError& error) {
    if (error.is_cancelled()) {
        // Stopped by the signal check, whose handler's exception is already set.
        if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
        return nullptr;
    }
    raise(error.is_input_error() ? PyExc_ValueError : PyExc_RuntimeError, error.text());
    return nullptr;
}

}  // namespace orbweave::py
