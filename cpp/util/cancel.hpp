#pragma once
// Stopping a long computation from outside. The host (a C++ program, or the Python
// binding, which checks for pending signals such as Ctrl-C) installs a check; the
// search engine asks for it between cost evaluations, and a search whose check
// says stop returns the Cancelled error. Asking costs a countdown; the check itself
// runs on every kPollEvery-th request, which is every few tens of microseconds of
// work.
#include <atomic>
#include <cstdint>

namespace orbweave::cancel {

// Returns true to stop the computation in progress.
using Check = bool (*)();

inline constexpr uint32_t kPollEvery = 32;

inline std::atomic<Check> installed_check{nullptr};
// Requests left until the next check. Threads share it with relaxed loads and
// stores: a lost update only moves a check by a request or two, and it never
// holds zero, so it cannot wrap.
inline std::atomic<uint32_t> requests_left{kPollEvery};

// Null installs no check: nothing is ever stopped.
inline void install(Check check) { installed_check.store(check, std::memory_order_relaxed); }

// Whether the host asks to stop.
inline bool requested() {
    const uint32_t left = requests_left.load(std::memory_order_relaxed) - 1;
    if (left != 0) [[likely]] {
        requests_left.store(left, std::memory_order_relaxed);
        return false;
    }
    requests_left.store(kPollEvery, std::memory_order_relaxed);
    const Check check = installed_check.load(std::memory_order_relaxed);
    return check && check();
}

}  // namespace orbweave::cancel
