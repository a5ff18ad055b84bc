#include "binding/apsis.hpp"

#include <cstdio>
#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/core_errors.hpp"
#include "binding/enums.hpp"
#include "binding/protocols.hpp"
#include "binding/search_iter.hpp"
#include "searches/apsides.hpp"
#include "time/text.hpp"

namespace orbweave::py {

namespace {

EnumInfo apsis_event_info{"ApsisEvent", {"Apogee", "Perigee"}, {}};

struct ApsisValue {
    searches::Apsis a;

    bool operator==(const ApsisValue&) const = default;
    std::string repr() const {
        char altitude[64];
        std::snprintf(altitude, sizeof altitude, "%.0f", a.altitude);
        return std::string("Apsis(event=") + apsis_event_info.member_names[static_cast<uint8_t>(a.event)] +
               ", time=" + time::instant_text(a.time) + ", altitude=" + altitude + "m)";
    }
};

PyObject* new_apsis(const searches::Apsis& apsis) {
    PyObject* type = apsis_type();
    return type ? new_instance<ApsisValue>(type, ApsisValue{apsis}) : nullptr;
}

const ApsisValue& apsis_of(PyObject* self) { return value_of<ApsisValue>(self); }

}  // namespace

const char* const kApsisIterDoc =
    "apsis_iter($self, interval, *, step=None)\n--\n\n"
    "Iterate over apogee and perigee events within the interval.\n\n"
    "`interval` must expose `.start` and `.end` datetime properties.\n"
    "`step` is the fixed step used to scan for radial-velocity sign changes,\n"
    "defaulting to the library's own value.";

PyObject* apsis_event_type() {
    static PyObject* type = nullptr;
    if (!type) type = build_enum_type(apsis_event_info, "Whether an apsis event is apogee or perigee.");
    return type;
}

PyObject* apsis_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!apsis_event_type()) return nullptr;
    ClassBuilder builder = value_class<ApsisValue>("Apsis", "A detected apsis event with refined time and altitude.");
    builder
        .property("time", [](PyObject* self, void*) {
            return guarded<PyObject*>(nullptr, [&] { return from_instant(apsis_of(self).a.time); });
        }, "Time of the apsis event (UTC).")
        .property("event", [](PyObject* self, void*) {
            return enum_member(apsis_event_info, static_cast<uint8_t>(apsis_of(self).a.event));
        }, "Whether this is an apogee or perigee.")
        .property("altitude", [](PyObject* self, void*) { return PyFloat_FromDouble(apsis_of(self).a.altitude); },
                  "Altitude above the WGS-84 equatorial radius in metres.");
    with_repr<ApsisValue>(builder);
    with_equality<ApsisValue>(builder);
    type = builder.build();
    return type;
}

PyObject* apsis_iter_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!apsis_type()) return nullptr;
    ClassBuilder builder = value_class<searches::ApsisSearch>(
        "ApsisIter", "Lazy iterator yielding apogee and perigee events within a time interval.");
    with_iterator(builder, &next_search_item<searches::ApsisSearch, &new_apsis>);
    type = builder.build();
    return type;
}

PyObject* predictor_apsis_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.apsis_iter()", {{"interval"}, {"step", false}}, 0, 1);
        InstantRange interval;
        time::Duration step = time::Duration::seconds(60);
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(interval, to_instant_range),
                             into(step, none_or<time::Duration, to_duration>)))
            return nullptr;
        auto search = searches::ApsisSearch::over(value_of<Predictor>(self), interval.start, interval.end,
                                                  floored_step(step));
        if (!search) return raise_core_error(search.error());
        PyObject* type = apsis_iter_type();
        return type ? new_instance<searches::ApsisSearch>(type, std::move(*search)) : nullptr;
    });
}

}  // namespace orbweave::py
