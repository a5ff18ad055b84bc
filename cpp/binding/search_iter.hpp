#pragma once
// __next__ of the event-search iterators: advance the core search held in the
// object, raise its error, end the iteration, or convert the item it found.
#include <Python.h>

#include "binding/class_def.hpp"
#include "binding/core_errors.hpp"
#include "binding/errors.hpp"

namespace orbweave::py {

template <class Search, auto ToPython>
PyObject* next_search_item(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        const auto item = value_of<Search>(self).next();
        if (!item) return raise_core_error(item.error());
        if (!*item) return nullptr;  // done: StopIteration
        return ToPython(**item);
    });
}

}  // namespace orbweave::py
