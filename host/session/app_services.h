// Facts about the host program that modules ask for: its release (16.0 to 17.2) and the base
// name of its executable.
#pragma once

#include <string>
#include <string_view>

namespace host {

struct HostRelease {
    int major = 17;
    int minor = 0;
};

// The releases the host can present itself as: 16.0, 16.1, 16.2, 17.0, 17.1, 17.2.
bool ParseRelease(std::string_view text, HostRelease& release);
HostRelease CurrentRelease();
void SetRelease(HostRelease release);
// "R16.1"
std::string ReleaseMarker();

// The executable base name reported to modules ("acad" unless changed).
const std::string& ProgramBaseName();
void SetProgramBaseName(std::string name);

}  // namespace host
