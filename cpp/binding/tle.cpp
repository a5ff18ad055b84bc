#include "binding/tle.hpp"

#include <array>
#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/elements.hpp"
#include "binding/protocols.hpp"
#include "sgp4/tle_reader.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kTleDoc = "A satellite TLE (Two-Line Element set) identified by a name and two TLE lines.";
constexpr const char* kToElementsDoc =
    "to_elements($self)\n--\n\n"
    "Parse this TLE into orbital elements.\n"
    "\n"
    "Raises `ValueError` if the TLE is malformed.";

PyObject* tle_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Tle()", {{"satellite_name"}, {"line_1"}, {"line_2"}});
        TleValue value;
        if (!parse_arguments(signature, TupleCall{args, kwargs}, into(value.satellite_name, to_text),
                             into(value.line_1, to_text), into(value.line_2, to_text)))
            return nullptr;
        return new_instance<TleValue>(reinterpret_cast<PyObject*>(type), std::move(value));
    });
}

PyObject* tle_to_elements(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Tle.to_elements()", {});
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames})) return nullptr;
        const TleValue& tle = value_of<TleValue>(self);
        auto record = sgp4::read_tle(tle.satellite_name, tle.line_1, tle.line_2);
        if (!record) {
            raise(PyExc_ValueError, record.error().text());
            return nullptr;
        }
        return new_elements(std::move(*record));
    });
}

template <std::string TleValue::*Member>
PyObject* get_text(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] { return from_text(value_of<TleValue>(self).*Member); });
}

}  // namespace

void TleValue::hash_fields(SipHasher13& hasher) const {
    hasher.write_text(satellite_name);
    hasher.write_text(line_1);
    hasher.write_text(line_2);
}

PyObject* tle_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!elements_type()) return nullptr;
    ClassBuilder builder = value_class<TleValue>("Tle", kTleDoc);
    builder.constructor("Tle(satellite_name, line_1, line_2)", &tle_new)
        .property("satellite_name", &get_text<&TleValue::satellite_name>)
        .property("line_1", &get_text<&TleValue::line_1>)
        .property("line_2", &get_text<&TleValue::line_2>)
        .method("to_elements", &tle_to_elements, kToElementsDoc);
    with_equality<TleValue>(builder);
    with_hash<TleValue>(builder);
    type = builder.build();
    return type;
}

bool to_tle_value(PyObject* value, TleValue& out) {
    PyObject* type = tle_type();
    if (!type) return false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) != type) return wrong_type(value, "Tle");
    out = value_of<TleValue>(value);
    return true;
}

}  // namespace orbweave::py
