#pragma once
// Internal faults: broken invariants and arithmetic that leaves a representable range.
// They are thrown as `Panic` and turned into the Python `PanicException` at the
// binding boundary; nothing in the core terminates the process.
#include <source_location>
#include <string>

namespace orbweave {

struct Panic {
    std::string message;
    std::source_location where;
};

[[noreturn]] inline void panic(std::string message,
                               std::source_location where = std::source_location::current()) {
    throw Panic{std::move(message), where};
}

}  // namespace orbweave
