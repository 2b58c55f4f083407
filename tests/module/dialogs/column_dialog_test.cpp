// The column heading and width dialog and its editable list, driven as a user would through
// the headless toolkit's dialog actions, in both builds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "dialogs/CustomizeHeaderDialog.h"
#include "dialogs/probed_input.h"
#include "host/base/report.h"
#include "host/ui/dialogs/toolkit.h"
#include "host/ui/input_source.h"
#include "host_run.h"
#include "module_fixture.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

// The dialog with its controls open to the test.
class TestColumnDialog : public CCustomizeHeaderDialog {
public:
    using CCustomizeHeaderDialog::CCustomizeHeaderDialog;
    BOOL m_bFormulaEntry = FALSE;

protected:
    BOOL OnInitDialog() override {
        const BOOL result = CCustomizeHeaderDialog::OnInitDialog();
        if (m_bFormulaEntry)
            m_list.SetFormulaEntry(TRUE);
        return result;
    }
};

class ColumnDialogTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        host::SetErrorCapture(&m_errors);
        host::ui::CurrentToolkit().ClearClipboard();
        m_folder = fs::path(testing::TempDir()) / ("column_dialog_" + std::to_string(getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        m_dialog.m_nMode = CCustomizeHeaderDialog::modeHeading;
        for (const char* heading : {"Name", "Price", "Stock"})
            m_dialog.m_arrHeadings.Add(Txt(heading));
    }
    void TearDown() override {
        fs::remove_all(m_folder);
        host::SetErrorCapture(nullptr);
        DrawingTest::TearDown();
    }

    INT_PTR Run(std::vector<std::string> lines) {
        m_input.lines = std::move(lines);
        return RunModuleDialog(m_dialog, m_input);
    }

    std::vector<std::string> Result() const {
        std::vector<std::string> texts;
        for (int i = 0; i < m_dialog.m_arrResult.GetSize(); ++i)
            texts.push_back(qv::ToUtf8(m_dialog.m_arrResult[i].View()));
        return texts;
    }

    std::string Path(const char* name) const { return (m_folder / name).string(); }

    TestColumnDialog m_dialog;
    ProbedInput m_input;
    std::string m_errors;
    fs::path m_folder;
};

