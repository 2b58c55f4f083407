// The connection and record-set wrappers on the project's SQLite sample database.
#include <set>

#include "test_support.h"

namespace {

TEST(SampleDatabase, OpensWithTheStoredStringAndReopens) {
    RecordedBoxes boxes;
    CADODatabase db;
    EXPECT_FALSE(db.IsConnected());
    db.m_connectText = SampleConnectText();
    ASSERT_TRUE(db.OpenConnection());
    EXPECT_TRUE(db.IsConnected());
    ASSERT_TRUE(db.OpenConnection(_T(""), _T(""), _T("")));  // open again: closes first
    EXPECT_TRUE(db.IsConnected());
    db.CloseConnection();
    EXPECT_FALSE(db.IsConnected());
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST(SampleDatabase, ListsTablesAndViews) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenSchemaRows(adSchemaTables));
    std::set<std::string> listed;
    rs.ToFirstRow();
    while (!rs.AtEndOfRows()) {
        CString name, type;
        ASSERT_TRUE(rs.ReadCellText(_T("TABLE_NAME"), name));
        ASSERT_TRUE(rs.ReadCellText(_T("TABLE_TYPE"), type));
        listed.insert(Utf8(name) + ":" + Utf8(type));
        rs.ToNextRow();
    }
    EXPECT_EQ(listed,
              (std::set<std::string>{"Equipment:TABLE", "Parts:TABLE", "EquipmentParts:VIEW"}));
}

TEST(SampleDatabase, WalksEveryTypeOfTheScheduleAsText) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("  \t SELECT * FROM `Equipment` ORDER BY [Tag]")));
    EXPECT_EQ(Utf8(rs.GetQueryText()), "SELECT * FROM `Equipment` ORDER BY [Tag]");
    EXPECT_EQ(rs.CountRows(), 8);
    EXPECT_EQ(rs.CountColumns(), 10);
    std::map<std::string, std::map<std::string, std::string>> byTag;
    rs.ToFirstRow();
    while (!rs.AtEndOfRows()) {
        CString tag;
        ASSERT_TRUE(rs.ReadCellText(_T("Tag"), tag));
        for (int c = 0; c < rs.CountColumns(); ++c) {
            ColumnFacts facts;
            ASSERT_TRUE(rs.ReadColumnFacts(c, facts));
            CString text = _T("?");
            EXPECT_TRUE(rs.ReadCellText(c, text));
            byTag[Utf8(tag)][Utf8(CString(facts.szName))] = Utf8(text);
        }
        rs.ToNextRow();
    }
    const auto& tank = byTag["T-401"];
    EXPECT_EQ(tank.at("Description"), "Резервуар питьевой воды");
    EXPECT_EQ(tank.at("Quantity"), "1");
    EXPECT_EQ(tank.at("PowerKW"), "");  // NULL
    EXPECT_EQ(tank.at("Installed"), "2018-01-31 13:05:09");
    EXPECT_EQ(tank.at("InService"), "T");
    EXPECT_EQ(tank.at("SerialNumber"), "9007199254740993");  // beyond a double's exact range
    EXPECT_EQ(tank.at("Notes"), "Объём 5 м³");
    const auto& fan = byTag["F-201"];
    EXPECT_EQ(fan.at("PowerKW"), "2.2");
    EXPECT_EQ(fan.at("Notes"), "");
    EXPECT_EQ(fan.at("SerialNumber"), "12345678901");
    EXPECT_EQ(byTag["C-501"].at("InService"), "F");
    EXPECT_EQ(byTag["C-501"].at("Installed"), "");
    EXPECT_EQ(byTag["L-701"].at("PowerKW"), "0.012");
    char price[32];
    std::snprintf(price, sizeof price, "%f", 1189.90);
    EXPECT_EQ(fan.at("UnitPrice"), price);
}

TEST(SampleDatabase, ColumnFactsDescribeTheColumns) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(
        _T("SELECT Tag, Quantity, UnitPrice, Installed, InService, SerialNumber, "
           "PowerKW AS [A column name that is much longer than sixty-three characters, "
           "cut] FROM Equipment WHERE Tag = 'P-101'")));
    const struct {
        int position;
        const char* name;
        short type;
    } expected[] = {{0, "Tag", adVarWChar},       {1, "Quantity", adInteger},
                    {2, "UnitPrice", adCurrency}, {3, "Installed", adDate},
                    {4, "InService", adBoolean},  {5, "SerialNumber", adBigInt}};
    for (const auto& e : expected) {
        ColumnFacts facts;
        ASSERT_TRUE(rs.ReadColumnFacts(e.position, facts));
        EXPECT_EQ(Utf8(CString(facts.szName)), e.name);
        EXPECT_EQ(facts.nType, e.type) << e.name;
    }
    ColumnFacts facts;
    ASSERT_TRUE(rs.ReadColumnFacts(0, facts));
    EXPECT_EQ(facts.lDefinedSize, 16);
    EXPECT_GT(facts.lActualSize, 0);
    ASSERT_TRUE(rs.ReadColumnFacts(6, facts));
    EXPECT_EQ(CString(facts.szName).GetLength(), 63);
    rs.ToNextRow();
    ASSERT_TRUE(rs.AtEndOfRows());
    ASSERT_TRUE(rs.ReadColumnFacts(0, facts));
    EXPECT_EQ(facts.lActualSize, 0);
}

