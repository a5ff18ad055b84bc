// Runs the JSON reader over arbitrary bytes held in a heap buffer of exactly their
// size, so that any read past the end is caught by the address sanitizer. A fault
// must be placed inside the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "sgp4/json_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<char[]> bytes(new char[size]);
    std::copy(data, data + size, bytes.get());
    const std::string_view text(bytes.get(), size);
    const auto result = orbweave::json::check_syntax(text);
    if (!result) {
        const auto& error = result.error();
        const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        if (error.line < 1 || error.line > lines || error.column > size || error.message.empty()) __builtin_trap();
        (void)error.text();
    }
    return 0;
}
