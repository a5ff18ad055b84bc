// StateVectorTeme, StateVectorEcef, StateVectorEnu and StateVectorLvlh: a position
// and a velocity in one frame, and the conversions between the frames. One
// template makes the four classes.
#include <cmath>

#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "core/frames.hpp"

namespace orbweave::py {

namespace {

bool is_finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Every state the library computes is finite; a pickled one must be too.
template <Frame F>
FramedState<F> unpickle(Vec3 position, Vec3 velocity) {
    require(is_finite(position) && is_finite(velocity), "a state vector's position and velocity must be finite");
    return {StateVector{position, velocity}};
}

template <Frame F>
ClassDef<FramedState<F>> state_class(const char* doc, const char* position_doc, const char* velocity_doc) {
    ClassDef<FramedState<F>> def(doc);
    def.template property<[](const FramedState<F>& s) { return s.state.position; }>("position", position_doc)
        .template property<[](const FramedState<F>& s) { return s.state.velocity; }>("velocity", velocity_doc)
        .equality()
        .template pickled<"position, velocity", &unpickle<F>,
                          [](const FramedState<F>& s) { return std::tuple{s.state.position, s.state.velocity}; }>();
    return def;
}

using Teme = FramedState<Frame::Teme>;
using Ecef = FramedState<Frame::Ecef>;
using Enu = FramedState<Frame::Enu>;
using Lvlh = FramedState<Frame::Lvlh>;

Ecef to_ecef(const Teme& s, time::Instant t) { return {frames::teme_to_ecef(s.state, t)}; }
Lvlh to_lvlh(const Teme& s, Teme target) { return {frames::teme_to_lvlh(s.state, target.state)}; }
Enu to_enu(const Ecef& s, frames::Geodetic observer) { return {frames::ecef_to_enu(s.state, observer)}; }
Teme to_teme(const Ecef& s, time::Instant t) { return {frames::ecef_to_teme(s.state, t)}; }
Observation to_observation(const Enu& s) { return observation_from_enu(s.state); }
Pointing to_pointing(const Lvlh& s) { return pointing_from_lvlh(s.state); }

}  // namespace

ClassBuilder PyClass<Teme>::define() {
    return state_class<Frame::Teme>(
               "State vector in the True Equator Mean Equinox (TEME) frame — the native SGP4 output frame.\n"
               "Positions in metres, velocities in m/s.",
               "Position in the TEME frame (metres).", "Velocity in the TEME frame (m/s).")
        .method<"to_ecef", "t", &to_ecef>("Convert to the Earth-Centred Earth-Fixed (ECEF) frame at the given UTC time.")
        .method<"to_lvlh", "target", &to_lvlh>(
            "Express `target` relative to this satellite, in the satellite's LVLH frame.\n\n"
            "The receiver is the origin here — the mirror of `to_enu`, where the\n"
            "receiver is the satellite and the argument supplies the origin.");
}

ClassBuilder PyClass<Ecef>::define() {
    return state_class<Frame::Ecef>(
               "State vector in the Earth-Centred Earth-Fixed (ECEF) frame.\nPositions in metres, velocities in m/s.",
               "Position in the ECEF frame (metres).", "Velocity in the ECEF frame (m/s).")
        .method<"to_enu", "observer", &to_enu>(
            "Convert to the East-North-Up (ENU) frame relative to the given observer.")
        .method<"to_teme", "t", &to_teme>("Convert back to the TEME frame, the inverse of `StateVectorTeme.to_ecef`.");
}

ClassBuilder PyClass<Enu>::define() {
    return state_class<Frame::Enu>(
               "State vector in the East-North-Up (ENU) frame relative to a ground observer.\n"
               "Positions in metres, velocities in m/s.",
               "Position in the ENU frame (metres).", "Velocity in the ENU frame (m/s).")
        .method<"to_observation", "", &to_observation>(
            "Convert to a ground observation (azimuth, elevation, range, range_rate).");
}

ClassBuilder PyClass<Lvlh>::define() {
    return state_class<Frame::Lvlh>(
               "State vector in the satellite's LVLH frame: Z along nadir, Y along the\n"
               "negative orbit normal, X completing the right-handed triad along-track.\n"
               "Positions in metres, velocities in m/s.\n\n"
               "The velocity is the inertial relative velocity resolved on the LVLH axes,\n"
               "not the derivative of the LVLH position, so `range_rate` is Doppler-correct.",
               "Position in the LVLH frame (metres).", "Velocity in the LVLH frame (m/s).")
        .method<"to_pointing", "", &to_pointing>("Reduce to the direction, range and range rate of the target.");
}

}  // namespace orbweave::py
