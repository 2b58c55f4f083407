#include "host/session/app_services.h"

#include "host/db/hostdb.h"
#include "platform/acedads.h"
#include "platform/dbapserv.h"
#include "platform/textconv.h"

namespace host {

namespace {

HostRelease g_release;
std::string g_programName = "acad";

class AppServices final : public AcDbHostApplicationServices {
public:
    AcDbDatabase* workingDatabase() const override { return WorkingDatabase(); }
    const char* releaseMarkerA() const override {
        m_marker = ReleaseMarker();
        return m_marker.c_str();
    }
    const char16_t* releaseMarkerW() const override {
        m_markerW = qv::ToUtf16(ReleaseMarker());
        return m_markerW.c_str();
    }
    int releaseMajorVersion() const override { return g_release.major; }
    int releaseMinorVersion() const override { return g_release.minor; }
    const char* programBaseName() const override { return g_programName.c_str(); }

private:
    mutable std::string m_marker;
    mutable std::u16string m_markerW;
};

}  // namespace

bool ParseRelease(std::string_view text, HostRelease& release) {
    if (text.size() != 4 || text[2] != '.')
        return false;
    const std::string_view major = text.substr(0, 2);
    const char minor = text[3];
    if ((major != "16" && major != "17") || minor < '0' || minor > '2')
        return false;
    release.major = major == "16" ? 16 : 17;
    release.minor = minor - '0';
    return true;
}

HostRelease CurrentRelease() {
    return g_release;
}
void SetRelease(HostRelease release) {
    g_release = release;
}

std::string ReleaseMarker() {
    return "R" + std::to_string(g_release.major) + "." + std::to_string(g_release.minor);
}

const std::string& ProgramBaseName() {
    return g_programName;
}
void SetProgramBaseName(std::string name) {
    g_programName = std::move(name);
}

}  // namespace host

AcDbHostApplicationServices* acdbHostApplicationServices() {
    static host::AppServices services;
    return &services;
}
