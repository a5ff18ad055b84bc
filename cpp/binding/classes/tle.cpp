// Tle: a name and two TLE lines, kept as given and read strictly on request.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "sgp4/tle_reader.hpp"

namespace orbweave::py {

namespace {

TleText make(std::string satellite_name, std::string line_1, std::string line_2) {
    return {std::move(satellite_name), std::move(line_1), std::move(line_2)};
}

PyObject* to_elements(const TleText& tle) {
    auto record = sgp4::read_tle(tle.satellite_name, tle.line_1, tle.line_2);
    if (!record) {
        raise(PyExc_ValueError, record.error().text());
        return nullptr;
    }
    return wrap(std::move(*record));
}

void hash_fields(SipHasher13& hasher, const TleText& tle) {
    hasher.write_text(tle.satellite_name);
    hasher.write_text(tle.line_1);
    hasher.write_text(tle.line_2);
}

}  // namespace

ClassBuilder PyClass<TleText>::define() {
    return ClassDef<TleText>("A satellite TLE (Two-Line Element set) identified by a name and two TLE lines.")
        .constructor<"satellite_name, line_1, line_2", &make>()
        .property<&TleText::satellite_name>("satellite_name")
        .property<&TleText::line_1>("line_1")
        .property<&TleText::line_2>("line_2")
        .method<"to_elements", "", &to_elements>(
            "Parse this TLE into orbital elements.\n"
            "\n"
            "Raises `ValueError` if the TLE is malformed.")
        .equality()
        .hash<&hash_fields>()
        .pickled<"satellite_name, line_1, line_2", &make,
                 [](const TleText& t) { return std::tuple{t.satellite_name, t.line_1, t.line_2}; }>();
}

}  // namespace orbweave::py
