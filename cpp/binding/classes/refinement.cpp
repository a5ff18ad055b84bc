// Refinement: the root finder's settings, the one class whose values can be set.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"

namespace orbweave::py {

namespace {

Refinement make(std::optional<double> time_tolerance, std::optional<uint64_t> max_iter) {
    Refinement settings;
    settings.time_tolerance = time_tolerance.value_or(settings.time_tolerance);
    settings.max_iter = max_iter.value_or(settings.max_iter);
    return settings;
}

}  // namespace

ClassBuilder PyClass<Refinement>::define() {
    return ClassDef<Refinement>(
               "Root-finder configuration used to refine detected event times.\n\n"
               "A bracketed hybrid solver: each iteration takes a Newton-Raphson step\n"
               "when a derivative is available and a secant/bisection step otherwise,\n"
               "converging once the crossing is pinned down to `time_tolerance` seconds.")
        .constructor<"*, time_tolerance=None, max_iter=None", &make>()
        .settable<&Refinement::time_tolerance>("time_tolerance",
                                               "Convergence threshold on the crossing time, in seconds.")
        .settable<&Refinement::max_iter>("max_iter", "Maximum number of solver iterations.")
        .equality()
        .pickled<"time_tolerance, max_iter",
                 [](double time_tolerance, uint64_t max_iter) { return make(time_tolerance, max_iter); },
                 [](const Refinement& r) { return std::tuple{r.time_tolerance, r.max_iter}; }>();
}

}  // namespace orbweave::py
