#include "host/dxf/repair.h"

#include "host/dxf/tags.h"

namespace host::dxf {

std::string Repair::Message() const {
    return line ? "line " + std::to_string(line) + ": " + text : text;
}

void RepairLog::Report(RepairCode code, std::size_t line, std::uint64_t handle,
                       const std::string& what, const std::string& fix) {
    if (!m_repairs)
        throw DxfError(line, what);
    m_repairs->push_back(Repair{code, line, handle, what + "; " + fix});
}

void RepairLog::Add(Repair repair) {
    if (m_repairs)
        m_repairs->push_back(std::move(repair));
}

}  // namespace host::dxf
