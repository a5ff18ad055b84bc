// Vec3: one vector, metres or metres per second.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

Vec3 make(double x, double y, double z) { return {x, y, z}; }

std::string repr(const Vec3& v) {
    return "Vec3(x=" + shortest_decimal(v.x) + ", y=" + shortest_decimal(v.y) + ", z=" + shortest_decimal(v.z) + ")";
}

}  // namespace

ClassBuilder PyClass<Vec3>::define() {
    return ClassDef<Vec3>("A 3-component vector (x, y, z).  Used for position (metres) and velocity (m/s).")
        .constructor<"x, y, z", &make>()
        .property<&Vec3::x>("x")
        .property<&Vec3::y>("y")
        .property<&Vec3::z>("z")
        .repr<&repr>()
        .equality()
        .pickled<"x, y, z", &make, [](const Vec3& v) { return std::tuple{v.x, v.y, v.z}; }>();
}

}  // namespace orbweave::py
