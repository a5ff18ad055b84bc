#include "detect/walk.hpp"

#include <string>

#include "time/text.hpp"

namespace orbweave::detect {

std::optional<time::Instant> walk_limit(time::Instant from, time::Duration span, time::Duration step) {
    if (const auto limit = from.checked_add(span)) return limit;
    if (span.is_positive() == step.is_positive()) return std::nullopt;
    return span.is_positive() ? time::Instant::from_day_parts(time::kMaxDay, time::kSecondsPerDay - 1, 999'999'999)
                              : time::Instant::from_day_parts(time::kMinDay, 0, 0);
}

CoreError out_of_range_error(time::Instant from, time::Duration by) {
    const bool backward = by < time::Duration::zero();
    return CoreError{CoreError::Custom{"instant arithmetic out of range: " + time::instant_text(from) +
                                       (backward ? " - " : " + ") +
                                       time::compact_duration_text(backward ? -by : by)}};
}

CoreError missing_interval_error(std::string_view iterator_name) {
    return CoreError{CoreError::Interval{std::string(iterator_name) + " requires an interval — call .interval(start..end)"}};
}

}  // namespace orbweave::detect
