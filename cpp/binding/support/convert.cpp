#include "binding/support/convert.hpp"

#include <climits>
#include <initializer_list>
#include <optional>
#include <string>

#include "binding/support/cache.hpp"
#include "binding/support/errors.hpp"
#include "binding/support/ref.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kLeapSecondWarning = "ignored leap-second, `datetime` does not support leap-seconds";

// Reads an int attribute; false with the exception set on failure.
bool int_attribute(PyObject* object, PyObject* name, long long& out) {
    Ref value = Ref::steal(PyObject_GetAttr(object, name));
    if (!value) return false;
    out = PyLong_AsLongLong(value.get());
    return !(out == -1 && PyErr_Occurred());
}

// Whether `value` is an instance of `type`; -1 on error.
int is_instance(PyObject* value, PyObject* type) {
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) == type) return 1;
    return PyObject_IsInstance(value, type);
}

bool is_numpy_bool(PyObject* value) {
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(value));
    Ref module = Ref::steal(PyObject_GetAttr(type, names().module));
    Ref name = module ? Ref::steal(PyObject_GetAttr(type, names().name)) : Ref();
    if (!name) {
        PyErr_Clear();
        return false;
    }
    const char* module_text = PyUnicode_Check(module.get()) ? PyUnicode_AsUTF8AndSize(module.get(), nullptr) : nullptr;
    const char* name_text = PyUnicode_Check(name.get()) ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
    if (!module_text || !name_text) {
        PyErr_Clear();
        return false;
    }
    const std::string_view m(module_text), n(name_text);
    return m == "numpy" && (n == "bool_" || n == "bool");
}

// Calls `type` with integer arguments and, when given, one more object argument.
PyObject* call_with_numbers(PyObject* type, std::initializer_list<long long> numbers, PyObject* last = nullptr) {
    const auto count = static_cast<Py_ssize_t>(numbers.size());
    Ref arguments = Ref::steal(PyTuple_New(count + (last ? 1 : 0)));
    if (!arguments) return nullptr;
    Py_ssize_t i = 0;
    for (long long number : numbers) {
        PyObject* item = PyLong_FromLongLong(number);
        if (!item || PyTuple_SetItem(arguments.get(), i++, item) < 0) return nullptr;
    }
    if (last) {
        Py_INCREF(last);
        if (PyTuple_SetItem(arguments.get(), count, last) < 0) return nullptr;
    }
    return PyObject_Call(type, arguments.get(), nullptr);
}

// The calendar fields of a datetime, read through its attributes (works for any
// subclass).
bool read_datetime_fields(PyObject* value, long long (&fields)[7]) {
    const Names& n = names();
    PyObject* const field_names[7] = {n.year, n.month, n.day, n.hour, n.minute, n.second, n.microsecond};
    for (int i = 0; i < 7; ++i)
        if (!int_attribute(value, field_names[i], fields[i])) return false;
    return true;
}

