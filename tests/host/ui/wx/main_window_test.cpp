// The desktop host's main window in this process, driven by simulated mouse and keys (the X
// test extension of the virtual server), with the command engine answering from the window:
// the sample drawing, zoom to extents, a click on a table cell, a menu item of the sample menu
// group, typing with completion and history, and Quit with a modified drawing.
#include "host/ui/wx/main_window.h"

#include <gtest/gtest.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "host/base/command_line.h"
#include "host/base/input.h"
#include "host/db/hostdb.h"
#include "host/session/documents.h"
#include "host/session/drawing_io.h"
#include "host/session/menu_groups.h"
#include "host/ui/builtins.h"
#include "host/ui/console.h"
#include "host/ui/editor.h"
#include "host/ui/ui_sink.h"
#include "host/ui/wx/desktop.h"
#include "host/ui/wx/drawing_view.h"
#include "host_run.h"
#include "platform/accmd.h"
#include "platform/acedads.h"
#include "platform/adscodes.h"
#include "platform/afxwin.h"
#include "platform/dbmain.h"
#include "platform/dbtable.h"
#include "tests/host/ui/wx/desktop_session.h"
#include "tests/host/ui/wx/hands.h"

namespace {

namespace fs = std::filesystem;
using host::ui::wx::MainWindow;

// Hands for the main window: a wait may take ten seconds (a loaded machine is slow), and
// whatever went wrong, the session ends.
class Hands : public wxtest::Hands {
public:
    Hands()
        : wxtest::Hands(
              [] {
                  if (MainWindow* window = host::ui::wx::CurrentMainWindow();
                      window && window->Waiting())
                      window->Type({"_QUIT"}, true);
              },
              330) {}
};

std::string Utf8(const wxString& text) {
    return std::string(text.utf8_str());
}

std::string TestName() {
    return testing::UnitTest::GetInstance()->current_test_info()->name();
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(testing::TempDir()) / ("main_window_" + TestName());
        testsupport::MakeFreshFolder(m_dir);
        // Recent files go to a settings store of the test's own.
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        m_drawing = (m_dir / "equipment.dxf").string();
        fs::copy_file(testsupport::SourceDir() / "sample" / "equipment.dxf", m_drawing);
        host::SetCommandLineCapture(&m_output, true);
        m_session = std::make_unique<host::Session>(host::Session::NoDrawing{});
        std::string error;
        std::unique_ptr<AcDbDatabase> db = host::LoadDrawing(m_drawing, error);
        ASSERT_TRUE(db) << error;
        host::Documents()->Open(std::move(db), m_drawing);
        host::InputSource* input = host::ui::wx::OpenMainWindow(true);
        ASSERT_NE(input, nullptr);
        m_input = std::make_unique<host::ScopedInput>(*input);
        m_window = host::ui::wx::CurrentMainWindow();
        m_window->SetSize(0, 0, 1000, 700);
    }
    void TearDown() override {
        m_input.reset();
        m_session.reset();
        host::ui::wx::CloseMainWindow();
        host::SetCommandLineCapture(nullptr);
        unsetenv("XDG_CONFIG_HOME");
    }

    // Runs the command loop while the hands do their steps; true when no line failed.
    bool Run(Hands& hands) {
        hands.Start(30);
        const bool ok = host::RunCommandLoop();
        hands.Stop();
        EXPECT_TRUE(hands.Done()) << "the session ended before every step was done";
        return ok;
    }

    host::ui::wx::DrawingView& View() { return *m_window->View(); }

