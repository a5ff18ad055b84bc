#pragma once
// The orbital-element record: the field set of a CCSDS Orbit Mean-Elements
// Message. Filled by the TLE reader, the OMM JSON reader or field by field. It
// holds no derived values and checks no ranges; the propagator refuses what it
// cannot initialise.
#include <cstdint>
#include <optional>
#include <string>

#include "time/instant.hpp"

namespace orbweave::sgp4 {

// CLASSIFICATION_TYPE; the integer values are the declaration indices.
enum class Classification : uint8_t { Unclassified = 0, Classified = 1, Secret = 2 };

struct ElementRecord {
    std::optional<std::string> object_name;               // OBJECT_NAME
    std::optional<std::string> international_designator;  // OBJECT_ID
    uint64_t norad_id = 0;                                 // NORAD_CAT_ID
    Classification classification = Classification::Unclassified;  // CLASSIFICATION_TYPE
    time::Instant epoch = time::Instant::unix_epoch();     // EPOCH, may be a leap second
    double mean_motion_dot = 0.0;    // MEAN_MOTION_DOT, rev/day^2 (first derivative / 2)
    double mean_motion_ddot = 0.0;   // MEAN_MOTION_DDOT, rev/day^3 (second derivative / 6)
    double drag_term = 0.0;          // BSTAR, 1/earth radii
    uint64_t element_set_number = 0; // ELEMENT_SET_NO
    double inclination = 0.0;        // INCLINATION, degrees
    double right_ascension = 0.0;    // RA_OF_ASC_NODE, degrees
    double eccentricity = 0.0;       // ECCENTRICITY
    double argument_of_perigee = 0.0;// ARG_OF_PERICENTER, degrees
    double mean_anomaly = 0.0;       // MEAN_ANOMALY, degrees
    double mean_motion = 0.0;        // MEAN_MOTION, rev/day
    uint64_t revolution_number = 0;  // REV_AT_EPOCH
    uint8_t ephemeris_type = 0;      // EPHEMERIS_TYPE
};

}  // namespace orbweave::sgp4
