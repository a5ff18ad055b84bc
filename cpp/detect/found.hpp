#pragma once
// What a search makes of each item its engine iterator finds: `found` turns an
// event or window into the search's own result (and may fail with a core error);
// the end of the iteration and errors pass through unchanged.
#include <expected>
#include <functional>
#include <optional>
#include <type_traits>

#include "core/core_error.hpp"

namespace orbweave::detect {

template <class Item, class Found>
auto map_found(const std::expected<std::optional<Item>, CoreError>& item, Found&& found)
    -> std::expected<std::optional<typename WithoutError<std::invoke_result_t<Found, const Item&>>::Type>,
                     CoreError> {
    using Result = std::invoke_result_t<Found, const Item&>;
    using Value = typename WithoutError<Result>::Type;
    if (!item) return std::unexpected(item.error());
    if (!*item) return std::optional<Value>();
    if constexpr (std::is_same_v<Result, Value>) {
        return std::optional<Value>(std::invoke(found, **item));
    } else {
        auto made = std::invoke(found, **item);
        if (!made) return std::unexpected(made.error());
        return std::optional<Value>(std::move(*made));
    }
}

}  // namespace orbweave::detect