TEST_F(ColumnDialogTest, TitleAndInstructionFollowTheMode) {
    struct Case {
        int mode;
        const char* title;
        const char* instruction;
    };
    const Case cases[] = {
        {0, "Customize Column Heading",
         "Double click on the first row to modify the column heading."},
        {1, "Customize Column Width", "Double click on the first row to modify the column width."},
        // Any other mode keeps the template's texts.
        {7, "Customize Column Width", "Double click on the first row to modify the column width."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TestColumnDialog dialog;
        dialog.m_nMode = c.mode;
        dialog.m_arrHeadings.Add(Txt("A"));
        m_input = ProbedInput();
        m_input.probes.push_back([&] {
            CString title, instruction;
            dialog.GetWindowText(title);
            dialog.GetDlgItemText(143, instruction);
            EXPECT_EQ(qv::ToUtf8(title.View()), c.title);
            EXPECT_EQ(qv::ToUtf8(instruction.View()), c.instruction);
        });
        m_input.lines = {"!probe", "@cancel"};
        EXPECT_EQ(RunModuleDialog(dialog, m_input), IDCANCEL);
    }
}

TEST_F(ColumnDialogTest, ConfirmingWithoutEditingGivesOneEmptyTextPerColumn) {
    ASSERT_EQ(Run({"@ok"}), IDOK);
    EXPECT_EQ(Result(), (std::vector<std::string>{"", "", ""}));
}

TEST_F(ColumnDialogTest, CancelGivesNoResult) {
    ASSERT_EQ(Run({"@dblclick 142 0,0", "@set 3456 Tag", "@key 3456 Enter", "@cancel"}), IDCANCEL);
    EXPECT_TRUE(Result().empty());
}

TEST_F(ColumnDialogTest, EnterAndFocusLossWriteTheCellEscDropsTheText) {
    ASSERT_EQ(Run({// Enter writes and hides the box.
                   "@dblclick 142 0,1", "@set 3456 Price (EUR)", "@key 3456 Enter",
                   // Leaving the box for another control writes too.
                   "@dblclick 142 0,0", "@set 3456 Tag", "@focus 136",
                   // Esc drops the typed text, and the next focus change writes nothing.
                   "@dblclick 142 0,2", "@set 3456 Stock", "@key 3456 Esc", "@focus 137",
                   // Editing a written cell starts from its text; Esc keeps it.
                   "@dblclick 142 0,1", "!probe", "@set 3456 other", "@key 3456 Esc", "@click 1"}),
              IDOK);
    EXPECT_EQ(Result(), (std::vector<std::string>{"Tag", "Price (EUR)", ""}));
}

TEST_F(ColumnDialogTest, ClickingOkWhileEditingKeepsTheTypedText) {
    ASSERT_EQ(Run({"@dblclick 142 0,2", "@set 3456 Menge", "@click 1"}), IDOK);
    EXPECT_EQ(Result(), (std::vector<std::string>{"", "", "Menge"}));
}

TEST_F(ColumnDialogTest, TheBoxSitsOverTheCellAndGrowsUpToTheListEdge) {
    CRect cell, listClient, before, grown, widest;
    bool shown = false;
    m_input.probes.push_back([&] {
        m_dialog.m_list.GetSubItemRect(0, 1, LVIR_LABEL, cell);
        m_dialog.m_list.GetClientRect(&listClient);
        m_dialog.m_list.m_edit.GetWindowRect(&before);
        m_dialog.m_list.ScreenToClient(&before);
        shown = m_dialog.m_list.m_edit.IsWindowVisible() != FALSE;
    });
    m_input.probes.push_back([&] {
        m_dialog.m_list.m_edit.GetWindowRect(&grown);
        m_dialog.m_list.ScreenToClient(&grown);
    });
    m_input.probes.push_back([&] {
        m_dialog.m_list.m_edit.GetWindowRect(&widest);
        m_dialog.m_list.ScreenToClient(&widest);
    });
    ASSERT_EQ(Run({"@dblclick 142 0,1", "!probe", "@set 3456 a longer text than the cell", "!probe",
                   "@set 3456 " + std::string(400, 'x'), "!probe", "@key 3456 Esc", "@ok"}),
              IDOK);
    EXPECT_TRUE(shown);
    EXPECT_EQ(before, cell);
    EXPECT_GT(grown.Width(), cell.Width());
    EXPECT_EQ(grown.left, cell.left);
    EXPECT_LT(grown.right, listClient.right);
    // A text wider than the list leaves the box as it was: it never crosses the list's edge.
    EXPECT_EQ(widest, grown);
}

TEST_F(ColumnDialogTest, DoubleClicksOutsideTheRowOpenNoBox) {
    bool created = true;
    m_input.probes.push_back([&] { created = m_dialog.m_list.m_edit.m_hWnd != nullptr; });
    ASSERT_EQ(Run({"@dblclick 142 3,0", "!probe", "@ok"}), IDOK);
    EXPECT_FALSE(created);
}

TEST_F(ColumnDialogTest, ContextMenuGreysWhatCannotBeDone) {
    ASSERT_EQ(
        Run({"@dblclick 142 0,0", "@menu 3456", "@set 3456 abc", "@select 3456 0 3", "@menu 3456"}),
        IDCANCEL);
    // Nothing selected, nothing to undo, an empty clipboard: all greyed; six entries (the
    // dialog switches the formula entry off).
    const std::string first = m_output.substr(0, m_output.find("@set"));
    EXPECT_NE(first.find("199  &Undo  (greyed)"), std::string::npos) << first;
    EXPECT_NE(first.find("769  &Copy  (greyed)"), std::string::npos);
    EXPECT_NE(first.find("768  Cu&t  (greyed)"), std::string::npos);
    EXPECT_NE(first.find("771  &Delete  (greyed)"), std::string::npos);
    EXPECT_NE(first.find("770  &Paste  (greyed)"), std::string::npos);
    EXPECT_EQ(first.find("Insert Formula"), std::string::npos);
    // With a selection, copy, cut and delete are offered; undo too, after typing.
    const std::string second = m_output.substr(m_output.find("@select"));
    EXPECT_NE(second.find("769  &Copy\n"), std::string::npos) << second;
    EXPECT_NE(second.find("768  Cu&t\n"), std::string::npos);
    EXPECT_NE(second.find("199  &Undo\n"), std::string::npos);
    EXPECT_NE(second.find("770  &Paste  (greyed)"), std::string::npos);
}

TEST_F(ColumnDialogTest, ClipboardCommandsOfTheMenuEditTheBox) {
    ASSERT_EQ(
        Run({"@dblclick 142 0,0", "@set 3456 Unit price", "@select 3456 0 5", "@menu 3456 Cut",
             "@select 3456 -1 -1", "@key 3456 End", "@menu 3456 &Paste", "@key 3456 Enter",
             "@dblclick 142 0,1", "@menu 3456 770", "@key 3456 Enter", "@ok"}),
        IDOK);
    EXPECT_EQ(Result(), (std::vector<std::string>{"priceUnit ", "Unit ", ""}));
}

TEST_F(ColumnDialogTest, GreyedOrMissingMenuEntriesAreScriptErrors) {
    const std::vector<std::string> lines[] = {
        {"@dblclick 142 0,0", "@menu 3456 Copy"},
        {"@dblclick 142 0,0", "@menu 3456 Insert Formula"},
        {"@menu 137 Copy"},
    };
    const char* expected[] = {"is greyed", "has no entry", "showed no context menu"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        m_errors.clear();
        m_input = ProbedInput();
        TestColumnDialog dialog;
        dialog.m_arrHeadings.Add(Txt("A"));
        m_input.lines = lines[i];
        EXPECT_EQ(RunModuleDialog(dialog, m_input), IDCANCEL);
        EXPECT_NE(m_errors.find(expected[i]), std::string::npos) << m_errors;
    }
}

TEST_F(ColumnDialogTest, FormulaEntryIsOfferedWhenSwitchedOnAndDoesNothing) {
    m_dialog.m_bFormulaEntry = TRUE;
    ASSERT_EQ(Run({"@dblclick 142 0,0", "@set 3456 x", "@menu 3456 &Insert Formula...",
                   "@key 3456 Enter", "@ok"}),
              IDOK);
    EXPECT_NE(m_output.find("        ----\n  1025  &Insert Formula..."), std::string::npos)
        << m_output;
    EXPECT_EQ(Result()[0], "x");
}

TEST_F(ColumnDialogTest, SavingJoinsTheCellsWithTheCommaRules) {
    struct Case {
        std::vector<std::string> cells;
        const char* file;
    };
    const Case cases[] = {
        {{"Name", "", "Stock"}, "Name,,Stock"},
        {{"A", "", ""}, "A"},
        {{"", "", ""}, ""},
        {{"Größe", "Ø mm", "Menge"}, "Größe,Ø mm,Menge"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TestColumnDialog dialog;
        for (const char* heading : {"Name", "Price", "Stock"})
            dialog.m_arrHeadings.Add(Txt(heading));
        std::vector<std::string> lines;
        for (int i = 0; i < 3; ++i) {
            if (c.cells[i].empty())
                continue;
            lines.push_back("@dblclick 142 0," + std::to_string(i));
            lines.push_back("@set 3456 " + c.cells[i]);
            lines.push_back("@key 3456 Enter");
        }
        // The default extension is added to a name typed without one.
        const std::string name = Path(("columns" + std::to_string(n++)).c_str());
        lines.insert(lines.end(), {"@click 137", name, "@cancel"});
        m_input = ProbedInput();
        m_input.lines = lines;
        RunModuleDialog(dialog, m_input);
        EXPECT_EQ(ReadFile(name + ".txt"), c.file);
    }
    EXPECT_EQ(m_errors, "");
}

TEST_F(ColumnDialogTest, SavingOverAnExistingFileAsksFirst) {
    WriteFile(Path("kept.txt"), "old");
    ASSERT_EQ(
        Run({"@dblclick 142 0,0", "@set 3456 new", "@key 3456 Enter", "@click 137",
             Path("kept.txt"), "No", "*Cancel*", "@click 137", Path("kept.txt"), "Yes", "@ok"}),
        IDOK);
    EXPECT_NE(m_output.find("[Save As] kept.txt already exists.\nDo you want to replace it?"),
              std::string::npos)
        << m_output;
    EXPECT_EQ(ReadFile(Path("kept.txt")), "new");
}

TEST_F(ColumnDialogTest, LoadingFillsCellsFromTheFirstNonBlankLine) {
    struct Case {
        const char* file;
        std::vector<std::string> before;  // cells typed before loading
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"Name,,Stock", {"", "", "kept"}, {"Name", "Stock", "kept"}},
        {"  20, 20, 40, 50  \n", {}, {"20", " 20", " 40"}},
        {"\n   \nA,B,C\nD,E,F\n", {}, {"A", "B", "C"}},
        {"\xEF\xBB\xBFX,Y\r\n", {}, {"X", "Y", ""}},
        {",,,Z,", {}, {"Z", "", ""}},
        {"\n \t \n", {"a", "b", "c"}, {"a", "b", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteFile(Path("load.txt"), c.file);
        TestColumnDialog dialog;
        for (const char* heading : {"Name", "Price", "Stock"})
            dialog.m_arrHeadings.Add(Txt(heading));
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < c.before.size(); ++i) {
            if (c.before[i].empty())
                continue;
            lines.push_back("@dblclick 142 0," + std::to_string(i));
            lines.push_back("@set 3456 " + c.before[i]);
            lines.push_back("@key 3456 Enter");
        }
        lines.insert(lines.end(), {"@click 136", Path("load.txt"), "@ok"});
        m_input = ProbedInput();
        m_input.lines = lines;
        ASSERT_EQ(RunModuleDialog(dialog, m_input), IDOK);
        std::vector<std::string> result;
        for (int i = 0; i < dialog.m_arrResult.GetSize(); ++i)
            result.push_back(qv::ToUtf8(dialog.m_arrResult[i].View()));
        EXPECT_EQ(result, c.after);
    }
}

TEST_F(ColumnDialogTest, AFileThatCannotBeReadIsReportedAndTheDialogStaysOpen) {
    const std::string missing = Path("missing.txt");
    mkfifo(Path("pipe.txt").c_str(), 0600);
    ASSERT_EQ(Run({"@dblclick 142 0,0", "@set 3456 kept", "@key 3456 Enter", "@click 136", missing,
                   "@click 136", Path("pipe.txt"), "@click 136", "*Cancel*", "@ok"}),
              IDOK);
    EXPECT_NE(m_output.find(missing + " was not found."), std::string::npos) << m_output;
    EXPECT_NE(m_output.find("Access to " + Path("pipe.txt") + " was denied."), std::string::npos);
    EXPECT_EQ(Result()[0], "kept");
}

TEST_F(ColumnDialogTest, ShowListsTheRowAndTheBox) {
    ASSERT_EQ(Run({"@dblclick 142 0,1", "@set 3456 Price", "@show"}), IDCANCEL);
    const std::string shown =
        m_output.substr(m_output.find("Dialog \"Customize Column Heading\" ("));
    EXPECT_NE(shown.find("  142  list view  1 row, 3 columns, full-row select, grid lines"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("| Name | Price | Stock |"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" 3456  edit       \"Price\"  focus"), std::string::npos) << shown;
    EXPECT_NE(shown.find("  143  static     \"Double click on the first row to modify the column "
                         "heading.\""),
              std::string::npos);
}

}  // namespace
