#pragma once
// Argument binding with the interpreter's own messages. A Signature lists the
// parameters in order; binding fills one borrowed slot per parameter (null when an
// optional one is absent) from positional and keyword arguments.
#include <Python.h>

#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace orbweave::py {

struct Param {
    const char* name;
    bool required = true;
};

class Signature {
public:
    // `callable` is how messages name the function, e.g. "Interval.intersection()".
    // The first `positional_only` parameters cannot be passed by keyword; parameters
    // from index `keyword_only_from` on cannot be passed by position.
    Signature(std::string callable, std::initializer_list<Param> params, size_t positional_only = 0,
              size_t keyword_only_from = SIZE_MAX);

    size_t size() const { return params_.size(); }

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
