#include "binding/support/declare.hpp"

namespace orbweave::py {

std::string signed_doc(std::string_view name, std::string_view first, std::string_view params, std::string_view doc) {
    std::string text(name);
    text += "(";
    text += first;
    if (!first.empty() && !params.empty()) text += ", ";
    text += params;
    text += ")\n--\n\n";
    text += doc;
    return text;
}

}  // namespace orbweave::py