// Fast path for an exact datetime: its pickle state is ten bytes (year high, year
// low, month, day, hour, minute, second, microsecond as three bytes) and the tzinfo,
// obtained with one call instead of eight attribute reads.
bool read_datetime_state(PyObject* value, long long (&fields)[7], Ref& tzinfo) {
    Ref reduced = Ref::steal(PyObject_CallMethodObjArgs(value, names().reduce, nullptr));
    if (!reduced) return false;
    PyObject* state = PyTuple_Check(reduced.get()) && PyTuple_Size(reduced.get()) == 2
                          ? PyTuple_GetItem(reduced.get(), 1) : nullptr;
    PyObject* bytes = state && PyTuple_Check(state) && PyTuple_Size(state) >= 1 ? PyTuple_GetItem(state, 0) : nullptr;
    if (!bytes || !PyBytes_Check(bytes) || PyBytes_Size(bytes) != 10) {
        PyErr_Clear();
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(PyBytes_AsString(bytes));
    fields[0] = b[0] * 256 + b[1];
    fields[1] = b[2] & 0x7f;  // the high bit carries `fold` in newer pickle protocols
    fields[2] = b[3];
    fields[3] = b[4];
    fields[4] = b[5];
    fields[5] = b[6];
    fields[6] = (b[7] << 16) | (b[8] << 8) | b[9];
    tzinfo = Ref::borrow(PyTuple_Size(state) == 2 ? PyTuple_GetItem(state, 1) : Py_None);
    return true;
}

// The calendar fields in their full width: a datetime subclass may report any
// integers, which must not be narrowed into valid-looking ones.
bool within_calendar(const long long (&f)[7]) {
    const auto within = [](long long v, long long lo, long long hi) { return lo <= v && v <= hi; };
    return within(f[0], time::kMinYear, time::kMaxYear) && within(f[1], 1, 12) && within(f[2], 1, 31) &&
           within(f[3], 0, 23) && within(f[4], 0, 59) && within(f[5], 0, 59) && within(f[6], 0, 999'999);
}

// days * 86400 + seconds + microseconds / 1e6 in checked arithmetic; none outside
// the range of durations (reachable only through a subclass's own fields).
std::optional<time::Duration> duration_from_fields(long long days, long long seconds, long long microseconds) {
    constexpr long long kMicrosPerSecond = 1'000'000;
    long long whole = 0;
    if (__builtin_mul_overflow(days, time::kSecondsPerDay, &whole) || __builtin_add_overflow(whole, seconds, &whole) ||
        __builtin_add_overflow(whole, microseconds / kMicrosPerSecond, &whole))
        return std::nullopt;
    constexpr long long kLargest = time::Duration::max().floor_seconds() - 1;
    if (whole > kLargest || whole < -kLargest) return std::nullopt;
    return time::Duration::from_parts(whole, microseconds % kMicrosPerSecond * 1000);
}

}  // namespace

bool to_instant(PyObject* value, time::Instant& out) {
    const DatetimeApi* api = datetime_api();
    if (!api) return false;
    long long fields[7];
    Ref tzinfo;
    bool have_fields = false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(value)) == api->datetime_type) {
        have_fields = read_datetime_state(value, fields, tzinfo);
        if (PyErr_Occurred()) return false;
    }
    if (!have_fields) {
        const int instance = is_instance(value, api->datetime_type);
        if (instance < 0) return false;
        if (instance == 0) return wrong_type(value, "datetime");
        tzinfo = Ref::steal(PyObject_GetAttr(value, names().tzinfo));
        if (!tzinfo) return false;
    }
    if (tzinfo.get() == Py_None) return raise(PyExc_TypeError, "expected a datetime with non-None tzinfo");
    const int utc = PyObject_RichCompareBool(tzinfo.get(), api->utc, Py_EQ);
    if (utc < 0) return false;
    if (utc == 0) return raise(PyExc_ValueError, "expected datetime.timezone.utc");
    if (!have_fields && !read_datetime_fields(value, fields)) return false;
    constexpr const char* kOutsideCalendar = "datetime fields are outside the calendar";
    if (!within_calendar(fields)) return raise(PyExc_ValueError, kOutsideCalendar);
    auto civil = time::Instant::from_civil(fields[0], static_cast<unsigned>(fields[1]), static_cast<unsigned>(fields[2]),
                                           static_cast<unsigned>(fields[3]), static_cast<unsigned>(fields[4]),
                                           static_cast<unsigned>(fields[5]),
                                           static_cast<uint32_t>(fields[6]) * 1000u);
    if (!civil) return raise(PyExc_ValueError, kOutsideCalendar);  // a day beyond its month
    out = *civil;
    return true;
}

PyObject* from_instant(time::Instant t) {
    const DatetimeApi* api = datetime_api();
    if (!api) return nullptr;
    const time::CivilTime c = t.civil();
    uint32_t nanos = c.nanosecond;
    if (t.is_leap_second()) nanos -= static_cast<uint32_t>(time::kNanosPerSecond);
    Ref result = Ref::steal(call_with_numbers(api->datetime_type,
                                              {c.year, c.month, c.day, c.hour, c.minute, c.second, nanos / 1000u},
                                              api->utc));
    if (result && t.is_leap_second() && PyErr_WarnEx(PyExc_UserWarning, kLeapSecondWarning, 0) < 0)
        PyErr_WriteUnraisable(nullptr);
    return result.release();
}

