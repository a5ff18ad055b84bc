#include "binding/registry.hpp"

#include <array>

#include "binding/classes.hpp"

namespace orbweave::py {

namespace {

template <class V>
constexpr ClassEntry entry() {
    return {PyClass<V>::name, &type_of<V>};
}

}  // namespace

std::span<const ClassEntry> class_registry() {
    static constexpr std::array entries{
        entry<sgp4::Classification>(),
        entry<sgp4::ElementRecord>(),
        entry<TleText>(),
        entry<areas::LatLon>(),
        entry<frames::Geodetic>(),
        entry<Vec3>(),
        entry<FramedState<Frame::Teme>>(),
        entry<FramedState<Frame::Ecef>>(),
        entry<FramedState<Frame::Enu>>(),
        entry<FramedState<Frame::Lvlh>>(),
        entry<time::Span>(),
        entry<Observation>(),
        entry<Pointing>(),
        entry<searches::Transit>(),
        entry<searches::ApsisKind>(),
        entry<searches::Apsis>(),
        entry<searches::IlluminationState>(),
        entry<searches::Illumination>(),
        entry<areas::FillRule>(),
        entry<areas::Polygon>(),
        entry<areas::Rectangle>(),
        entry<areas::Circle>(),
        entry<searches::Coverage>(),
        entry<searches::AoiWindow>(),
        entry<Predictor>(),
        entry<SampledIter<Sampled::States>>(),
        entry<searches::ApsisSearch>(),
        entry<searches::IlluminationSearch>(),
        entry<searches::TransitSearch>(),
        entry<SampledIter<Sampled::Observations>>(),
        entry<SampledIter<Sampled::GroundTrack>>(),
        entry<searches::AoiSearch>(),
        entry<Refinement>(),
    };
    return entries;
}

}  // namespace orbweave::py
