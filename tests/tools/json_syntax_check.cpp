// Checks JSON texts with the library's JSON reader and prints one line per text:
// "ok" or "error: <message> at line L column C". Reads the files named on the
// command line, or standard input when none is named. Exit status: 0 when every
// text is valid JSON, 1 when one is not, 2 when a file cannot be read.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "sgp4/json_reader.hpp"

namespace {

void report(const std::string& text, bool& all_valid) {
    const auto result = orbweave::json::check_syntax(text);
    if (result) {
        std::cout << "ok\n";
    } else {
        std::cout << "error: " << result.error().text() << '\n';
        all_valid = false;
    }
}

std::string read_all(std::istream& in) {
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return std::move(buffer).str();
}

}  // namespace

int main(int argc, char** argv) {
    bool all_valid = true;
    if (argc < 2) {
        report(read_all(std::cin), all_valid);
        return all_valid ? 0 : 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::cerr << "cannot read " << argv[i] << '\n';
            return 2;
        }
        report(read_all(file), all_valid);
    }
    return all_valid ? 0 : 1;
}