    // The first table of model space.
    AcDbObjectId Table() {
        for (const AcDbObjectId& id :
             host::EntitiesOf(host::WorkingDatabase(), host::WorkingDatabase()->modelSpaceId()))
            if (AcDbTable::cast(host::ObjectOf(id)))
                return id;
        return {};
    }
    // The middle of a table cell, in drawing coordinates.
    AcGePoint3d CellCentre(int row, int column) {
        const auto* table = AcDbTable::cast(host::ObjectOf(Table()));
        double x = 0, y = 0;
        for (int c = 0; c < column; ++c)
            x += table->columnWidth(c);
        for (int r = 0; r < row; ++r)
            y += table->rowHeight(r);
        x += table->columnWidth(column) / 2;
        y += table->rowHeight(row) / 2;
        const AcGePoint3d p = table->position();
        return AcGePoint3d(p.x + x, p.y - y, 0);
    }
    std::string CellText(int row, int column) {
        const auto* table = AcDbTable::cast(host::ObjectOf(Table()));
        return std::string(table->textStringA(row, column).GetString());
    }
    // Moves the mouse to a drawing point on the view.
    void MoveTo(Hands& hands, const AcGePoint3d& p) {
        const wxPoint device = View().ToDevice(p.x, p.y);
        const wxPoint screen = View().ClientToScreen(device);
        hands.sim.MouseMove(screen);
    }
    std::string OutputPane() { return Utf8(m_window->OutputPane()->GetValue()); }

    fs::path m_dir;
    std::string m_drawing;
    std::string m_output;
    std::unique_ptr<host::Session> m_session;
    std::unique_ptr<host::ScopedInput> m_input;
    MainWindow* m_window = nullptr;
};

// Waits until the window asks the prompt (its text contains `what`).
void WaitForPrompt(Hands& hands, MainWindow* window, std::string what) {
    hands.WaitFor(
        [window, what] {
            return window->Waiting() && window->View()->FramesDrawn() > 0 &&
                   Utf8(window->PromptLabel()->GetLabel()).find(what) != std::string::npos;
        },
        "the prompt \"" + what + "\"");
}

void TypeLine(Hands& hands, std::string text) {
    hands.Then([&hands, text] { hands.sim.Text(text.c_str()); });
    hands.Then([&hands] { hands.sim.Char(WXK_RETURN); });
}

std::string HandleOf(AcDbObjectId id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(id.handle().value()));
    return buf;
}

TEST_F(MainWindowTest, ShowsTheDrawingZoomsAtTheCursorPansAndZoomsToTheExtents) {
    Hands hands;
    hands.WaitFor([&] { return View().FramesDrawn() > 0 && m_window->Waiting(); },
                  "the first frame");
    host::render::Box fitted;
    hands.Then([&] {
        EXPECT_NE(m_window->Title().find("equipment.dxf"), std::string::npos) << m_window->Title();
        EXPECT_EQ(m_window->Title().find('*'), std::string::npos) << "not modified yet";
        // Zoomed out far, then back to the extents by the View menu's entry.
        host::render::View far = View().ViewState();
        far.pixelsPerUnit /= 50;
        View().SetViewState(far);
        wxCommandEvent zoom(wxEVT_MENU,
                            m_window->GetMenuBar()->FindMenuItem("View", "Zoom Extents"));
        m_window->GetEventHandler()->ProcessEvent(zoom);
        const host::render::Box extents = host::render::SpaceExtents(*host::WorkingDatabase());
        const host::render::Box visible = View().ViewState().VisibleBox();
        ASSERT_FALSE(extents.Empty());
        EXPECT_TRUE(visible.Contains(extents));
        // Fitted: the extents fill the view in one direction, give or take the margin.
        EXPECT_GT(std::max(extents.Width() / visible.Width(), extents.Height() / visible.Height()),
                  0.8);
        fitted = visible;
    });
    // The wheel zooms in at the cursor: the drawing point under it stays there.
    const wxPoint at(300, 200);
    host::render::Point under;
    double scale = 0;
    hands.Then([&] {
        under = View().ToDrawing(at);
        scale = View().ViewState().pixelsPerUnit;
        wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
        wheel.SetPosition(at);
        wheel.m_wheelRotation = 240;
        wheel.m_wheelDelta = 120;
        View().GetEventHandler()->ProcessEvent(wheel);
        EXPECT_NEAR(View().ViewState().pixelsPerUnit, scale * 1.25 * 1.25, scale * 1e-9);
        const wxPoint still = View().ToDevice(under.x, under.y);
        EXPECT_NEAR(still.x, at.x, 1);
        EXPECT_NEAR(still.y, at.y, 1);
    });
    // A middle-button drag moves the drawing with the mouse.
    hands.Then([&] { hands.sim.MouseMove(View().ClientToScreen(at)); });
    hands.Then([&] { hands.sim.MouseDown(wxMOUSE_BTN_MIDDLE); });
    hands.Then([&] { hands.sim.MouseMove(View().ClientToScreen(at + wxPoint(60, -40))); });
    hands.Then([&] { hands.sim.MouseUp(wxMOUSE_BTN_MIDDLE); });
    hands.WaitFor(
        [&] {
            const wxPoint moved = View().ToDevice(under.x, under.y);
            return std::abs(moved.x - (at.x + 60)) <= 1 && std::abs(moved.y - (at.y - 40)) <= 1;
        },
        "the pan");
    // The coordinates of the cursor are in the status bar.
    hands.Then([&] {
        const host::render::Point p = View().ToDrawing(View().ScreenToClient(wxGetMousePosition()));
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.4f, %.4f", p.x, p.y);
        EXPECT_EQ(m_window->StatusCoordinates(), expected);
    });
    // A middle double-click shows the extents again.
    hands.Then([&] { hands.sim.MouseDblClick(wxMOUSE_BTN_MIDDLE); });
    hands.WaitFor(
        [&] {
            const host::render::Box visible = View().ViewState().VisibleBox();
            return std::abs(visible.minX - fitted.minX) < 1e-6 &&
                   std::abs(visible.maxY - fitted.maxY) < 1e-6;
        },
        "zoom to the extents");
    EXPECT_TRUE(Run(hands));
}

