#include "binding/support/binder.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "binding/support/errors.hpp"

namespace orbweave::py {

namespace {

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'", as the interpreter joins names.
std::string join_names(const std::vector<const char*>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += items.size() == 2 ? " and " : (i + 1 == items.size() ? ", and " : ", ");
        out += "'";
        out += items[i];
        out += "'";
    }
    return out;
}

std::string plural(size_t count, const char* word) { return count == 1 ? word : std::string(word) + "s"; }

}  // namespace

Signature::Signature(std::string callable, std::vector<Param> params, size_t positional_only,
                     size_t keyword_only_from)
    : callable_(std::move(callable)), params_(std::move(params)), positional_only_(positional_only),
      positional_count_(std::min(keyword_only_from, params_.size())) {}

bool Signature::fail(const std::string& continuation) const {
    return raise(PyExc_TypeError, callable_ + continuation);
}

bool Signature::bind_positional(size_t given, std::span<PyObject*> slots) const {
    std::fill(slots.begin(), slots.end(), nullptr);
    if (given <= positional_count_) return true;
    size_t required = 0;
    for (size_t i = 0; i < positional_count_; ++i) required += params_[i].required ? 1 : 0;
    const std::string verb = given == 1 ? " was given" : " were given";
    if (required == positional_count_)
        return fail(" takes " + std::to_string(positional_count_) + " positional arguments but " +
                    std::to_string(given) + verb);
    return fail(" takes from " + std::to_string(required) + " to " + std::to_string(positional_count_) +
                " positional arguments but " + std::to_string(given) + verb);
}

bool Signature::bind_keyword(PyObject* key, PyObject* value, std::span<PyObject*> slots,
                             std::vector<const char*>& positional_only_by_keyword) const {
    Py_ssize_t length = 0;
    const char* text = PyUnicode_Check(key) ? PyUnicode_AsUTF8AndSize(key, &length) : nullptr;
    if (!text) {
        if (!PyErr_Occurred()) return fail(" keywords must be strings");
        return false;
    }
    const std::string_view keyword(text, static_cast<size_t>(length));
    for (size_t i = 0; i < params_.size(); ++i) {
        if (keyword != params_[i].name) continue;
        if (i < positional_only_) {
            positional_only_by_keyword.push_back(params_[i].name.c_str());
            return true;
        }
        if (slots[i]) return fail(" got multiple values for argument '" + params_[i].name + "'");
        slots[i] = value;
        return true;
    }
    return fail(" got an unexpected keyword argument '" + std::string(keyword) + "'");
}

bool Signature::check_complete(const std::vector<const char*>& positional_only_by_keyword,
                               std::span<PyObject*> slots) const {
    if (!positional_only_by_keyword.empty())
        return fail(" got some positional-only arguments passed as keyword arguments: " +
                    join_names(positional_only_by_keyword));
    std::vector<const char*> missing;
    for (size_t i = 0; i < positional_count_; ++i)
        if (params_[i].required && !slots[i]) missing.push_back(params_[i].name.c_str());
    if (!missing.empty())
        return fail(" missing " + std::to_string(missing.size()) + " required positional " +
                    plural(missing.size(), "argument") + ": " + join_names(missing));
    for (size_t i = positional_count_; i < params_.size(); ++i)
        if (params_[i].required && !slots[i]) missing.push_back(params_[i].name.c_str());
    if (!missing.empty())
        return fail(" missing " + std::to_string(missing.size()) + " required keyword " +
                    plural(missing.size(), "argument") + ": " + join_names(missing));
    return true;
}

bool Signature::bind(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, std::span<PyObject*> slots) const {
    const size_t given = static_cast<size_t>(nargs);
    if (!bind_positional(given, slots)) return false;
    for (size_t i = 0; i < given; ++i) slots[i] = args[i];
    std::vector<const char*> positional_only_by_keyword;
    const Py_ssize_t nkw = kwnames ? PyTuple_Size(kwnames) : 0;
    for (Py_ssize_t k = 0; k < nkw; ++k)
        if (!bind_keyword(PyTuple_GetItem(kwnames, k), args[nargs + k], slots, positional_only_by_keyword))
            return false;
    return check_complete(positional_only_by_keyword, slots);
}

bool Signature::bind(PyObject* args, PyObject* kwargs, std::span<PyObject*> slots) const {
    const Py_ssize_t nargs = PyTuple_Size(args);
    if (nargs < 0) return false;
    const size_t given = static_cast<size_t>(nargs);
    if (!bind_positional(given, slots)) return false;
    for (size_t i = 0; i < given; ++i) slots[i] = PyTuple_GetItem(args, static_cast<Py_ssize_t>(i));
    std::vector<const char*> positional_only_by_keyword;
    Py_ssize_t position = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (kwargs && PyDict_Next(kwargs, &position, &key, &value))
        if (!bind_keyword(key, value, slots, positional_only_by_keyword)) return false;
    return check_complete(positional_only_by_keyword, slots);
}

}  // namespace orbweave::py
