#pragma once
// Argument binding with the interpreter's own messages. A Signature lists the
// parameters in order; binding fills one borrowed slot per parameter (null when an
// optional one is absent) from positional and keyword arguments.
// Written by hand: the messages must read exactly as fixed for the module
// ("takes 3 positional arguments ..."), and the limited API offers no parser for
// the vectorcall convention that would let them.
#include <Python.h>

#include <span>
#include <string>
#include <vector>

#include "binding/support/errors.hpp"

namespace orbweave::py {

// The arguments of one call, in either calling convention.
struct FastCall {
    PyObject* const* args;
    Py_ssize_t nargs;
    PyObject* kwnames;
};
struct TupleCall {
    PyObject* args;
    PyObject* kwargs;
};

struct Param {
    std::string name;
    bool required = true;
};

class Signature {
public:
    // `callable` is how messages name the function, e.g. "Interval.intersection()".
    // The first `positional_only` parameters cannot be passed by keyword; parameters
    // from index `keyword_only_from` on cannot be passed by position.
    Signature(std::string callable, std::vector<Param> params, size_t positional_only = 0,
              size_t keyword_only_from = SIZE_MAX);

    size_t size() const { return params_.size(); }
    const char* name(size_t index) const { return params_[index].name.c_str(); }

    bool bind(const FastCall& call, std::span<PyObject*> slots) const {
        return bind(call.args, call.nargs, call.kwnames, slots);
    }
    bool bind(const TupleCall& call, std::span<PyObject*> slots) const { return bind(call.args, call.kwargs, slots); }

    // Vectorcall convention (METH_FASTCALL | METH_KEYWORDS).
    bool bind(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, std::span<PyObject*> slots) const;
    // Tuple and dict convention (tp_new).
    bool bind(PyObject* args, PyObject* kwargs, std::span<PyObject*> slots) const;

private:
    bool bind_positional(size_t given, std::span<PyObject*> slots) const;
    bool bind_keyword(PyObject* key, PyObject* value, std::span<PyObject*> slots,
                      std::vector<const char*>& positional_only_by_keyword) const;
    bool check_complete(const std::vector<const char*>& positional_only_by_keyword,
                        std::span<PyObject*> slots) const;
    bool fail(const std::string& continuation) const;

    std::string callable_;
    std::vector<Param> params_;
    size_t positional_only_;
    size_t positional_count_;  // parameters that accept a position
};

}  // namespace orbweave::py
