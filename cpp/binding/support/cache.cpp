#include "binding/support/cache.hpp"

#include "binding/support/ref.hpp"

namespace orbweave::py {

const DatetimeApi* datetime_api() {
    static DatetimeApi api{};
    if (api.utc) return &api;
    Ref module = Ref::steal(PyImport_ImportModule("datetime"));
    if (!module) return nullptr;
    Ref datetime_type = Ref::steal(PyObject_GetAttrString(module.get(), "datetime"));
    Ref timedelta_type = datetime_type ? Ref::steal(PyObject_GetAttrString(module.get(), "timedelta")) : Ref();
    Ref timezone_type = timedelta_type ? Ref::steal(PyObject_GetAttrString(module.get(), "timezone")) : Ref();
    Ref utc = timezone_type ? Ref::steal(PyObject_GetAttrString(timezone_type.get(), "utc")) : Ref();
    if (!utc) return nullptr;
    api.datetime_type = datetime_type.release();
    api.timedelta_type = timedelta_type.release();
    api.utc = utc.release();
    return &api;
}

namespace {

Names g_names{};
bool g_names_ready = false;

}  // namespace

bool init_names() {
    if (g_names_ready) return true;
    struct Entry {
        PyObject** slot;
        const char* text;
    };
    Names& n = g_names;
    const Entry entries[] = {
        {&n.year, "year"},     {&n.month, "month"},     {&n.day, "day"},
        {&n.hour, "hour"},     {&n.minute, "minute"},   {&n.second, "second"},
        {&n.microsecond, "microsecond"}, {&n.tzinfo, "tzinfo"}, {&n.days, "days"},
        {&n.seconds, "seconds"}, {&n.microseconds, "microseconds"}, {&n.start, "start"},
        {&n.end, "end"},       {&n.add_note, "add_note"}, {&n.name, "__name__"},
        {&n.module, "__module__"}, {&n.reduce, "__reduce__"},
    };
    for (const Entry& entry : entries) {
        if (*entry.slot) continue;
        *entry.slot = PyUnicode_InternFromString(entry.text);
        if (!*entry.slot) return false;
    }
    g_names_ready = true;
    return true;
}

const Names& names() { return g_names; }

}  // namespace orbweave::py
