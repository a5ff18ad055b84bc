#pragma once
// Shortest round-trip decimal text of a double, written without an exponent:
// 2.0 -> "2", 1e-7 -> "0.0000001", 2^60 -> "1152921504606847000".
#include <string>

namespace orbweave {

std::string shortest_decimal(double value);

}  // namespace orbweave
