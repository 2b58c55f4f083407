// Input for dialogs under test: lines for the dialog, and checks made while it is open.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/ui/input_source.h"
#include "platform/acdocman.h"
#include "platform/acrxapp.h"

// A line "!probe" runs the next probe instead of reaching the dialog.
class ProbedInput : public host::InputSource {
public:
    std::vector<std::string> lines;
    std::vector<std::function<void()>> probes;

protected:
    std::optional<std::string> ReadRaw(std::string_view) override {
        while (m_next < lines.size()) {
            const std::string line = lines[m_next++];
            if (line != "!probe")
                return line;
            if (m_probe < probes.size())
                probes[m_probe++]();
        }
        return std::nullopt;
    }

private:
    std::size_t m_next = 0;
    std::size_t m_probe = 0;
};

// Shows a module dialog modally on this input, with the module's resources current, as its
// commands show it; what DoModal gave.
template <class Dialog>
INT_PTR RunModuleDialog(Dialog& dialog, host::InputSource& input) {
    host::ScopedInput scoped(input);
    acDocManager->pushResourceHandle(acrxGetApp()->ResourceInstance());
    const INT_PTR result = dialog.DoModal();
    acDocManager->popResourceHandle();
    return result;
}
