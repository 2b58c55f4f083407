// The database browser in both builds: what its buttons do where the script cases cannot
// reach (states in which the dialog disables a button), widths as typed, and the link it
// writes for tables, views and composed queries.
#include <gtest/gtest.h>

#include "dialogs/DbDialog.h"
#include "dialogs/probed_input.h"
#include "host/base/report.h"
#include "link/DbRecords.h"
#include "link/TableLink.h"
#include "module_fixture.h"

namespace {

class TestDbDialog : public CDbDialog {
public:
    using CDbDialog::OnCreateTable;
    using CDbDialog::OnNewQuery;
};

class BrowserTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        host::SetErrorCapture(&m_errors);
        RegisterConnectTemplates();
        ASSERT_TRUE(g_dbList.AddDatabase(Txt("SQLite3 ODBC Driver"), Txt(QUARVEL_SAMPLE_DB),
                                         CString(), CString()));
    }
    void TearDown() override {
        FreeDatabases();
        host::SetErrorCapture(nullptr);
        DrawingTest::TearDown();
    }

    INT_PTR Run(TestDbDialog& dialog, std::vector<std::string> lines,
                std::vector<std::function<void()>> probes = {}) {
        m_input = ProbedInput();
        m_input.lines = std::move(lines);
        m_input.probes = std::move(probes);
        return RunModuleDialog(dialog, m_input);
    }

    // The sample database's node text (its path, as opened).
    static std::string Db() { return QUARVEL_SAMPLE_DB; }

    ProbedInput m_input;
    std::string m_errors;
};

TEST_F(BrowserTest, ButtonsReachedInStatesTheirStateExcludesSayWhy) {
    TestDbDialog dialog;
    HTREEITEM hOrphan = nullptr, hOrphanChild = nullptr;
    std::vector<std::function<void()>> probes = {
        // A database node selected: building asks for a table.
        [&] { dialog.OnCreateTable(); },
        // A table node selected: a query needs a database.
        [&] { dialog.OnNewQuery(); },
        // Nodes without records (never made by the browser itself).
        [&] {
            hOrphan = dialog.m_tree.InsertItem(_T("orphan"), 0, 0);
            hOrphanChild = dialog.m_tree.InsertItem(_T("child"), 1, 1, hOrphan);
            dialog.m_tree.SelectItem(hOrphan);
            dialog.OnNewQuery();
            dialog.m_tree.SelectItem(hOrphanChild);
            dialog.OnCreateTable();
        },
    };
    EXPECT_EQ(Run(dialog,
                  {"@pick 100 " + Db(), "!probe", "@pick 100 " + Db() + " > Parts", "!probe",
                   "!probe", "@close"},
                  std::move(probes)),
              IDCANCEL);
    const char* messages[] = {
        "[Morvane Quarvel] Please select a table or query first.",
        "[Morvane Quarvel] Please select a database.",
        "[Morvane Quarvel] Please select a valid database.",
        "[Morvane Quarvel] Invalid table or query.",
    };
    std::size_t at = 0;
    for (const char* message : messages) {
        at = m_output.find(message, at);
        EXPECT_NE(at, std::string::npos) << message << "\n" << m_output;
    }
    // None of them built anything.
    EXPECT_EQ(m_errors, "");
}

TEST_F(BrowserTest, WidthsAreReadAsDecimalNumbersUpToTheFirstOtherCharacter) {
    struct Case {
        const char* typed;
        double width;
    };
    const Case cases[] = {{"25mm", 25}, {"letters", 0}, {"  12.5e1x", 125}, {"-3", -3},
                          {".5", 0.5},  {"inf", 0},     {"nan", 0},         {"1e400", 0},
                          {"0x10", 0},  {"7.", 7}};
    std::vector<std::string> lines = {"@pick 100 " + Db() + " > Equipment", "@click 136"};
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        lines.push_back("@dblclick 142 0," + std::to_string(i));
        lines.push_back(std::string("@set 3456 ") + cases[i].typed);
        lines.push_back("@key 3456 Enter");
    }
    lines.insert(lines.end(), {"@ok", "!probe", "@close"});
    TestDbDialog dialog;
    std::vector<double> widths;
    Run(dialog, lines, {[&] { widths = dialog.m_arrWidths; }});
    ASSERT_EQ(widths.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(widths[i], cases[i].width) << cases[i].typed;
}

TEST_F(BrowserTest, TheLinkNamesTablesAndViewsAndKeepsAQueryBySql) {
    struct Case {
        std::vector<std::string> lines;
        const char* table;
        const char* sql;
    };
    const std::string db = Db();
    const Case cases[] = {
        {{"@pick 100 " + db + " > Parts"}, "Parts", ""},
        {{"@pick 100 " + db + " > EquipmentParts"}, "EquipmentParts", ""},
        // A query named like a table is linked by its SQL alone.
        {{"@pick 100 " + db, "@click 106", "@set 126 Parts", "@set 123 SELECT Tag FROM Equipment",
          "@ok"},
         "",
         "SELECT Tag FROM Equipment"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        TestDbDialog dialog;
        std::vector<std::string> lines = c.lines;
        lines.insert(lines.end(), {"@click 105", "0,0"});
        ASSERT_EQ(Run(dialog, lines), IDOK);
        ads_name last;
        ASSERT_EQ(acdbEntLast(last), RTNORM);
        AcDbObjectId id;
        ASSERT_EQ(acdbGetObjectId(id, last), Acad::eOk);
        TableLink link;
        ASSERT_TRUE(link.ReadLinkById(id));
        EXPECT_EQ(qv::ToUtf8(link.m_strTable.View()), c.table);
        EXPECT_EQ(qv::ToUtf8(link.m_strSQL.View()), c.sql);
        EXPECT_EQ(qv::ToUtf8(link.m_strDatabase.View()), db);
    }
}

TEST_F(BrowserTest, AResultWithoutRowsBuildsNothingWithoutItsHeading) {
    TestDbDialog dialog;
    ASSERT_EQ(Run(dialog,
                  {"@pick 100 " + Db(), "@click 106", "@set 126 None",
                   "@set 123 SELECT * FROM Equipment WHERE 0", "@ok", "@click 128", "@click 105"}),
              IDOK);
    EXPECT_NE(m_output.find("The selection has no rows to build a table from; nothing was built."),
              std::string::npos)
        << m_output;
    ads_name last;
    EXPECT_NE(acdbEntLast(last), RTNORM);
}

}  // namespace
