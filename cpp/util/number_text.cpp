#include "util/number_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace orbweave {

namespace {

// Expands scientific digits "d.ddde±x" into plain positional notation.
std::string expand_exponent(std::string_view sci) {
    bool negative = !sci.empty() && sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    const auto e_pos = sci.find('e');
    std::string_view mantissa = sci.substr(0, e_pos);
    int exponent = std::atoi(std::string(sci.substr(e_pos + 1)).c_str());
    std::string digits;
    for (char c : mantissa)
        if (c != '.') digits.push_back(c);
    // Position of the decimal point relative to the start of `digits`.
    int point = 1 + exponent;
    std::string out = negative ? "-" : "";
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out += digits;
    } else if (point >= static_cast<int>(digits.size())) {
        out += digits;
        out.append(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<size_t>(point));
        out += '.';
        out += digits.substr(static_cast<size_t>(point));
    }
    return out;
}

}  // namespace

std::string shortest_decimal(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    (void)ec;
    return expand_exponent(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

}  // namespace orbweave
