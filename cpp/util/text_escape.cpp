#include "util/text_escape.hpp"

#include <cstdint>
#include <cstdio>

namespace orbweave {

namespace {

// Code points shown escaped: controls (C0, DEL, C1), invisible format characters
// and the line and paragraph separators. Everything else prints as itself.
bool is_non_printable(uint32_t c) {
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return true;
    if (c == 0xad || c == 0x061c || c == 0x180e || c == 0xfeff) return true;
    if (c >= 0x200b && c <= 0x200f) return true;
    if (c >= 0x2028 && c <= 0x202e) return true;
    if (c >= 0x2060 && c <= 0x206f) return true;
    if (c >= 0xfff9 && c <= 0xfffb) return true;
    return false;
}

// Decodes one UTF-8 sequence at `i` (input is valid UTF-8: it comes from Python
// strings); returns the code point and advances `i`.
uint32_t next_code_point(std::string_view s, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = byte(i);
    size_t length = lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    if (i + length > s.size()) length = 1;
    uint32_t c = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (byte(i + k) & 0x3f);
    i += length;
    return c;
}

}  // namespace

std::string escape_debug(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const size_t begin = i;
        const uint32_t c = next_code_point(utf8, i);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (is_non_printable(c)) {
                    char buffer[16];
                    std::snprintf(buffer, sizeof buffer, "\\u{%x}", c);
                    out += buffer;
                } else {
                    out.append(utf8.substr(begin, i - begin));
                }
        }
    }
    return out;
}

}  // namespace orbweave
