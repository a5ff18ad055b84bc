#include "binding/illumination.hpp"

#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/core_errors.hpp"
#include "binding/enums.hpp"
#include "binding/protocols.hpp"
#include "binding/search_iter.hpp"
#include "binding/window.hpp"
#include "detect/window_iter.hpp"
#include "searches/illumination.hpp"

namespace orbweave::py {

namespace {

using searches::IlluminationState;
using IlluminationSearch = detect::WindowIter<searches::ShadowCost, detect::FixedStep>;

EnumInfo illumination_state_info{"IlluminationState", {"Sunlit", "Eclipse"}, {}};

struct IlluminationValue {
    static constexpr const char* kClassName = "Illumination";
    Window w;
    IlluminationState state;

    const Window& window() const { return w; }
    bool operator==(const IlluminationValue&) const = default;
    void hash_fields(SipHasher13& hasher) const {
        w.hash_fields(hasher);
        hasher.write_u32(static_cast<uint32_t>(state));
    }
    std::string repr() const {
        return std::string("Illumination(state=") + illumination_state_info.member_names[static_cast<uint8_t>(state)] +
               ", " + w.fields_text() + ")";
    }
};

PyObject* new_illumination(const Window& window, IlluminationState state) {
    PyObject* type = illumination_type();
    return type ? new_instance<IlluminationValue>(type, IlluminationValue{window, state}) : nullptr;
}

// Eclipses are the search's windows, sunlit stretches its gaps.
PyObject* found_window(const detect::Window& window) {
    const IlluminationState state =
        window.kind == detect::WindowKind::Positive ? IlluminationState::Eclipse : IlluminationState::Sunlit;
    searches::trace_illumination(state, window.start, window.end);
    return new_illumination(Window{window.start, window.end}, state);
}

}  // namespace

const char* const kIlluminationStateDoc =
    "illumination_state($self, t)\n--\n\nDetermine whether the satellite is sunlit or in eclipse at time `t`.";

const char* const kIlluminationIterDoc =
    "illumination_iter($self, interval, *, step=None, walk_step=None, max_window_duration=None)\n--\n\n"
    "Iterate over sunlit and eclipse windows within the interval.\n\n"
    "`interval` must expose `.start` and `.end` datetime properties.\n\n"
    "The keyword-only arguments tune the coarse scan; each defaults to the\n"
    "library's own value. `step` is the fixed step used to scan for\n"
    "shadow-boundary crossings and\n"
    "`walk_step` the one used to pin down a window's true start and end.\n"
    "An eclipse window longer than\n"
    "`max_window_duration` raises `RuntimeError`; sunlit windows are the gaps\n"
    "between eclipse windows and are never bounded by it.";

PyObject* illumination_state_type() {
    static PyObject* type = nullptr;
    if (!type) type = build_enum_type(illumination_state_info, "Whether the satellite is sunlit or in Earth's shadow.");
    return type;
}

PyObject* illumination_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!illumination_state_type()) return nullptr;
    ClassBuilder builder =
        value_class<IlluminationValue>("Illumination", "A contiguous window of constant illumination state.");
    with_window_protocol<IlluminationValue>(builder, "Start of the illumination window (UTC).",
                                            "End of the illumination window (UTC).");
    with_duration_seconds<IlluminationValue>(builder,
                                             "Duration of the window in seconds.\n\n"
                                             "Deprecated: use `duration`, which is a `timedelta`.");
    builder.property("state", [](PyObject* self, void*) {
        return enum_member(illumination_state_info, static_cast<uint8_t>(value_of<IlluminationValue>(self).state));
    }, "Illumination state (Sunlit or Eclipse).");
    with_repr<IlluminationValue>(builder);
    type = builder.build();
    return type;
}

PyObject* illumination_iter_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!illumination_type()) return nullptr;
    ClassBuilder builder = value_class<IlluminationSearch>(
        "IlluminationIter", "Lazy iterator yielding sunlit and eclipse windows within a time interval.");
    with_iterator(builder, &next_search_item<IlluminationSearch, &found_window>);
    type = builder.build();
    return type;
}

PyObject* predictor_illumination_state(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.illumination_state()", {{"t"}});
        time::Instant t;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(t, to_instant))) return nullptr;
        const auto state = searches::illumination_state(value_of<Predictor>(self), t);
        if (!state) return raise_core_error(state.error());
        if (!illumination_state_type()) return nullptr;
        return enum_member(illumination_state_info, static_cast<uint8_t>(*state));
    });
}

PyObject* predictor_illumination_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature(
            "Predictor.illumination_iter()",
            {{"interval"}, {"step", false}, {"walk_step", false}, {"max_window_duration", false}}, 0, 1);
        constexpr auto optional_duration = none_or<time::Duration, to_duration>;
        InstantRange interval;
        detect::WindowConfig<detect::FixedStep> config;
        config.step_policy.step = time::Duration::seconds(60);
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(interval, to_instant_range),
                             into(config.step_policy.step, optional_duration),
                             into(config.walk_step, optional_duration),
                             into(config.max_window_duration, optional_duration)))
            return nullptr;
        const Predictor& predictor = value_of<Predictor>(self);
        config.step_policy.step = floored_step(config.step_policy.step);
        config.refinement = predictor.refinement();
        config.report_gaps = true;
        config.skip_leading_partial = false;
        config.clamp_to_interval = true;
        auto search = detect::window_iter(config, searches::ShadowCost(predictor))
                          .interval(interval.start, interval.end)
                          .build();
        if (!search) return raise_core_error(search.error());
        PyObject* type = illumination_iter_type();
        return type ? new_instance<IlluminationSearch>(type, std::move(*search)) : nullptr;
    });
}

}  // namespace orbweave::py