TEST_F(MainWindowTest, AClickOnATableCellAnswersTheEntityPromptWithThatCell) {
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    TypeLine(hands, "TABLEEDIT");
    WaitForPrompt(hands, m_window, "Select table cell");
    hands.Then([&] { MoveTo(hands, CellCentre(2, 1)); });
    // The entity under the cursor is highlighted before the click.
    hands.WaitFor(
        [&] {
            const auto& lit = View().LastOptions().highlighted;
            return lit.size() == 1 && lit.front() == Table();
        },
        "the table highlighted under the cursor");
    hands.Then([&] { hands.sim.MouseClick(); });
    WaitForPrompt(hands, m_window, "Enter text of cell (2,1)");
    TypeLine(hands, "Pump P-7");
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        EXPECT_EQ(CellText(2, 1), "Pump P-7");
        EXPECT_NE(m_window->Title().find("equipment.dxf *"), std::string::npos)
            << m_window->Title();
        // The answer went through the editor as typed text: the handle and the point.
        EXPECT_NE(m_output.find("Select table cell: #" + HandleOf(Table()) + " "),
                  std::string::npos)
            << m_output;
    });
    EXPECT_TRUE(Run(hands));
}

TEST_F(MainWindowTest, APointPromptHighlightsTheCellUnderTheCursorAndTakesAClick) {
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    TypeLine(hands, "-TABLE");
    WaitForPrompt(hands, m_window, "number of columns");
    TypeLine(hands, "2");
    WaitForPrompt(hands, m_window, "number of rows");
    TypeLine(hands, "");
    WaitForPrompt(hands, m_window, "Specify insertion point");
    hands.Then([&] { MoveTo(hands, CellCentre(1, 2)); });
    hands.WaitFor(
        [&] {
            const host::render::CellRef& cell = View().LastOptions().highlightedCell;
            return cell.table == Table() && cell.row == 1 && cell.column == 2;
        },
        "cell (1,2) highlighted");
    // Where the click goes, the new table is placed.
    host::render::Point target;
    hands.Then([&] {
        const wxSize size = View().GetClientSize();
        const wxPoint device(size.x / 5, size.y / 5);
        target = View().ToDrawing(device);
        hands.sim.MouseMove(View().ClientToScreen(device));
    });
    hands.Then([&] { hands.sim.MouseClick(); });
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        const AcDbObjectId last = host::LastEntity(host::WorkingDatabase());
        const auto* table = AcDbTable::cast(host::ObjectOf(last));
        ASSERT_NE(table, nullptr);
        EXPECT_NE(last, Table());
        const double pixel = 1 / View().ViewState().pixelsPerUnit;
        EXPECT_NEAR(table->position().x, target.x, pixel);
        EXPECT_NEAR(table->position().y, target.y, pixel);
        EXPECT_EQ(table->numColumns(), 2u);
    });
    EXPECT_TRUE(Run(hands));
}

