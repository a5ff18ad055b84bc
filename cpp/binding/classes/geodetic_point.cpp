// GeodeticPoint: latitude and longitude in degrees and height in metres on WGS-84.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

frames::Geodetic make(double latitude_deg, double longitude_deg, double altitude) {
    return {latitude_deg, longitude_deg, altitude};
}

std::string repr(const frames::Geodetic& p) {
    return "GeodeticPoint(latitude_deg=" + shortest_decimal(p.latitude_deg) +
           ", longitude_deg=" + shortest_decimal(p.longitude_deg) + ", altitude=" + shortest_decimal(p.altitude) +
           ")";
}

}  // namespace

ClassBuilder PyClass<frames::Geodetic>::define() {
    return ClassDef<frames::Geodetic>("A geodetic position on or above the WGS-84 ellipsoid.")
        .constructor<"latitude_deg, longitude_deg, altitude", &make>()
        .property<&frames::Geodetic::latitude_deg>("latitude_deg", "Geodetic latitude in degrees (positive north).")
        .property<&frames::Geodetic::longitude_deg>("longitude_deg", "Geodetic longitude in degrees (positive east).")
        .property<&frames::Geodetic::altitude>("altitude", "Height above the WGS-84 ellipsoid in metres.")
        .repr<&repr>()
        .equality()
        .pickled<"latitude_deg, longitude_deg, altitude", &make, [](const frames::Geodetic& p) {
            return std::tuple{p.latitude_deg, p.longitude_deg, p.altitude};
        }>();
}

}  // namespace orbweave::py
