// TransitIter, IlluminationIter, ApsisIter and AoiIter: Python iterators over the searches
// of the core, one item per step.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"

namespace orbweave::py {

ClassBuilder PyClass<searches::TransitSearch>::define() {
    return ClassDef<searches::TransitSearch>("Lazy iterator yielding satellite passes visible to an observer.")
        .iterator<&searches::TransitSearch::next>();
}

ClassBuilder PyClass<searches::IlluminationSearch>::define() {
    return ClassDef<searches::IlluminationSearch>(
               "Lazy iterator yielding sunlit and eclipse windows within a time interval.")
        .iterator<&searches::IlluminationSearch::next>();
}

ClassBuilder PyClass<searches::ApsisSearch>::define() {
    return ClassDef<searches::ApsisSearch>("Lazy iterator yielding apogee and perigee events within a time interval.")
        .iterator<&searches::ApsisSearch::next>();
}

ClassBuilder PyClass<searches::AoiSearch>::define() {
    return ClassDef<searches::AoiSearch>(
               "Lazy iterator yielding the windows during which an area is within the payload's reach.")
        .iterator<&searches::AoiSearch::next>();
}

}  // namespace orbweave::py
