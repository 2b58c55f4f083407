// Fuzz target of the DXF reader: any bytes are read strictly and in recover mode; a drawing
// that opens is saved again and the saved text must open strictly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/dxf/drawing.h"
#include "platform/dbmain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto strict = host::dxf::LoadDxfBytes(bytes, error, nullptr);
    std::vector<host::dxf::Repair> repairs;
    auto recovered = host::dxf::LoadDxfBytes(bytes, error, &repairs);
    if (strict && !recovered)
        std::abort();  // recover mode opens whatever strict mode opens
    if (recovered) {
        std::string saved;
        host::dxf::WriteDxf(*recovered, saved);
        auto again = host::dxf::LoadDxfBytes(saved, error, nullptr);
        if (!again)
            std::abort();  // a saved file must open without repairs
    }
    return 0;
}
