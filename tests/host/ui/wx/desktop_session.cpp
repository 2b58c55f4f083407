// The desktop toolkit runs for the whole test program: started before the first test, stopped
// after the last.
#include <gtest/gtest.h>

#include "host/ui/wx/desktop.h"

namespace {

class DesktopEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(host::ui::wx::StartDesktopToolkit(""), ""); }
    void TearDown() override { host::ui::wx::StopDesktopToolkit(); }
};

[[maybe_unused]] testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace
