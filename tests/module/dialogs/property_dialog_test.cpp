// The table properties dialog in both builds: which connect string it shows and hands back,
// the table list of the link's database, and the path the browse button gives.
#include <gtest/gtest.h>

#include "dialogs/DbPropertyDialog.h"
#include "dialogs/probed_input.h"
#include "host/base/report.h"
#include "link/DbRecords.h"
#include "module_fixture.h"

namespace {

class PropertyDialogTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        host::SetErrorCapture(&m_errors);
        RegisterConnectTemplates();
    }
    void TearDown() override {
        FreeDatabases();
        host::SetErrorCapture(nullptr);
        DrawingTest::TearDown();
    }

    INT_PTR Run(CDbPropertyDialog& dialog, std::vector<std::string> lines,
                std::vector<std::function<void()>> probes = {}) {
        m_input = ProbedInput();
        m_input.lines = std::move(lines);
        m_input.probes = std::move(probes);
        return RunModuleDialog(dialog, m_input);
    }

    static CDbPropertyDialog Dialog(const char* driver, const char* table = "Equipment") {
        return CDbPropertyDialog(Txt(driver), Txt(QUARVEL_SAMPLE_DB), Txt(table), CString(),
                                 CString(), CString());
    }

    ProbedInput m_input;
    std::string m_errors;
};

TEST_F(PropertyDialogTest, TheLinksConnectStringIsKeptUnlessAnotherEntryIsChosen) {
    struct Case {
        const char* linkDriver;
        std::vector<std::string> lines;  // before OK
        const char* shown;               // the list's selection at the start
        const char* returned;
    };
    const Case cases[] = {
        {"SQLite3 ODBC Driver", {}, "SQLite3 ODBC Driver", "SQLite3 ODBC Driver"},
        // Found by the list's prefix search, ignoring case; the link's own text is kept.
        {"sqlite3 odbc driver", {}, "SQLite3 ODBC Driver", "sqlite3 odbc driver"},
        {"SQLite3", {}, "SQLite3 ODBC Driver", "SQLite3"},
        // A driver the list does not hold (one of another machine): the first entry is shown.
        {"Nowhere Installed ODBC Driver",
         {},
         "Microsoft Access Driver (*.mdb)",
         "Nowhere Installed ODBC Driver"},
        // Another entry chosen by the user is handed back.
        {"SQLite3 ODBC Driver",
         {"@pick 107 Microsoft Access Driver (*.mdb)"},
         "SQLite3 ODBC Driver",
         "Microsoft Access Driver (*.mdb)"},
        {"Nowhere Installed ODBC Driver",
         {"@pick 107 SQLite3 ODBC Driver"},
         "Microsoft Access Driver (*.mdb)",
         "SQLite3 ODBC Driver"},
    };
    for (const Case& c : cases) {
        CDbPropertyDialog dialog = Dialog(c.linkDriver);
        CString shown;
        std::vector<std::string> lines = {"!probe"};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.push_back("@ok");
        const INT_PTR result = Run(dialog, lines, {[&] {
                                       const int index = dialog.m_comboConnect.GetCurSel();
                                       if (index >= 0)
                                           dialog.m_comboConnect.GetLBText(index, shown);
                                   }});
        EXPECT_EQ(result, IDOK) << c.linkDriver << m_output;
        EXPECT_EQ(shown, Txt(c.shown)) << c.linkDriver;
        EXPECT_EQ(dialog.m_strConnectString, Txt(c.returned)) << c.linkDriver;
    }
}

TEST_F(PropertyDialogTest, TheTableListHoldsTheTablesAndViewsOfTheOpenDatabase) {
    // Not open in the module: the list is empty, the field shows the link's table.
    {
        CDbPropertyDialog dialog = Dialog("SQLite3 ODBC Driver");
        int count = -1;
        CString text;
        Run(dialog, {"!probe", "@cancel"}, {[&] {
                count = dialog.m_comboTable.GetCount();
                dialog.m_comboTable.GetWindowText(text);
            }});
        EXPECT_EQ(count, 0);
        EXPECT_EQ(text, Txt("Equipment"));
    }
    ASSERT_TRUE(g_dbList.AddDatabase(Txt("SQLite3 ODBC Driver"), Txt(QUARVEL_SAMPLE_DB), CString(),
                                     CString()));
    CDbPropertyDialog dialog = Dialog("SQLite3 ODBC Driver", "NotInTheList");
    std::vector<CString> entries;
    CString text;
    Run(dialog, {"!probe", "@cancel"}, {[&] {
            for (int i = 0; i < dialog.m_comboTable.GetCount(); ++i) {
                CString entry;
                dialog.m_comboTable.GetLBText(i, entry);
                entries.push_back(entry);
            }
            dialog.m_comboTable.GetWindowText(text);
        }});
    // Sorted by the list.
    EXPECT_EQ(entries,
              (std::vector<CString>{Txt("Equipment"), Txt("EquipmentParts"), Txt("Parts")}));
    EXPECT_EQ(text, Txt("NotInTheList"));
}

TEST_F(PropertyDialogTest, BrowseGivesTheFullPathAndCancelKeepsTheTypedOne) {
    CDbPropertyDialog dialog = Dialog("SQLite3 ODBC Driver");
    CString afterCancel;
    EXPECT_EQ(Run(dialog,
                  {"@set 108 typed.sqlite", "@click 109", "*Cancel*", "!probe", "@click 109",
                   QUARVEL_SAMPLE_DB, "@ok"},
                  {[&] { afterCancel = dialog.m_strDatabase; }}),
              IDOK);
    EXPECT_EQ(afterCancel, Txt("typed.sqlite"));
    EXPECT_EQ(dialog.m_strDatabase, Txt(QUARVEL_SAMPLE_DB));
}

}  // namespace
