#pragma once
// Every Python class of the module: the C++ value it holds and its name. Each
// class's file in binding/classes defines it (PyClass<V>::define); the values that
// exist only for Python (a TLE's texts, a state vector tagged with its frame, the
// sampled iterators) are declared here too. The module's order is registry.cpp's.
#include <string>

#include "areas/area.hpp"
#include "binding/support/python_class.hpp"
#include "core/observation.hpp"
#include "core/predictor.hpp"
#include "core/refinement.hpp"
#include "searches/aoi.hpp"
#include "searches/apsides.hpp"
#include "searches/illumination.hpp"
#include "searches/transits.hpp"
#include "sgp4/elements.hpp"
#include "time/sampler.hpp"
#include "time/span.hpp"
#include "util/siphash.hpp"

namespace orbweave::py {

// A TLE as given: a name and two lines, read only on request.
struct TleText {
    std::string satellite_name, line_1, line_2;
    bool operator==(const TleText&) const = default;
};

// A state vector of a known frame; the frame keeps the Python classes apart.
enum class Frame { Teme, Ecef, Enu, Lvlh };
template <Frame F>
struct FramedState {
    StateVector state;
    bool operator==(const FramedState&) const = default;
};

// The regular-interval iterators: a copy of the predictor and a fixed-step sampler.
enum class Sampled { States, Observations, GroundTrack };
template <Sampled S>
struct SampledIter {
    SearchPropagator propagator;
    time::Sampler sampler;
    frames::Geodetic observer;  // observations only
};

// A point argument: a LatLon, a GeodeticPoint (its altitude ignored) or a tuple of
// exactly two numbers (latitude, longitude); anything else is the TypeError
// "expected a LatLon, a GeodeticPoint, or a (latitude_deg, longitude_deg) tuple".
// No range check: the shapes that receive the point make those.
struct LatLonLike {
    areas::LatLon point;
};
bool from_python(PyObject* value, LatLonLike& out);
// The same conversion outside argument binding (no note).
bool to_lat_lon_like(PyObject* value, areas::LatLon& out);

// The area argument of the area searches, or the TypeError "expected a Polygon,
// Rectangle, or Circle" (raised by the method itself, after its other arguments).
areas::Area area_argument(PyObject* value);

#define ORBWEAVE_PY_CLASS(Value, Name)             \
    template <>                                    \
    struct PyClass<Value> {                        \
        static constexpr const char* name = Name;  \
        static ClassBuilder define();              \
    }

ORBWEAVE_PY_CLASS(sgp4::ElementRecord, "Elements");
ORBWEAVE_PY_CLASS(TleText, "Tle");
ORBWEAVE_PY_CLASS(areas::LatLon, "LatLon");
ORBWEAVE_PY_CLASS(frames::Geodetic, "GeodeticPoint");
ORBWEAVE_PY_CLASS(Vec3, "Vec3");
ORBWEAVE_PY_CLASS(FramedState<Frame::Teme>, "StateVectorTeme");
ORBWEAVE_PY_CLASS(FramedState<Frame::Ecef>, "StateVectorEcef");
ORBWEAVE_PY_CLASS(FramedState<Frame::Enu>, "StateVectorEnu");
ORBWEAVE_PY_CLASS(FramedState<Frame::Lvlh>, "StateVectorLvlh");
ORBWEAVE_PY_CLASS(time::Span, "Interval");
ORBWEAVE_PY_CLASS(Observation, "Observation");
ORBWEAVE_PY_CLASS(Pointing, "Pointing");
ORBWEAVE_PY_CLASS(searches::Transit, "Transit");
ORBWEAVE_PY_CLASS(searches::Apsis, "Apsis");
ORBWEAVE_PY_CLASS(searches::Illumination, "Illumination");
ORBWEAVE_PY_CLASS(areas::Polygon, "Polygon");
ORBWEAVE_PY_CLASS(areas::Rectangle, "Rectangle");
ORBWEAVE_PY_CLASS(areas::Circle, "Circle");
ORBWEAVE_PY_CLASS(searches::AoiWindow, "AoiWindow");
ORBWEAVE_PY_CLASS(Predictor, "Predictor");
ORBWEAVE_PY_CLASS(SampledIter<Sampled::States>, "PredictionIter");
ORBWEAVE_PY_CLASS(searches::ApsisSearch, "ApsisIter");
ORBWEAVE_PY_CLASS(searches::IlluminationSearch, "IlluminationIter");
ORBWEAVE_PY_CLASS(searches::TransitSearch, "TransitIter");
ORBWEAVE_PY_CLASS(SampledIter<Sampled::Observations>, "ObservationIter");
ORBWEAVE_PY_CLASS(SampledIter<Sampled::GroundTrack>, "GroundTrackIter");
ORBWEAVE_PY_CLASS(searches::AoiSearch, "AoiIter");
ORBWEAVE_PY_CLASS(Refinement, "Refinement");

#undef ORBWEAVE_PY_CLASS

// Enumerations: members in declaration order, numbered from 0.
template <>
struct PyClass<sgp4::Classification> {
    static constexpr const char* name = "Classification";
    static constexpr const char* doc = "Satellite classification type (CLASSIFICATION_TYPE field in OMM).";
    static constexpr const char* members[] = {"Unclassified", "Classified", "Secret"};
};

template <>
struct PyClass<searches::ApsisKind> {
    static constexpr const char* name = "ApsisEvent";
    static constexpr const char* doc = "Whether an apsis event is apogee or perigee.";
    static constexpr const char* members[] = {"Apogee", "Perigee"};
};

template <>
struct PyClass<searches::IlluminationState> {
    static constexpr const char* name = "IlluminationState";
    static constexpr const char* doc = "Whether the satellite is sunlit or in Earth's shadow.";
    static constexpr const char* members[] = {"Sunlit", "Eclipse"};
};

template <>
struct PyClass<areas::FillRule> {
    static constexpr const char* name = "FillRule";
    static constexpr const char* doc = "How the interior of a self-intersecting `Polygon` is determined.";
    static constexpr const char* members[] = {"NonZero", "EvenOdd"};
};

template <>
struct PyClass<searches::Coverage> {
    static constexpr const char* name = "Coverage";
    static constexpr const char* doc =
        "Whether any part of an area, or all of it, must be within reach for a window\nto be open.";
    static constexpr const char* members[] = {"Any", "Full"};
};

// The name of an enumeration member, for reprs.
template <PythonEnum E>
const char* member_name(E value) {
    return PyClass<E>::members[static_cast<size_t>(value)];
}

}  // namespace orbweave::py
