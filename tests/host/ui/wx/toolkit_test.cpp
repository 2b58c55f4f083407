// The desktop toolkit in this process: the test dialogs shown as real windows, driven by
// action lines, with the native windows compared with the model between the lines.
#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <deque>
#include <filesystem>
#include <functional>

#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/session.h"
#include "host/ui/input_source.h"
#include "host/ui/wx/desktop.h"
#include "host/ui/wx/wx_toolkit.h"
#include "platform/afxwin.h"
#include "tests/host/ui/wx/desktop_session.h"
#include "tests/host/ui/wx/hands.h"
#include "tests/host/ui/wx/test_dialogs.h"

namespace {

using host::ui::Kind;
using host::ui::Window;
using wxtest::StepInput;

Window& Control(int id) {
    host::ui::DialogSession* session = host::ui::InnermostSession();
    if (!session)
        throw std::runtime_error("no dialog is open");
    Window* control = session->root.FindChild(id);
    if (!control)
        throw std::runtime_error("no control " + std::to_string(id));
    return *control;
}

host::ui::wx::NativeState Native(Window& window) {
    const auto state = host::ui::wx::InspectNative(window);
    if (!state)
        throw std::runtime_error("control " + std::to_string(window.id) + " has no window");
    return *state;
}

void ExpectRect(const RECT& actual, const RECT& expected, const std::string& what) {
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

// Every control of the dialog, shown where the model has it, visible and enabled as it is.
void ExpectWindowsMatchModel(Window& parent) {
    for (const auto& child : parent.children) {
        Window& w = *child;
        if (w.kind == Kind::Header)
            continue;
        const std::string what =
            "control " + std::to_string(w.id) + " (" + host::ui::KindName(w.kind) + ")";
        const auto native = host::ui::wx::InspectNative(w);
        ASSERT_TRUE(native.has_value()) << what;
        if (w.kind == Kind::ComboBox) {
            // A combo box's template height is that of its dropped list.
            EXPECT_EQ(native->rect.left, w.rect.left) << what;
            EXPECT_EQ(native->rect.top, w.rect.top) << what;
            EXPECT_EQ(native->rect.right, w.rect.right) << what;
        } else {
            ExpectRect(native->rect, w.rect, what);
        }
        EXPECT_EQ(native->shown, w.Visible()) << what;
        EXPECT_EQ(native->enabled, w.Enabled()) << what;
    }
}

TEST(DesktopToolkit, ControlsSitWhereTheTemplatePutsThem) {
    StepInput input;
    host::ScopedInput scoped(input);
    bool checked = false;
    input.Check(
        [&] {
            host::ui::DialogSession& session = *host::ui::InnermostSession();
            const RECT size = host::ui::DialogUnitsToPixels(
                session.dialogTemplate, 0, 0, session.dialogTemplate.cx, session.dialogTemplate.cy);
            const auto dialog = Native(session.root);
            EXPECT_EQ(dialog.rect.right, size.right);
            EXPECT_EQ(dialog.rect.bottom, size.bottom);
            EXPECT_EQ(dialog.text, "Controls");
            // The template's first button is 50 by 14 dialog units, in the desktop's font.
            const host::ui::BaseUnits units =
                host::ui::CurrentToolkit().UnitsOf(host::ui::FontOfWindow(&session.root));
            EXPECT_EQ(Control(IDOK).rect.right - Control(IDOK).rect.left, (50 * units.cx + 2) / 4);
            ExpectWindowsMatchModel(session.root);
            EXPECT_FALSE(Native(Control(wxtest::kHidden)).shown);
            EXPECT_FALSE(Native(Control(wxtest::kDisabled)).enabled);
            checked = true;
        },
        "@cancel");
    wxtest::RunControlsDialog();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(input.Done());
}

TEST(DesktopToolkit, WidgetsShowWhatTheModelHolds) {
    StepInput input;
    host::ScopedInput scoped(input);
    int checks = 0;
    input.Check(
        [&] {
            EXPECT_EQ(Native(Control(wxtest::kReadOnly)).text, "fixed");
            EXPECT_EQ(Native(Control(wxtest::kDropList)).selection, 1);
            EXPECT_EQ(Native(Control(wxtest::kLeft)).check, 1);
            EXPECT_EQ(Native(Control(wxtest::kList)).rows, 4);
            EXPECT_EQ(Native(Control(wxtest::kHeader)).check, 0);
            ++checks;
        },
        "@set 1001 Bolt M8");
    input.Line("@click 1005");
    input.Line("@pick 1008 ODBC");
    input.Line("@click 1007");
    input.Line("@pick 1010 three");
    input.Line("@pick 1011 Washer");
    input.Line("@pick 1012 sales.sqlite > Customers");
    input.Check(
        [&] {
            EXPECT_EQ(Native(Control(wxtest::kName)).text, "Bolt M8");
            EXPECT_EQ(Native(Control(wxtest::kHeader)).check, 1);
            EXPECT_EQ(Native(Control(wxtest::kDropList)).selection, 2);
            EXPECT_EQ(Native(Control(wxtest::kLeft)).check, 0);
            EXPECT_EQ(Native(Control(wxtest::kRight)).check, 1);
            EXPECT_EQ(Native(Control(wxtest::kListBox)).selection, 2);
            EXPECT_EQ(Native(Control(wxtest::kList)).selection, 2);
            EXPECT_EQ(Native(Control(wxtest::kTree)).text, "Customers");
            // The focus follows the model: the last control the user acted on.
            EXPECT_TRUE(Native(Control(wxtest::kTree)).focused);
            ++checks;
        },
        "@key 1012 Tab");
    input.Check(
        [&] {
            EXPECT_TRUE(Native(Control(wxtest::kMarker)).shown);
            ++checks;
        },
        "@ok");
    wxtest::RunControlsDialog();
    EXPECT_EQ(checks, 3);
    EXPECT_TRUE(input.Done());
}

TEST(DesktopToolkit, ClipboardIsTheDesktops) {
    StepInput input;
    host::ScopedInput scoped(input);
    int checks = 0;
    input.Line("@clipboard pasted text");
    input.Check(
        [&] {
            wxTextDataObject data;
            ASSERT_TRUE(wxTheClipboard->Open());
            EXPECT_TRUE(wxTheClipboard->GetData(data));
            wxTheClipboard->Close();
            EXPECT_EQ(data.GetText(), "pasted text");
            ++checks;
        },
        "@menu 1001 Paste");
    input.Check(
        [&] {
            EXPECT_EQ(Control(wxtest::kName).text, "pasted text");
            EXPECT_EQ(Native(Control(wxtest::kName)).text, "pasted text");
            ++checks;
        },
        "@cancel");
    wxtest::RunControlsDialog();
    EXPECT_EQ(checks, 2);
}

TEST(DesktopToolkit, DialogHidesWhileAPointIsPickedInTheDrawing) {
    StepInput input;
    host::ScopedInput scoped(input);
    int checks = 0;
    input.Line("@click 1020");
    input.Check(
        [&] {
            EXPECT_FALSE(Native(host::ui::InnermostSession()->root).shown);
            ++checks;
        },
        "3,4");
    input.Check(
        [&] {
            EXPECT_TRUE(Native(host::ui::InnermostSession()->root).shown);
            ++checks;
        },
        "@cancel");
    wxtest::RunControlsDialog();
    EXPECT_EQ(checks, 2);
    EXPECT_TRUE(input.Done());
}

TEST(DesktopToolkit, InPlaceEditorCoversItsCellGrowsAndTakesTheFocus) {
    StepInput input;
    host::ScopedInput scoped(input);
    int checks = 0;
    RECT first{};
    input.Line("@dblclick 142 0,2");
    input.Check(
        [&] {
            Window& grid = Control(wxtest::kGrid);
            Window& edit = Control(wxtest::kCellEdit);
            ASSERT_EQ(edit.parent, &grid);
            const auto native = Native(edit);
            EXPECT_TRUE(native.shown);
            EXPECT_TRUE(native.focused);
            const auto cell = host::ui::wx::NativeCellRect(grid, 0, 2);
            ASSERT_TRUE(cell.has_value());
            ExpectRect(native.rect, *cell, "the edit box over cell 0,2");
            first = native.rect;
            ++checks;
        },
        "@set 3456 a heading much longer than its column");
    input.Check(
        [&] {
            Window& edit = Control(wxtest::kCellEdit);
            const auto native = Native(edit);
            ExpectRect(native.rect, edit.rect, "the grown edit box");
            EXPECT_EQ(native.rect.left, first.left);
            EXPECT_GT(native.rect.right, first.right);
            EXPECT_EQ(native.text, "a heading much longer than its column");
            ++checks;
        },
        "@key 3456 Enter");
    input.Check(
        [&] {
            EXPECT_FALSE(Native(Control(wxtest::kCellEdit)).shown);
            EXPECT_EQ(host::ui::ListCell(&Control(wxtest::kGrid), 0, 2),
                      "a heading much longer than its column");
            ++checks;
        },
        "@dblclick 142 0,4");
    input.Check(
        [&] {
            // The same box serves the next cell.
            const auto cell = host::ui::wx::NativeCellRect(Control(wxtest::kGrid), 0, 4);
            ASSERT_TRUE(cell.has_value());
            ExpectRect(Native(Control(wxtest::kCellEdit)).rect, *cell, "cell 0,4");
            ++checks;
        },
        "@key 3456 Esc");
    input.Line("@ok");
    wxtest::RunColumnsDialog();
    EXPECT_EQ(checks, 4);
    EXPECT_TRUE(input.Done());
}

TEST(DesktopToolkit, HundredThousandRowsShowAndScrollToTheModelsRow) {
    StepInput input;
    host::ScopedInput scoped(input);
    int checks = 0;
    input.Check(
        [&] {
            EXPECT_EQ(Native(Control(wxtest::kBigList)).rows, wxtest::kBigRows);
            ++checks;
        },
        "@click 2010");
    input.Check(
        [&] {
            Window& list = Control(wxtest::kBigList);
            const int top = list.As<host::ui::ListViewState>().topIndex;
            EXPECT_GT(top, wxtest::kBigRows - 100);
            EXPECT_NEAR(host::ui::wx::NativeTopRow(list), top, 1);
            ++checks;
        },
        "@click 2011");
    input.Check(
        [&] {
            Window& list = Control(wxtest::kBigList);
            EXPECT_NEAR(host::ui::wx::NativeTopRow(list),
                        list.As<host::ui::ListViewState>().topIndex, 1);
            ++checks;
        },
        "@cancel");
    wxtest::RunBigListDialog();
    EXPECT_EQ(checks, 3);
}

TEST(DesktopToolkit, IconResourcesAreDecoded) {
    const HICON icon =
        LoadIconA(AfxFindModuleInstance(reinterpret_cast<const void*>(&wxtest::RunControlsDialog)),
                  MAKEINTRESOURCEA(301));
    const host::ui::Icon* resource = host::ui::IconFromHandle(icon);
    ASSERT_NE(resource, nullptr);
    const wxBitmap bitmap = host::ui::wx::BitmapOfIcon(*resource, 16, 16);
    ASSERT_TRUE(bitmap.IsOk());
    const wxImage image = bitmap.ConvertToImage();
    EXPECT_EQ(image.GetWidth(), 16);
    EXPECT_EQ(image.GetRed(8, 8), 230);
    EXPECT_EQ(image.GetGreen(8, 8), 180);
    EXPECT_EQ(image.GetBlue(8, 8), 40);
    // Asked for another size, the picture is scaled.
    EXPECT_EQ(host::ui::wx::BitmapOfIcon(*resource, 32, 32).GetWidth(), 32);
}

TEST(DesktopToolkit, PictureShowsThePaintedWindowAtItsPlace) {
    StepInput input;
    host::ScopedInput scoped(input);
    const std::string path = testing::TempDir() + "hostwx_controls.png";
    std::filesystem::remove(path);
    RECT marker{};
    input.Check([&] { marker = Control(wxtest::kMarker).rect; }, "@screenshot " + path);
    input.Line("@cancel");
    wxtest::RunControlsDialog();
    wxImage picture;
    ASSERT_TRUE(picture.LoadFile(path, wxBITMAP_TYPE_PNG));
    // The marker paints a red box from its origin.
    int left = picture.GetWidth(), top = picture.GetHeight();
    for (int y = 0; y < picture.GetHeight(); ++y) {
        for (int x = 0; x < picture.GetWidth(); ++x) {
            if (picture.GetRed(x, y) > 240 && picture.GetGreen(x, y) < 20 &&
                picture.GetBlue(x, y) < 20) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
    }
    EXPECT_EQ(left, marker.left);
    EXPECT_EQ(top, marker.top);
}

}  // namespace

namespace {

// A person at the desktop: input source that never answers (the user works in the windows)
// and a timer that moves the mouse and types, one step at a time.
class Person : public host::InputSource {
public:
    bool IsInteractive() const override { return true; }

protected:
    std::optional<std::string> ReadRaw(std::string_view) override { return std::nullopt; }
};

// Hands for dialogs: a wait gives up after two seconds, and whatever went wrong, the dialog
// does not stay open.
class Hands : public wxtest::Hands {
public:
    Hands()
        : wxtest::Hands(
              [] {
                  if (host::ui::DialogSession* s = host::ui::InnermostSession())
                      s->End(IDCANCEL);
              },
              40) {}
};

void MoveTo(Hands& hands, Window& window, POINT client) {
    const auto at = host::ui::wx::NativeScreenPoint(window, client);
    ASSERT_TRUE(at.has_value());
    hands.sim.MouseMove(at->x, at->y);
}

POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(DesktopToolkitByHand, DoubleClickOnAScrolledGridEditsTheCellUnderTheMouse) {
    Person person;
    host::ScopedInput scoped(person);
    Hands hands;
    RECT cell{};
    // The list lays itself out once it is on the screen.
    for (int i = 0; i < 4; ++i)
        hands.Then([] {});
    hands.Then([&] {
        // The grid scrolled to the right by the user first.
        host::ui::wx::ScrollNative(Control(wxtest::kGrid), 0, 400);
    });
    hands.Then([&] {
        Window& grid = Control(wxtest::kGrid);
        const auto native = host::ui::wx::NativeCellRect(grid, 0, 7);
        ASSERT_TRUE(native.has_value());
        cell = *native;
        // Column 7 starts at 560 pixels; scrolled, it is on the screen.
        EXPECT_LT(cell.left, 400);
        MoveTo(hands, grid, Centre(cell));
    });
    hands.Then([&] { hands.sim.MouseDblClick(); });
    hands.WaitFor([&] {
        Window* edit = host::ui::InnermostSession()->root.FindChild(wxtest::kCellEdit);
        return edit && edit->Visible();
    });
    hands.Then([&] {
        Window& edit = Control(wxtest::kCellEdit);
        const auto native = Native(edit);
        EXPECT_TRUE(native.shown);
        ExpectRect(native.rect, cell, "the edit box over the scrolled cell");
        hands.sim.Text("Price");
    });
    hands.WaitFor([&] { return Control(wxtest::kCellEdit).text == "Price"; });
    hands.Then([&] { hands.sim.Char(WXK_RETURN); });
    hands.WaitFor([&] { return !Control(wxtest::kCellEdit).Visible(); });
    hands.Then([&] {
        EXPECT_FALSE(Native(Control(wxtest::kCellEdit)).shown);
        EXPECT_EQ(host::ui::ListCell(&Control(wxtest::kGrid), 0, 7), "Price");
        MoveTo(hands, Control(IDOK), Centre(Control(IDOK).ClientRect()));
    });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.Start(50);
    wxtest::RunColumnsDialog();
    hands.Stop();
    EXPECT_EQ(host::ui::InnermostSession(), nullptr);
}

TEST(DesktopToolkitByHand, TypingClickingAndKeysReachTheModel) {
    Person person;
    host::ScopedInput scoped(person);
    Hands hands;
    hands.Then([&] { MoveTo(hands, Control(wxtest::kName), POINT{5, 5}); });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.Then([&] { hands.sim.Text("Nut"); });
    hands.WaitFor([&] { return Control(wxtest::kName).text == "Nut"; });
    hands.Then([&] {
        EXPECT_EQ(Control(wxtest::kName).text, "Nut");
        EXPECT_EQ(host::ui::FocusWindow(), &Control(wxtest::kName));
        hands.sim.Char(WXK_BACK);
    });
    hands.WaitFor([&] { return Control(wxtest::kName).text == "Nu"; });
    hands.Then([&] {
        EXPECT_EQ(Control(wxtest::kName).text, "Nu");
        hands.sim.Char(WXK_TAB);
    });
    hands.WaitFor([&] { return host::ui::FocusWindow() == &Control(wxtest::kPassword); });
    hands.Then([&] {
        // Tab goes through the model's tab order: the password box is next.
        EXPECT_EQ(host::ui::FocusWindow(), &Control(wxtest::kPassword));
        EXPECT_TRUE(Native(Control(wxtest::kPassword)).focused);
        MoveTo(hands, Control(wxtest::kHeader), POINT{5, 5});
    });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.WaitFor(
        [&] { return Control(wxtest::kHeader).As<host::ui::ButtonState>().check == BST_CHECKED; });
    hands.Then([&] {
        EXPECT_EQ(Control(wxtest::kHeader).As<host::ui::ButtonState>().check, BST_CHECKED);
        // Enter presses the default button.
        hands.sim.Char(WXK_RETURN);
    });
    hands.Start(50);
    wxtest::RunControlsDialog();
    hands.Stop();
    EXPECT_EQ(host::ui::InnermostSession(), nullptr);
}

}  // namespace

namespace {

TEST(DesktopToolkitByHand, PopupMenusAndMessageBoxesAreRealWindows) {
    Person person;
    host::ScopedInput scoped(person);
    Hands hands;
    testing::internal::CaptureStdout();
    hands.Then([&] { MoveTo(hands, Control(wxtest::kName), POINT{5, 5}); });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.Then([&] { hands.sim.Text("Bolt"); });
    hands.WaitFor([&] { return Control(wxtest::kName).text == "Bolt"; });
    // The edit box's own menu, from the model: the last entry is Select All.
    hands.Then([&] { hands.sim.MouseClick(wxMOUSE_BTN_RIGHT); });
    hands.Then([&] { hands.sim.Char(WXK_UP); });
    hands.Then([&] { hands.sim.Char(WXK_RETURN); });
    hands.WaitFor([&] {
        const auto& e = Control(wxtest::kName).As<host::ui::EditState>();
        return e.selStart == 0 && e.selEnd == 4;
    });
    hands.Then([&] {
        const auto& e = Control(wxtest::kName).As<host::ui::EditState>();
        EXPECT_EQ(e.selStart, 0u);
        EXPECT_EQ(e.selEnd, 4u);
        MoveTo(hands, Control(wxtest::kAsk), Centre(Control(wxtest::kAsk).ClientRect()));
    });
    hands.Then([&] { hands.sim.MouseClick(); });
    // The message box is up: its default button is Yes.
    hands.Then([] {});
    hands.Then([&] { hands.sim.Char(WXK_RETURN); });
    for (int i = 0; i < 4; ++i)
        hands.Then([] {});
    hands.Start(50);
    wxtest::RunControlsDialog();
    hands.Stop();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[answer yes]"), std::string::npos) << out;
}

}  // namespace
