#pragma once
// How long a satellite below an observer's elevation mask must stay below it: the
// bound that lets the pass scan take long steps far from the observer without
// ever stepping over a pass.
#include "core/frames.hpp"
#include "core/vectors.hpp"

namespace orbweave::searches {

class VisibilityBound {
public:
    VisibilityBound(const frames::Geodetic& observer, double mask_rad);

    // Seconds during which the satellite, now at `position` (Earth-fixed) with
    // `inertial_velocity` (the inertial velocity on Earth-fixed axes), cannot stand
    // at or above the mask: a lower bound, 0 when it may be in view already, NaN
    // when the state gives no sound bound (a trajectory that dips below the
    // Earth's surface). A bound of `horizon` seconds or more may come back as any
    // value from `horizon` up, which saves work far from the observer.
    double seconds_below(const Vec3& position, const Vec3& inertial_velocity, double horizon) const;

    // The largest Earth-central angle between observer and satellite at which a
    // satellite no farther than `radius` from the Earth's centre can stand at or
    // above the mask.
    double reach(double radius) const;
    // Its derivative in the radius; infinite where the reach is not smooth there.
    double reach_slope(double radius) const;

private:
    struct Sighting;
    double within(const Sighting& s, double seconds, double reach, double least_beta) const;
    double growing_window_bound(const Sighting& s, double far_reach) const;

    Vec3 observer_direction_;  // unit vector from the Earth's centre
    double observer_radius_;
    double mask_;  // geocentric: the mask less the tilt of the local vertical
};

}  // namespace orbweave::searches