TEST(SampleDatabase, EmptyResultCountsZeroAndStaysAtTheEnd) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Parts WHERE PartNo < 0")));
    EXPECT_EQ(rs.CountRows(), 0);
    EXPECT_TRUE(rs.AtEndOfRows());
    EXPECT_TRUE(rs.IsQueryOpen());
    rs.CloseQuery();
    EXPECT_FALSE(rs.IsQueryOpen());
}

TEST(SampleDatabase, ReopensThePreviousQueryAndOpensTablesByName) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Parts")));
    ASSERT_TRUE(rs.OpenQuery(_T("")));
    EXPECT_EQ(rs.CountRows(), 6);
    ASSERT_TRUE(rs.OpenQuery(_T("Parts"), CADORecordset::openTable));
    EXPECT_EQ(rs.CountRows(), 6);
    ASSERT_TRUE(rs.OpenQuery(_T("EquipmentParts"), CADORecordset::openStoredProc));
    EXPECT_EQ(rs.CountRows(), 6);
    EXPECT_FALSE(rs.OpenQuery(_T("SELECT 1"), 7));
}

TEST(SampleDatabase, NavigationPassesTheProviderErrorOn) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Parts WHERE PartNo = 1")));
    rs.ToNextRow();
    try {
        rs.ToNextRow();
        FAIL() << "moved past the end";
    } catch (const _com_error& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.Error()), 0x800A0BCDu);
    }
    rs.CloseQuery();
    try {
        rs.CountRows();
        FAIL() << "counted a closed record set";
    } catch (const _com_error& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.Error()), 0x800A0E78u);
    }
}

// The report of a failing operation: the box shows the report, lastErrorText adds the context.
void ExpectReport(const RecordedBoxes& boxes, const CString& lastErrorText,
                  const std::string& context, const std::string& heading,
                  const std::string& codeLine, const std::string& meaning) {
    ASSERT_EQ(boxes.Shown().size(), 1u);
    const std::string box = boxes.Shown()[0].text;
    EXPECT_EQ(boxes.Shown()[0].type & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(box.rfind(heading + " Error\n\tCode = " + codeLine + "\n\tCode meaning = " + meaning +
                            "\n\tSource = ",
                        0),
              0u)
        << box;
    EXPECT_NE(box.find("\n\tDescription = "), std::string::npos);
    EXPECT_EQ(box.back(), '\n');
    EXPECT_EQ(Utf8(lastErrorText), context + "\n" + box);
}

TEST(SampleDatabaseErrors, MissingFileIsReportedWithTheConnectionString) {
    RecordedBoxes boxes;
    CADODatabase db;
    const CString text = _T("Driver={SQLite3 ODBC Driver};Database=/nonexistent/quarvel.sqlite;");
    EXPECT_FALSE(db.OpenConnection(text));
    EXPECT_FALSE(db.IsConnected());
    EXPECT_EQ(db.GetLastErrorCode(), 0x80004005u);
    ExpectReport(boxes, db.GetLastErrorText(), "Connection String = " + Utf8(text), "CADODataBase",
                 "80004005", "Unspecified error");
    EXPECT_FALSE(db.GetLastErrorDescription().IsEmpty());
}

TEST(SampleDatabaseErrors, BadSqlIsReportedWithTheQuery) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    RecordedBoxes boxes;
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.OpenQuery(_T(" SELEC * FROM Equipment")));
    EXPECT_FALSE(rs.IsQueryOpen());
    EXPECT_EQ(rs.GetLastErrorCode(), 0x80040E14u);
    ExpectReport(boxes, rs.GetLastErrorText(), "Query = SELEC * FROM Equipment", "CADORecordset",
                 "80040e14", "IDispatch error #3092");
}

TEST(SampleDatabaseErrors, MissingTableHasItsOwnCode) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    RecordedBoxes boxes;
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.OpenQuery(_T("SELECT * FROM `No Such Table`")));
    EXPECT_EQ(rs.GetLastErrorCode(), 0x80040E37u);
    ExpectReport(boxes, rs.GetLastErrorText(), "Query = SELECT * FROM `No Such Table`",
                 "CADORecordset", "80040e37", "IDispatch error #3127");
}

TEST(SampleDatabaseErrors, UnknownColumnIsReportedAndLeavesTheText) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(SampleConnectText()));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Parts")));
    RecordedBoxes boxes;
    CString text = _T("before");
    EXPECT_FALSE(rs.ReadCellText(_T("NoSuchColumn"), text));
    EXPECT_EQ(Utf8(text), "before");
    EXPECT_FALSE(rs.ReadCellText(99, text));
    EXPECT_EQ(rs.GetLastErrorCode(), 0x800A0CC1u);
    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_NE(boxes.Shown()[0].text.find(
                  "\tCode = 800a0cc1\n\tCode meaning = Unknown error 0x800A0CC1\n"),
              std::string::npos);
}

TEST(SampleDatabaseErrors, ClosedConnectionIsReportedNotThrown) {
    RecordedBoxes boxes;
    CADODatabase db;  // never opened
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.OpenQuery(_T("SELECT 1")));
    EXPECT_EQ(rs.GetLastErrorCode(), 0x800A0E7Du);
    EXPECT_FALSE(rs.OpenSchemaRows(adSchemaTables));
    EXPECT_EQ(rs.GetLastErrorCode(), 0x800A0E78u);
    EXPECT_EQ(boxes.Shown().size(), 2u);
}

}  // namespace