TEST_F(MainWindowTest, AMenuItemOfTheSampleGroupRunsItsMacroAndTheSelectionTakesClicks) {
    const std::string menu = (m_dir / "morvane.menu").string();
    fs::copy_file(testsupport::SourceDir() / "sample" / "morvane.menu", menu);
    std::string error;
    ASSERT_TRUE(host::LoadMenuGroup(menu, error)) << error;
    const std::string item = "Morvane > Morvane > Tables > List entities";
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    hands.WaitFor([&] { return m_window->MenuItemId(item) >= 0; }, "the group's menu");
    hands.Then([&] {
        // The group's menu and toolbar are in the window.
        EXPECT_NE(m_window->GetMenuBar()->FindMenu("Morvane"), wxNOT_FOUND);
        ASSERT_NE(m_window->GroupToolbar(0), nullptr);
        EXPECT_EQ(m_window->GroupToolbar(0)->GetToolsCount(), 2u);
        wxCommandEvent choose(wxEVT_MENU, m_window->MenuItemId(item));
        m_window->GetEventHandler()->ProcessEvent(choose);
    });
    WaitForPrompt(hands, m_window, "Select objects");
    hands.Then([&] { MoveTo(hands, CellCentre(1, 0)); });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.WaitFor([&] { return m_output.find("1 found") != std::string::npos; }, "1 found");
    // A window from left to right around nothing finds nothing; then Enter ends the selection.
    hands.Then([&] { hands.sim.MouseMove(View().ClientToScreen(wxPoint(5, 5))); });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.Then([&] { hands.sim.MouseMove(View().ClientToScreen(wxPoint(15, 12))); });
    hands.Then([&] { hands.sim.MouseClick(); });
    hands.WaitFor([&] { return m_output.find("\n0 found") != std::string::npos; }, "0 found");
    hands.Then([&] { hands.sim.MouseClick(wxMOUSE_BTN_RIGHT); });
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        EXPECT_NE(m_output.find("Command: _LIST"), std::string::npos) << m_output;
        EXPECT_NE(m_output.find("Select objects: W "), std::string::npos) << m_output;
        EXPECT_NE(m_output.find(HandleOf(Table())), std::string::npos) << m_output;
        EXPECT_NE(OutputPane().find("1 found"), std::string::npos) << "the output pane shows it";
    });
    EXPECT_TRUE(Run(hands));
}

TEST_F(MainWindowTest, TabCompletesCommandNamesAndUpRecallsTheLastLine) {
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] { m_window->InputLine()->SetFocus(); });
    hands.Then([&] { hands.sim.Text("hel"); });
    hands.WaitFor([&] { return Utf8(m_window->InputLine()->GetValue()) == "hel"; }, "typing");
    hands.Then([&] { hands.sim.Char(WXK_TAB); });
    hands.WaitFor([&] { return Utf8(m_window->InputLine()->GetValue()) == "HELP"; }, "completion");
    hands.Then([&] { hands.sim.Char(WXK_RETURN); });
    hands.WaitFor([&] { return m_output.find("lists the commands") != std::string::npos; },
                  "HELP's list");
    WaitForPrompt(hands, m_window, "Command:");
    // Two names start with SAVE: the line takes what they share and the pane lists both.
    hands.Then([&] { hands.sim.Text("sav"); });
    hands.Then([&] { hands.sim.Char(WXK_TAB); });
    hands.WaitFor([&] { return Utf8(m_window->InputLine()->GetValue()) == "SAVE"; }, "SAVE");
    hands.Then([&] {
        EXPECT_NE(m_output.find("SAVE  SAVEAS"), std::string::npos) << m_output;
        m_window->InputLine()->Clear();
    });
    hands.Then([&] { hands.sim.Char(WXK_UP); });
    hands.WaitFor([&] { return Utf8(m_window->InputLine()->GetValue()) == "HELP"; }, "history");
    hands.Then([&] { hands.sim.Char(WXK_DOWN); });
    hands.WaitFor([&] { return m_window->InputLine()->GetValue().empty(); },
                  "back to the typed text");
    EXPECT_TRUE(Run(hands));
}

