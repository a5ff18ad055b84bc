// PredictionIter, ObservationIter and GroundTrackIter: (datetime, value) items at a
// fixed step over an interval. One template makes the three classes.
#include <tuple>

#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/cancel.hpp"

namespace orbweave::py {

namespace {

std::expected<FramedState<Frame::Teme>, CoreError> value_at(const SampledIter<Sampled::States>& it, time::Instant t) {
    const auto state = it.propagator.propagate(t);
    if (!state) return std::unexpected(state.error());
    return FramedState<Frame::Teme>{*state};
}

std::expected<Observation, CoreError> value_at(const SampledIter<Sampled::Observations>& it, time::Instant t) {
    return it.propagator.observe_at(t, it.observer);
}

std::expected<frames::Geodetic, CoreError> value_at(const SampledIter<Sampled::GroundTrack>& it, time::Instant t) {
    return it.propagator.sub_point(t);
}

// The next sample and the satellite there. After a failed evaluation the sampler
// has moved on, so the next call continues; a stop asked for by a signal comes
// before the sampler moves.
template <Sampled S>
auto next_sample(SampledIter<S>& it) {
    using Value = typename decltype(value_at(it, time::Instant()))::value_type;
    using Item = std::optional<std::tuple<time::Instant, Value>>;
    if (cancel::requested()) [[unlikely]]
        return std::expected<Item, CoreError>(detect::cancelled());
    const std::optional<time::Instant> t = it.sampler.next();
    if (!t) return std::expected<Item, CoreError>(Item());
    auto value = value_at(it, *t);
    if (!value) return std::expected<Item, CoreError>(std::unexpected(value.error()));
    return std::expected<Item, CoreError>(Item(std::tuple{*t, std::move(*value)}));
}

template <Sampled S>
ClassBuilder sampled_class(const char* doc) {
    return ClassDef<SampledIter<S>>(doc).template iterator<&next_sample<S>>();
}

}  // namespace

ClassBuilder PyClass<SampledIter<Sampled::States>>::define() {
    return sampled_class<Sampled::States>("Lazy iterator yielding `(datetime, StateVectorTeme)` at regular intervals.");
}

ClassBuilder PyClass<SampledIter<Sampled::Observations>>::define() {
    return sampled_class<Sampled::Observations>(
        "Lazy iterator yielding time-stamped observations at regular intervals.");
}

ClassBuilder PyClass<SampledIter<Sampled::GroundTrack>>::define() {
    return sampled_class<Sampled::GroundTrack>(
        "Lazy iterator yielding `(datetime, GeodeticPoint)` sub-satellite points at regular intervals.");
}

}  // namespace orbweave::py
