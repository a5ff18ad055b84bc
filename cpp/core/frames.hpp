#pragma once
// Frame conversions: TEME <-> Earth-fixed (ECEF) by the Greenwich mean sidereal
// angle, geodetic <-> ECEF on the WGS-84 ellipsoid, ECEF -> a ground observer's
// East-North-Up frame, and TEME -> the satellite's LVLH frame.
#include "core/vectors.hpp"
#include "time/instant.hpp"

namespace orbweave::frames {

inline constexpr double kEarthRotationRadPerS = 7.292115e-5;
inline constexpr double kWgs84A = 6378137.0;             // semi-major axis, m
inline constexpr double kWgs84A2 = 40680631590769.0;     // a^2, m^2
inline constexpr double kWgs84E2 = 0.0066943799901413165;  // first eccentricity squared
inline constexpr double kWgs84OneMinusE2 = 0.9933056200098587;
inline constexpr double kWgs84E4 = 0.00004481472345240445;
inline constexpr double kDegreesPerRadian = 57.29577951308232;
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

// Latitude and longitude in degrees, altitude in metres above the ellipsoid.
struct Geodetic {
    double latitude_deg = 0.0, longitude_deg = 0.0, altitude = 0.0;
    bool operator==(const Geodetic&) const = default;
};

// Greenwich mean sidereal angle (IAU-82, UTC for UT1), radians in [0, 2*pi).
double gmst(time::Instant t);

StateVector teme_to_ecef(const StateVector& teme, time::Instant t);
StateVector ecef_to_teme(const StateVector& ecef, time::Instant t);

Vec3 geodetic_to_ecef(const Geodetic& point);
// Closed form (Vermeille), no iteration.
Geodetic ecef_to_geodetic(const Vec3& position);

// A ground observer's East-North-Up axes, set up once for many states.
class EnuFrame {
public:
    explicit EnuFrame(const Geodetic& observer);
    // An Earth-fixed state relative to the observer, who is at rest in ECEF.
    StateVector project(const StateVector& ecef) const;

private:
    Vec3 origin_;
    double sin_lat_, cos_lat_, sin_lon_, cos_lon_;
};

// Relative to a ground observer at rest in ECEF.
StateVector ecef_to_enu(const StateVector& ecef, const Geodetic& observer);

// `target` relative to `satellite`, on the satellite's LVLH axes (Z nadir, Y along
// the negative orbit normal, X = Y x Z along-track). The velocity is the inertial
// relative velocity resolved on those axes.
StateVector teme_to_lvlh(const StateVector& satellite, const StateVector& target);

}  // namespace orbweave::frames
