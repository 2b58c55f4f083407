// The module's own column dialog, with its editable list, as real windows: the in-place edit
// box lies over the cell it edits, and the row comes back as typed.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>

#include "dialogs/CustomizeHeaderDialog.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/input_source.h"
#include "host/ui/wx/desktop.h"
#include "module_fixture.h"
#include "platform/acdocman.h"
#include "platform/acrxapp.h"
#include "tests/host/ui/wx/desktop_session.h"

namespace {

using wxtest::StepInput;

host::ui::Window& Control(int id) {
    host::ui::Window* control = host::ui::InnermostSession()->root.FindChild(id);
    if (!control)
        throw std::runtime_error("no control " + std::to_string(id));
    return *control;
}

using ModuleColumnDialog = DrawingTest;

TEST_F(ModuleColumnDialog, EditBoxLiesOverItsCellAndTheRowComesBack) {
    CCustomizeHeaderDialog dialog;
    dialog.m_nMode = CCustomizeHeaderDialog::modeHeading;
    for (const char* heading : {"Name", "Price", "Stock"})
        dialog.m_arrHeadings.Add(Txt(heading));
    const std::string picture = testing::TempDir() + "module_column_dialog.png";
    std::filesystem::remove(picture);
    StepInput input;
    int checks = 0;
    input.Line("@dblclick 142 0,1");
    input.Check(
        [&] {
            host::ui::Window& list = Control(142);
            host::ui::Window& edit = Control(3456);
            const auto native = host::ui::wx::InspectNative(edit);
            const auto cell = host::ui::wx::NativeCellRect(list, 0, 1);
            ASSERT_TRUE(native.has_value());
            ASSERT_TRUE(cell.has_value());
            EXPECT_TRUE(native->shown);
            EXPECT_TRUE(native->focused);
            EXPECT_EQ(native->rect.left, cell->left);
            EXPECT_EQ(native->rect.top, cell->top);
            EXPECT_EQ(native->rect.right, cell->right);
            EXPECT_EQ(native->rect.bottom, cell->bottom);
            ++checks;
        },
        "@set 3456 Unit price");
    input.Line("@key 3456 Enter");
    input.Check(
        [&] {
            EXPECT_FALSE(host::ui::wx::InspectNative(Control(3456))->shown);
            ++checks;
        },
        "@screenshot " + picture);
    input.Line("@ok");
    host::ScopedInput scoped(input);
    acDocManager->pushResourceHandle(acrxGetApp()->ResourceInstance());
    const INT_PTR result = dialog.DoModal();
    acDocManager->popResourceHandle();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(checks, 2);
    ASSERT_EQ(dialog.m_arrResult.GetSize(), 3);
    EXPECT_EQ(dialog.m_arrResult[0], Txt(""));
    EXPECT_EQ(dialog.m_arrResult[1], Txt("Unit price"));
    EXPECT_TRUE(std::filesystem::exists(picture));
}

}  // namespace
