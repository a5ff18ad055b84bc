#include "binding/transit.hpp"

#include <cstdio>

#include "binding/binder.hpp"
#include "binding/convert.hpp"
#include "binding/core_errors.hpp"
#include "binding/observation.hpp"
#include "binding/search_iter.hpp"
#include "detect/window_iter.hpp"
#include "searches/transits.hpp"

namespace orbweave::py {

namespace {

struct TransitValue {
    static constexpr const char* kClassName = "Transit";
    Window w;

    const Window& window() const { return w; }
    bool operator==(const TransitValue&) const = default;
    void hash_fields(SipHasher13& hasher) const { w.hash_fields(hasher); }
    std::string repr() const {
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%.1f",
                      static_cast<double>(w.duration().whole_milliseconds()) / 1000.0);
        return "Transit(" + w.fields_text() + ", duration=" + seconds + "s)";
    }
};

using TransitSearch = detect::WindowIter<searches::ElevationCost, detect::AdaptiveStep>;

PyObject* found_transit(const detect::Window& window) {
    searches::trace_transit(window.start, window.end);
    return new_transit(Window{window.start, window.end});
}

constexpr auto optional_duration = none_or<time::Duration, to_duration>;
constexpr auto optional_flag = none_or<bool, to_bool>;

const Predictor& predictor_of(PyObject* self) { return value_of<Predictor>(self); }

}  // namespace

const char* const kTransitsIterDoc =
    "transits_iter($self, observer, interval, min_elevation_deg, *, min_step=None, max_step=None, walk_step=None, "
    "max_transit_duration=None, skip_leading_partial=None, clamp_to_interval=None)\n--\n\n"
    "Iterate over satellite passes visible to the observer within the interval.\n\n"
    "`interval` must expose `.start` and `.end` datetime properties.\n"
    "`min_elevation_deg`: minimum elevation above the horizon in degrees.\n\n"
    "The keyword-only arguments tune the coarse scan; each defaults to the\n"
    "library's own value.\n\n"
    "`min_step` and `max_step` bound the adaptive scan step: `min_step` is\n"
    "also the shortest pass the scan is guaranteed to see, and `max_step` is\n"
    "raised to it where it is smaller. `walk_step` is the fixed step used to\n"
    "walk from a transit's start to its end. A transit longer than\n"
    "`max_transit_duration` raises `RuntimeError`.\n\n"
    "`skip_leading_partial` discards a transit already in progress at the\n"
    "interval start; set it to `False` to walk backward for its true AoS.\n"
    "`clamp_to_interval` clamps a transit still in progress at the interval\n"
    "end to the interval, instead of walking forward for its true LoS.";

const char* const kDetectTransitDoc =
    "detect_transit($self, t, observer, min_elevation_deg, *, walk_step=None, max_transit_duration=None)\n--\n\n"
    "Detect whether a transit is in progress at time `t`.\n\n"
    "Returns `None` if the satellite is below `min_elevation_deg` at `t`.\n"
    "Searches backward and forward to bracket AoS and LoS.\n\n"
    "Raises `RuntimeError` if the transit turns out to be longer than\n"
    "`max_transit_duration`, which defaults to one hour. See `transits_iter`;\n"
    "the other knobs there do not apply to this single-point detection.";

PyObject* predictor_transits_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature(
            "Predictor.transits_iter()",
            {{"observer"}, {"interval"}, {"min_elevation_deg"}, {"min_step", false}, {"max_step", false},
             {"walk_step", false}, {"max_transit_duration", false}, {"skip_leading_partial", false},
             {"clamp_to_interval", false}},
            0, 3);
        frames::Geodetic observer;
        InstantRange interval;
        double min_elevation_deg = 0.0;
        searches::TransitKnobs knobs;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(observer, to_geodetic),
                             into(interval, to_instant_range), into(min_elevation_deg, to_f64),
                             into(knobs.min_step, optional_duration), into(knobs.max_step, optional_duration),
                             into(knobs.walk_step, optional_duration),
                             into(knobs.max_transit_duration, optional_duration),
                             into(knobs.skip_leading_partial, optional_flag),
                             into(knobs.clamp_to_interval, optional_flag)))
            return nullptr;
        const Predictor& predictor = predictor_of(self);
        detect::WindowConfig<detect::AdaptiveStep> config;
        config.step_policy = {floored_step(knobs.min_step), floored_step(knobs.max_step)};
        config.refinement = predictor.refinement();
        config.walk_step = knobs.walk_step;
        config.max_window_duration = knobs.max_transit_duration;
        config.report_gaps = false;
        config.skip_leading_partial = knobs.skip_leading_partial;
        config.clamp_to_interval = knobs.clamp_to_interval;
        auto search = detect::window_iter(config, searches::ElevationCost(predictor, observer, min_elevation_deg))
                          .interval(interval.start, interval.end)
                          .build();
        if (!search) return raise_core_error(search.error());
        PyObject* type = transit_iter_type();
        return type ? new_instance<TransitSearch>(type, std::move(*search)) : nullptr;
    });
}

PyObject* predictor_detect_transit(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature(
            "Predictor.detect_transit()",
            {{"t"}, {"observer"}, {"min_elevation_deg"}, {"walk_step", false}, {"max_transit_duration", false}}, 0,
            3);
        time::Instant t;
        frames::Geodetic observer;
        double min_elevation_deg = 0.0;
        searches::TransitKnobs knobs;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(t, to_instant),
                             into(observer, to_geodetic), into(min_elevation_deg, to_f64),
                             into(knobs.walk_step, optional_duration),
                             into(knobs.max_transit_duration, optional_duration)))
            return nullptr;
        const Predictor& predictor = predictor_of(self);
        const auto window =
            detect::detect_window_at(t, searches::ElevationCost(predictor, observer, min_elevation_deg),
                                     knobs.walk_step, knobs.max_transit_duration, predictor.refinement());
        if (!window) return raise_core_error(window.error());
        if (!*window) Py_RETURN_NONE;
        return found_transit(**window);
    });
}

PyObject* transit_iter_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!transit_type()) return nullptr;
    ClassBuilder builder = value_class<TransitSearch>("TransitIter",
                                                      "Lazy iterator yielding satellite passes visible to an observer.");
    with_iterator(builder, &next_search_item<TransitSearch, &found_transit>);
    type = builder.build();
    return type;
}

PyObject* transit_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    ClassBuilder builder = value_class<TransitValue>(
        "Transit", "A satellite pass — the window during which the satellite is above the minimum elevation.");
    with_window_protocol<TransitValue>(builder,
                                       "Acquisition of Signal: when the satellite rises above `min_elevation`.",
                                       "Loss of Signal: when the satellite drops below `min_elevation`.");
    with_duration_seconds<TransitValue>(builder,
                                        "Duration of the transit in seconds.\n\n"
                                        "Deprecated: use `duration`, which is a `timedelta`.");
    with_repr<TransitValue>(builder);
    type = builder.build();
    return type;
}

PyObject* new_transit(const Window& window) {
    PyObject* type = transit_type();
    return type ? new_instance<TransitValue>(type, TransitValue{window}) : nullptr;
}

}  // namespace orbweave::py
