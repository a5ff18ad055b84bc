#pragma once
// Stopping a long computation from outside. The host (a C++ program, or the Python
// binding, which checks for pending signals such as Ctrl-C) installs a check; the
// search engine asks for it between cost evaluations, and a search whose check
// says stop returns the Cancelled error. Without a check, asking costs one load;
// with one, the check itself runs on every kPollEvery-th request, which is every
// few tens of microseconds of work.
#include <atomic>
#include <cstdint>

namespace orbweave::cancel {

// Returns true to stop the computation in progress.
using Check = bool (*)();

inline constexpr uint32_t kPollEvery = 32;

inline std::atomic<Check> installed_check{nullptr};
// Requests since the last check. Threads share it with relaxed loads and stores:
// a lost count only moves a check by a request or two.
inline std::atomic<uint32_t> requests{0};

// Null installs no check: nothing is ever stopped.
inline void install(Check check) { installed_check.store(check, std::memory_order_relaxed); }

// Whether the host asks to stop.
inline bool requested() {
    const Check check = installed_check.load(std::memory_order_relaxed);
    if (!check) return false;
    const uint32_t count = requests.load(std::memory_order_relaxed) + 1;
    requests.store(count, std::memory_order_relaxed);
    return count % kPollEvery == 0 && check();
}

}  // namespace orbweave::cancel