TEST_F(MainWindowTest, EscCancelsThePromptOfARunningCommand) {
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    TypeLine(hands, "TABLEEDIT");
    WaitForPrompt(hands, m_window, "Select table cell");
    hands.Then([&] { hands.sim.Char(WXK_ESCAPE); });
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        EXPECT_NE(m_output.find("Select table cell: *Cancel*"), std::string::npos) << m_output;
        EXPECT_NE(OutputPane().find("TABLEEDIT: cancelled"), std::string::npos) << OutputPane();
        EXPECT_FALSE(host::CurrentDocument()->Modified());
    });
    // The cancelled command counts as a failed line, as Ctrl-C at the console does.
    EXPECT_FALSE(Run(hands));
}

// Quit with a modified drawing asks whether to save it: Yes saves and ends, No ends without
// saving, Cancel goes on with the session.
TEST_F(MainWindowTest, QuitAsksToSaveAModifiedDrawing) {
    struct Case {
        std::vector<int> answers;
        bool tableLeftInFile;
    };
    const Case cases[] = {{{IDYES}, false}, {{IDNO}, true}, {{IDCANCEL, IDYES}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("first answer " + std::to_string(c.answers.front()));
        host::Documents()->CloseAll();
        fs::remove(m_drawing);
        fs::copy_file(testsupport::SourceDir() / "sample" / "equipment.dxf", m_drawing);
        std::string error;
        host::Documents()->Open(host::LoadDrawing(m_drawing, error), m_drawing);
        host::RecordingUiSink sink;
        sink.answers = c.answers;
        host::UiSink* previous = host::SetUiSink(&sink);
        Hands hands;
        WaitForPrompt(hands, m_window, "Command:");
        TypeLine(hands, "ERASE");
        WaitForPrompt(hands, m_window, "Select objects");
        hands.Then([&] { MoveTo(hands, CellCentre(0, 0)); });
        hands.Then([&] { hands.sim.MouseClick(); });
        hands.Then([&] { hands.sim.MouseClick(wxMOUSE_BTN_RIGHT); });
        WaitForPrompt(hands, m_window, "Command:");
        hands.Then([&] {
            EXPECT_TRUE(Table().isNull()) << "the table is erased";
            EXPECT_NE(m_window->Title().find(" *"), std::string::npos) << m_window->Title();
            wxCommandEvent quit(wxEVT_MENU, wxID_EXIT);
            m_window->GetEventHandler()->ProcessEvent(quit);
        });
        if (c.answers.front() == IDCANCEL) {
            // Still at the prompt; the second Quit saves.
            WaitForPrompt(hands, m_window, "Command:");
            hands.Then([&] {
                EXPECT_EQ(sink.shown.size(), 1u);
                wxCommandEvent quit(wxEVT_MENU, wxID_EXIT);
                m_window->GetEventHandler()->ProcessEvent(quit);
            });
        }
        hands.Start(30);
        host::SetQuitRequested(false);
        EXPECT_TRUE(host::RunCommandLoop());
        hands.Stop();
        EXPECT_TRUE(hands.Done());
        host::SetUiSink(previous);
        ASSERT_EQ(sink.shown.size(), c.answers.size());
        EXPECT_EQ(sink.shown.front().text, "Save changes to equipment.dxf?");
        std::string error2;
        const std::unique_ptr<AcDbDatabase> saved = host::LoadDrawing(m_drawing, error2);
        ASSERT_TRUE(saved) << error2;
        bool table = false;
        for (const AcDbObjectId& id : host::EntitiesOf(saved.get(), saved->modelSpaceId()))
            table = table || AcDbTable::cast(host::ObjectOf(id)) != nullptr;
        EXPECT_EQ(table, c.tableLeftInFile);
        host::SetQuitRequested(false);
    }
}

TEST_F(MainWindowTest, TheFileMenuMakesANewDrawingAndReopensARecentOne) {
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        // The drawing opened is the newest recent file, in the settings store and the menu.
        const std::vector<std::string> recent = MainWindow::RecentFiles();
        ASSERT_FALSE(recent.empty());
        EXPECT_EQ(recent.front(), m_drawing);
        wxMenuItem* first = m_window->GetMenuBar()->FindItem(wxID_HIGHEST + 10);
        ASSERT_NE(first, nullptr);
        EXPECT_NE(Utf8(first->GetItemLabelText()).find(m_drawing), std::string::npos);
        wxCommandEvent create(wxEVT_MENU, wxID_NEW);
        m_window->GetEventHandler()->ProcessEvent(create);
    });
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        EXPECT_EQ(host::Documents()->documentCount(), 2);
        EXPECT_NE(m_window->Title().find("Drawing1.dxf"), std::string::npos) << m_window->Title();
        wxCommandEvent reopen(wxEVT_MENU, wxID_HIGHEST + 10);
        m_window->GetEventHandler()->ProcessEvent(reopen);
    });
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        EXPECT_NE(m_window->Title().find("equipment.dxf"), std::string::npos) << m_window->Title();
        EXPECT_NE(m_output.find("is open already; it is now current"), std::string::npos)
            << m_output;
    });
    EXPECT_TRUE(Run(hands));
}

