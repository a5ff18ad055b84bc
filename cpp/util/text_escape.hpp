#pragma once
// Debug escaping of UTF-8 text for reprs: backslash and double quote get a
// backslash; line feed, carriage return and tab become \n, \r and \t; other
// non-printable characters become \u{hex}.
#include <string>
#include <string_view>

namespace orbweave {

std::string escape_debug(std::string_view utf8);

}  // namespace orbweave
