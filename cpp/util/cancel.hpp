#pragma once
// Stopping a long computation from outside. The host (a C++ program, or the Python
// binding, which checks for pending signals such as Ctrl-C) installs a check; the
// search engine asks for it between cost evaluations, and a search whose check
// says stop returns the Cancelled error. Asking costs a counter increment: the
// check itself runs on every kPollEvery-th request, which is every few tens of
// microseconds of work.
#include <cstdint>

namespace orbweave::cancel {

// Returns true to stop the computation in progress.
using Check = bool (*)();

inline constexpr uint32_t kPollEvery = 32;

inline Check& check_slot() {
    static Check check = nullptr;
    return check;
}

// Null installs no check: nothing is ever stopped.
inline void install(Check check) { check_slot() = check; }

// Whether the host asks to stop.
inline bool requested() {
    thread_local uint32_t requests = 0;
    if (++requests % kPollEvery != 0) return false;
    const Check check = check_slot();
    return check && check();
}

}  // namespace orbweave::cancel
