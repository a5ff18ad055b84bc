#pragma once
// Structured debug events: a target, a message and named fields. With no sink
// installed an event costs one comparison and formats nothing. Only a C++ host can
// install a sink; the Python module never does.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace orbweave::trace {

struct Field {
    std::string_view name;
    std::string value;
};

struct Event {
    std::string_view target;
    std::string_view message;
    std::initializer_list<Field> fields;
};

using Sink = void (*)(const Event&);

inline Sink& sink_slot() {
    static Sink sink = nullptr;
    return sink;
}

inline void install_sink(Sink sink) { sink_slot() = sink; }
inline bool enabled() { return sink_slot() != nullptr; }

// Emits only when a sink is installed; `make_fields` is called only then, so the
// field texts are never formatted otherwise.
template <class MakeFields>
inline void debug(std::string_view target, std::string_view message, MakeFields&& make_fields) {
    if (!enabled()) return;
    make_fields([&](std::initializer_list<Field> fields) { sink_slot()(Event{target, message, fields}); });
}

}  // namespace orbweave::trace
