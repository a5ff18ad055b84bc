#pragma once
// Shortest round-trip decimal text of a double, written without an exponent:
// 2.0 -> "2", 1e-7 -> "0.0000001", 2^60 -> "1152921504606847000".
#include <cstdio>
#include <string>

namespace orbweave {

std::string shortest_decimal(double value);

// printf-style text with fixed decimals, as long as it needs to be (a range of
// 1e300 metres has 301 digits).
template <class... Args>
std::string printf_text(const char* pattern, Args... args) {
    const int length = std::snprintf(nullptr, 0, pattern, args...);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, args...);
    return text;
}

}  // namespace orbweave