bool to_duration(PyObject* value, time::Duration& out) {
    const DatetimeApi* api = datetime_api();
    if (!api) return false;
    const int instance = is_instance(value, api->timedelta_type);
    if (instance < 0) return false;
    if (instance == 0) return wrong_type(value, "timedelta");
    long long days = 0, seconds = 0, microseconds = 0;
    const Names& n = names();
    if (!int_attribute(value, n.days, days) || !int_attribute(value, n.seconds, seconds) ||
        !int_attribute(value, n.microseconds, microseconds))
        return false;
    const auto duration = duration_from_fields(days, seconds, microseconds);
    if (!duration) return raise(PyExc_OverflowError, "timedelta is outside the range of durations");
    out = *duration;
    return true;
}

PyObject* from_duration(time::Duration d) {
    const DatetimeApi* api = datetime_api();
    if (!api) return nullptr;
    const int64_t seconds = d.truncated_seconds();
    return call_with_numbers(api->timedelta_type,
                             {seconds / time::kSecondsPerDay, seconds % time::kSecondsPerDay,
                              d.truncated_subsec_nanos() / 1000});
}

bool to_f64(PyObject* value, double& out) {
    out = PyFloat_AsDouble(value);
    return !(out == -1.0 && PyErr_Occurred());
}

bool to_instant_parts(PyObject* value, time::Instant& out) {
    if (!PyTuple_Check(value) || PyTuple_Size(value) != 3)
        return raise(PyExc_TypeError, "expected a (days, second_of_day, nanosecond) tuple of three ints");
    long long parts[3];
    for (Py_ssize_t i = 0; i < 3; ++i) {
        PyObject* part = PyTuple_GetItem(value, i);
        if (!PyLong_Check(part)) return wrong_type(part, "int");
        int overflow = 0;
        parts[i] = PyLong_AsLongLongAndOverflow(part, &overflow);
        if (parts[i] == -1 && PyErr_Occurred()) return false;
        if (overflow != 0) parts[i] = overflow > 0 ? LLONG_MAX : LLONG_MIN;  // out of every range below
    }
    const auto fits_u32 = [](long long part) { return part >= 0 && part <= static_cast<long long>(UINT32_MAX); };
    std::optional<time::Instant> instant;
    if (fits_u32(parts[1]) && fits_u32(parts[2]))
        instant = time::Instant::from_checked_day_parts(parts[0], static_cast<uint32_t>(parts[1]),
                                                        static_cast<uint32_t>(parts[2]));
    if (!instant) {
        PyErr_Format(PyExc_ValueError, "no instant has the parts %R", value);
        return false;
    }
    out = *instant;
    return true;
}

PyObject* from_instant_parts(time::Instant t) {
    return Py_BuildValue("(LII)", static_cast<long long>(t.days_since_1970()), static_cast<unsigned>(t.second_of_day()),
                         static_cast<unsigned>(t.nanosecond()));
}

bool to_u64(PyObject* value, uint64_t& out) {
    Ref index = Ref::steal(PyNumber_Index(value));
    if (!index) return false;
    out = PyLong_AsUnsignedLongLong(index.get());
    return !(out == static_cast<uint64_t>(-1) && PyErr_Occurred());
}

bool to_u8(PyObject* value, uint8_t& out) {
    uint64_t wide = 0;
    if (!to_u64(value, wide)) return false;
    if (wide > UINT8_MAX) return raise(PyExc_OverflowError, "int too big to convert");
    out = static_cast<uint8_t>(wide);
    return true;
}

bool to_bool(PyObject* value, bool& out) {
    if (PyBool_Check(value)) {
        out = value == Py_True;
        return true;
    }
    if (!is_numpy_bool(value)) return wrong_type(value, "bool");
    const int truth = PyObject_IsTrue(value);
    if (truth < 0) return false;
    out = truth == 1;
    return true;
}

bool to_text(PyObject* value, std::string& out) {
    if (!PyUnicode_Check(value)) return wrong_type(value, "str");
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(value, &size);
    if (!data) return false;
    out.assign(data, static_cast<size_t>(size));
    return true;
}

bool to_instant_range(PyObject* value, time::Span& out) {
    Ref start = Ref::steal(PyObject_GetAttr(value, names().start));
    if (!start || !to_instant(start.get(), out.start)) return false;
    Ref end = Ref::steal(PyObject_GetAttr(value, names().end));
    return end && to_instant(end.get(), out.end);
}

PyObject* from_f64(double value) { return PyFloat_FromDouble(value); }
PyObject* from_u64(uint64_t value) { return PyLong_FromUnsignedLongLong(value); }
PyObject* from_text(std::string_view text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

}  // namespace orbweave::py
