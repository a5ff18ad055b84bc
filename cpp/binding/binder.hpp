#pragma once
// Argument binding with the interpreter's own messages. A Signature lists the
// parameters in order; binding fills one borrowed slot per parameter (null when an
// optional one is absent) from positional and keyword arguments.
#include <Python.h>

#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "binding/errors.hpp"
#include "time/duration.hpp"
#include "util/panic.hpp"

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
    const char* name(size_t index) const { return params_[index].name; }

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

// Where one parameter's value goes and how it is converted.
template <class T, class Convert>
struct Into {
    T& out;
    Convert convert;
};
template <class T, class Convert>
Into<T, Convert> into(T& out, Convert convert) {
    return {out, convert};
}

// An optional tuning argument: None keeps the target's library default.
template <class T, bool (*Convert)(PyObject*, T&)>
bool none_or(PyObject* value, T& out) {
    return value == Py_None || Convert(value, out);
}

// A step knob of 1 s or less becomes exactly 1 s.
inline time::Duration floored_step(time::Duration step) {
    const time::Duration one = time::Duration::seconds(1);
    return step <= one ? one : step;
}

// Keeps the argument object itself (borrowed), for arguments read later.
inline bool as_object(PyObject* value, PyObject*& out) {
    out = value;
    return true;
}

// Binds a call to `signature` and converts each given argument into its target, in
// parameter order; absent optional arguments keep their targets' values. A failed
// conversion raises its own exception with the note naming the argument.
template <class Call, class... Targets>
bool parse_arguments(const Signature& signature, const Call& call, Targets... targets) {
    std::array<PyObject*, sizeof...(Targets)> slots{};
    if (signature.size() != sizeof...(Targets)) panic("argument targets do not match the signature");
    if (!signature.bind(call, slots)) return false;
    size_t index = 0;
    const auto convert_next = [&](auto& target) {
        const size_t i = index++;
        if (!slots[i] || target.convert(slots[i], target.out)) return true;
        add_argument_note(signature.name(i));
        return false;
    };
    return (convert_next(targets) && ...);
}

}  // namespace orbweave::py
