// Fuzz target of the connection-string parser: any text either parses or is refused with
// std::invalid_argument; what parses finds every key again, and its pairs written back with
// braced values read back the same.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

#include "provider/connstr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<provider::ConnectionString> parsed;
    try {
        parsed.emplace(text);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    std::string again;
    for (const auto& [key, value] : parsed->Pairs()) {
        if (key.empty() || !parsed->Get(key))
            std::abort();  // every stored key is found
        std::string braced;
        for (char c : value)
            braced += c == '}' ? std::string("}}") : std::string(1, c);
        again += key + "={" + braced + "};";
    }
    const provider::ConnectionString back(again);
    if (back.Pairs() != parsed->Pairs())
        std::abort();  // braced values keep every character
    return 0;
}
