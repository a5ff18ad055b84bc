// Runs the TLE reader on arbitrary bytes: the input is split at the first two line
// feeds into name, line 1 and line 2, each copied into a heap buffer of exactly its
// size so that any read past a line's end is caught by the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "sgp4/tle_reader.hpp"

namespace {

struct ExactCopy {
    std::unique_ptr<char[]> bytes;
    size_t size;

    explicit ExactCopy(std::string_view text) : bytes(new char[text.size()]), size(text.size()) {
        std::copy(text.begin(), text.end(), bytes.get());
    }
    std::string_view view() const { return {bytes.get(), size}; }
};

// The text up to the next line feed, removed from `rest` with that line feed.
std::string_view take_line(std::string_view& rest) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const ExactCopy name(take_line(rest));
    const ExactCopy line1(take_line(rest));
    const ExactCopy line2(rest);
    const auto result = orbweave::sgp4::read_tle(name.view(), line1.view(), line2.view());
    if (!result) (void)result.error().text();
    return 0;
}
