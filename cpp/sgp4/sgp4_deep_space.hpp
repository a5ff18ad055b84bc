#pragma once
// Deep-space (SDP4) parts of the propagator: lunar-solar secular and periodic
// terms and the one-day and half-day geopotential resonances. Internal to the
// engine; `sgp4.cpp` calls these for orbits with a period of 225 minutes or more.
#include "sgp4/sgp4.hpp"

namespace orbweave::sgp4::deep_space {

// Epoch quantities the deep-space setup needs besides the constants themselves.
struct EpochContext {
    double epoch_days;  // days since 1949-12-31 00:00 UTC
    double eccsq;       // eccentricity squared
    double xpidot;      // argpdot + nodedot
};

// Fills `c.lunar_solar` and `c.resonance`; the near-earth fields of `c` (mean
// elements, Brouwer mean motion, secular rates, gsto) must already be set.
void initialise(Sgp4Constants& c, const EpochContext& epoch);

// Mean elements as they evolve through one propagation.
struct MeanElements {
    double em, argpm, inclm, mm, nodem, nm;
};

// Adds the lunar-solar secular rates and the resonance effects at `t` minutes,
// integrating the resonance from the checkpoint when it lies on the way to `t`.
void apply_secular(const Sgp4Constants& c, double t, MeanElements& m, ResonanceCheckpoint* checkpoint);

// Osculating-in-long-period elements after the lunar-solar periodics.
struct PeriodicElements {
    double ep, inclp, nodep, argpp, mp;
};

// Adds the lunar-solar periodics at `t` minutes.
void apply_periodics(const LunarSolarTerms& ls, double t, PeriodicElements& p);

}  // namespace orbweave::sgp4::deep_space
