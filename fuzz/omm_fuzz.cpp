// Runs the OMM reader over arbitrary bytes held in a heap buffer of exactly their
// size, so that any read past the end is caught by the address sanitizer. A text
// read as a record must also be valid JSON.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "sgp4/json_reader.hpp"
#include "sgp4/omm_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<char[]> bytes(new char[size]);
    std::copy(data, data + size, bytes.get());
    const std::string_view text(bytes.get(), size);
    const auto result = orbweave::sgp4::read_omm_json(text);
    if (result && !orbweave::json::check_syntax(text)) __builtin_trap();
    if (!result) (void)result.error().text();
    return 0;
}