// The drag of a set to its insertion point (as the module places a new table): the set
// follows the cursor, moved as the caller's sample function says, until the click.
int g_dragResult = 0;
ads_point g_dragPoint = {0, 0, 0};

int ShiftedSample(ads_point point, ads_matrix matrix) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = r == c ? 1.0 : 0.0;
    matrix[0][3] = point[0] - 10;  // the set's base point is 10 units right of its origin
    matrix[1][3] = point[1];
    matrix[2][3] = point[2];
    return RTNORM;
}

void DragTheTable() {
    AcDbObjectId table;
    for (const AcDbObjectId& id :
         host::EntitiesOf(host::WorkingDatabase(), host::WorkingDatabase()->modelSpaceId()))
        if (AcDbTable::cast(host::ObjectOf(id)))
            table = id;
    ads_name entity, ss = {0, 0}, none = {0, 0};
    acdbGetAdsName(entity, table);
    acedSSAdd(entity, none, ss);
    g_dragResult = acedDragGen(ss, "\nSpecify insertion point: ", 0, ShiftedSample, g_dragPoint);
    acedSSFree(ss);
}

TEST_F(MainWindowTest, ADraggedSetFollowsTheCursorUntilTheClick) {
    ASSERT_EQ(acedRegCmds->addCommand("WXMAIN", "DRAGTEST", "DRAGTEST", 0, &DragTheTable, nullptr,
                                      -1, nullptr, nullptr),
              Acad::eOk);
    struct Unregister {
        ~Unregister() { acedRegCmds->removeGroup("WXMAIN"); }
    } unregister;
    g_dragResult = 0;
    Hands hands;
    WaitForPrompt(hands, m_window, "Command:");
    TypeLine(hands, "DRAGTEST");
    WaitForPrompt(hands, m_window, "Specify insertion point");
    const wxPoint device(200, 150);
    host::render::Point cursor;
    hands.Then([&] {
        cursor = View().ToDrawing(device);
        hands.sim.MouseMove(View().ClientToScreen(device));
    });
    hands.WaitFor([&] { return View().LastOptions().preview != nullptr; }, "the preview");
    hands.Then([&] {
        const host::render::Options& shown = View().LastOptions();
        EXPECT_EQ(shown.preview, AcDbEntity::cast(host::ObjectOf(Table())));
        const double pixel = 1 / View().ViewState().pixelsPerUnit;
        EXPECT_NEAR(shown.previewOffset.x, cursor.x - 10, pixel);
        EXPECT_NEAR(shown.previewOffset.y, cursor.y, pixel);
        // The cursor's coordinates are shown at a point prompt.
        EXPECT_FALSE(m_window->StatusCoordinates().empty());
    });
    hands.Then([&] { hands.sim.MouseClick(); });
    WaitForPrompt(hands, m_window, "Command:");
    hands.Then([&] {
        EXPECT_EQ(g_dragResult, RTNORM);
        const double pixel = 1 / View().ViewState().pixelsPerUnit;
        EXPECT_NEAR(g_dragPoint[0], cursor.x, pixel);
        EXPECT_NEAR(g_dragPoint[1], cursor.y, pixel);
        EXPECT_EQ(View().LastOptions().preview, nullptr) << "no preview after the drag";
    });
    EXPECT_TRUE(Run(hands));
}

// Completion and history without a window: what the command line does with them.
TEST(CommandLineEditing, CompletesNamesToWhatTheMatchesShare) {
    const std::vector<std::string> names = {"HELP",   "LIST",           "SAVE",
                                            "SAVEAS", "DbTable_Create", "DbTable_Update"};
    struct Case {
        const char* typed;
        const char* text;
        std::size_t matches;
    };
    const Case cases[] = {
        {"he", "HELP", 1},      {"sav", "SAVE", 2},
        {"_li", "_LIST", 1},    {"dbtable_c", "DbTable_Create", 1},
        {"dbt", "DbTable_", 2}, {"SAVEAS", "SAVEAS", 1},
        {"xyz", "xyz", 0},      {"", "", 6},
    };
    for (const Case& c : cases) {
        const host::ui::wx::Completion completion =
            host::ui::wx::CompleteCommandName(c.typed, names);
        EXPECT_EQ(completion.text, c.text) << c.typed;
        EXPECT_EQ(completion.matches.size(), c.matches) << c.typed;
    }
}

TEST(CommandLineEditing, HistoryWalksBackAndForthAndKeepsTheTypedText) {
    host::ui::wx::CommandHistory history;
    history.Add("LIST");
    history.Add("SAVE");
    history.Add("SAVE");  // a repeat is kept once
    history.Add("  ");    // blanks are not kept
    EXPECT_EQ(history.Lines().size(), 2u);
    EXPECT_EQ(history.Older("LI"), "SAVE");
    EXPECT_EQ(history.Older(""), "LIST");
    EXPECT_EQ(history.Older(""), "LIST");  // stays at the oldest
    EXPECT_EQ(history.Newer(), "SAVE");
    EXPECT_EQ(history.Newer(), "LI");  // the text being typed comes back
}

// A script with --window runs exactly as without a window.
TEST(MainWindowScript, AScriptGivesTheSameTranscriptWithTheWindowShown) {
    const fs::path dir = fs::path(testing::TempDir()) / "main_window_script";
    testsupport::MakeFreshFolder(dir);
    fs::copy_file(testsupport::SourceDir() / "sample" / "equipment.dxf", dir / "equipment.dxf");
    testsupport::WriteFile(dir / "run.scr", "LIST\nALL\n\nTABLEEXPORT\nALL\n\n-\n");
    const auto headless = testsupport::RunHost({"--script", "run.scr", "equipment.dxf"}, dir);
    const auto windowed = testsupport::RunHost(
        {"--ui", "gui", "--window", "--script", "run.scr", "equipment.dxf"}, dir);
    ASSERT_EQ(headless.status, 0) << headless.Describe() << headless.err;
    EXPECT_EQ(windowed.status, 0) << windowed.Describe() << windowed.err;
    EXPECT_EQ(windowed.out, headless.out);
    const auto usage = testsupport::RunHost({"--window", "--script", "run.scr"}, dir);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("--window needs --ui gui"), std::string::npos) << usage.err;
}

}  // namespace
