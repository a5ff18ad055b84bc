#pragma once
// The single place where a core error becomes a Python exception.
#include "core/core_error.hpp"

namespace orbweave::py {

// Raises ValueError (input errors) or RuntimeError with the error's full text.
// Returns null for `return raise_core_error(...)` in methods.
std::nullptr_t raise_core_error(const CoreError& error);

}  // namespace orbweave::py
