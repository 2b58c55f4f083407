// The record set's read path on SQLite columns whose values do not all match their declared
// type: field types, the VARIANT tag of every value and the text ReadCellText gives, in both
// text widths.
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace {

// A fresh database file holding the given statements.
std::string MakeDatabase(const std::string& name, const std::string& sql) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quarvel_read_path_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / (name + ".sqlite")).string();
    std::filesystem::remove(file);
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    return file;
}

CString ConnectText(const std::string& file) {
    return CString(("Driver={SQLite3 ODBC Driver};Database=" + file + ";").c_str());
}

// One column of a query: its ADO type, and per row the VARIANT tag and the text ("?" when
// ReadCellText gives no text).
struct ColumnExpectation {
    const char* name;
    short type;
    std::vector<VARTYPE> tags;
    std::vector<std::string> texts;
};

struct QueryCase {
    const char* label;
    const char* sql;
    std::vector<ColumnExpectation> columns;
};

void ExpectQuery(CADODatabase& db, const QueryCase& q) {
    SCOPED_TRACE(q.label);
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(CString(q.sql).GetString())) << Utf8(rs.GetLastErrorText());
    ASSERT_EQ(rs.CountColumns(), static_cast<long>(q.columns.size()));
    const std::size_t rows = q.columns.empty() ? 0 : q.columns[0].texts.size();
    EXPECT_EQ(rs.CountRows(), static_cast<long>(rows));
    for (std::size_t c = 0; c < q.columns.size(); ++c) {
        ColumnFacts facts;
        ASSERT_TRUE(rs.ReadColumnFacts(static_cast<int>(c), facts));
        EXPECT_EQ(Utf8(CString(facts.szName)), q.columns[c].name);
        EXPECT_EQ(facts.nType, q.columns[c].type) << q.columns[c].name;
    }
    if (rows == 0) {
        EXPECT_TRUE(rs.AtEndOfRows());
        return;
    }
    rs.ToFirstRow();
    for (std::size_t r = 0; r < rows; ++r) {
        ASSERT_FALSE(rs.AtEndOfRows());
        for (std::size_t c = 0; c < q.columns.size(); ++c) {
            const ColumnExpectation& column = q.columns[c];
            const _variant_t value = rs.m_pRecordset->GetFields()
                                         ->GetItem(_variant_t(static_cast<short>(c)))
                                         ->GetValue();
            EXPECT_EQ(value.vt, column.tags[r]) << column.name << " row " << r;
            // By position and by name, as the callers read cells.
            CString byPosition = _T("?"), byName = _T("?");
            rs.ReadCellText(static_cast<int>(c), byPosition);
            rs.ReadCellText(CString(column.name).GetString(), byName);
            EXPECT_EQ(Utf8(byPosition), column.texts[r]) << column.name << " row " << r;
            EXPECT_EQ(Utf8(byName), column.texts[r]) << column.name << " row " << r;
        }
        rs.ToNextRow();
    }
    EXPECT_TRUE(rs.AtEndOfRows());
    rs.CloseQuery();
}

const char* const kMixedSchema =
    "CREATE TABLE Mixed (n INTEGER PRIMARY KEY, LateNumber INTEGER, Loose, LateLoose, "
    "Installed DATETIME, Active BOOLEAN, Price CURRENCY, Amount DECIMAL(10,2), Weight DOUBLE, "
    "Tag VARCHAR(8));"
    "INSERT INTO Mixed VALUES (1, NULL, NULL, NULL, '2024-01-31 13:05:09', 'yes', 12.5, -12.34, "
    "NULL, 'A');"
    "INSERT INTO Mixed VALUES (2, NULL, 1, NULL, 1706706309, 'FALSE', '3.1416', '5.5', 2, 42);"
    "INSERT INTO Mixed VALUES (3, 5, 2.5, 3, 2460340.5, 1, 7, 3, '0.25', 1.5);"
    "INSERT INTO Mixed VALUES (4, 70000000000, 'x', 4, 'no date', 'maybe', 'cheap', 'n/a', "
    "'heavy', NULL);"
    "INSERT INTO Mixed VALUES (5, '12', x'00ff', NULL, NULL, NULL, NULL, NULL, 1e300, '');";

TEST(ReadPath, ColumnsWhoseValuesDoNotAllMatchTheirType) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(ConnectText(MakeDatabase("mixed", kMixedSchema))));
    char price[5][32];
    for (int i = 0; i < 5; ++i)
        price[i][0] = 0;
    std::snprintf(price[0], sizeof price[0], "%f", 12.5);
    std::snprintf(price[1], sizeof price[1], "%f", 3.1416);
    std::snprintf(price[2], sizeof price[2], "%f", 7.0);
    const QueryCase q{
        "mixed",
        "SELECT * FROM Mixed ORDER BY n",
        {
            {"n", adInteger, {VT_I4, VT_I4, VT_I4, VT_I4, VT_I4}, {"1", "2", "3", "4", "5"}},
            // NULL first, then numbers; one value needs 64 bits, so the column widens.
            {"LateNumber",
             adBigInt,
             {VT_NULL, VT_NULL, VT_I8, VT_I8, VT_I8},
             {"", "", "5", "70000000000", "12"}},
            // No declared type: one text value makes it a text column, whose numbers become
            // texts; the binary value stays binary.
            {"Loose",
             adLongVarWChar,
             {VT_NULL, VT_BSTR, VT_BSTR, VT_BSTR, VT_ARRAY | VT_UI1},
             {"", "1", "2.5", "x", "?"}},
            {"LateLoose",
             adInteger,
             {VT_NULL, VT_NULL, VT_I4, VT_I4, VT_NULL},
             {"", "", "3", "4", ""}},
            {"Installed",
             adDate,
             {VT_DATE, VT_DATE, VT_DATE, VT_BSTR, VT_NULL},
             {"2024-01-31 13:05:09", "2024-01-31 13:05:09", "2024-01-31 00:00:00", "no date", ""}},
            {"Active",
             adBoolean,
             {VT_BOOL, VT_BOOL, VT_BOOL, VT_BSTR, VT_NULL},
             {"T", "F", "T", "maybe", ""}},
            {"Price",
             adCurrency,
             {VT_CY, VT_CY, VT_CY, VT_BSTR, VT_NULL},
             {price[0], price[1], price[2], "cheap", ""}},
            {"Amount",
             adNumeric,
             {VT_DECIMAL, VT_DECIMAL, VT_DECIMAL, VT_BSTR, VT_NULL},
             {"-12.34", "5.5", "3", "n/a", ""}},
            {"Weight",
             adDouble,
             {VT_NULL, VT_R8, VT_R8, VT_BSTR, VT_R8},
             {"", "2", "0.25", "heavy", "1e+300"}},
            {"Tag",
             adVarWChar,
             {VT_BSTR, VT_BSTR, VT_BSTR, VT_NULL, VT_BSTR},
             {"A", "42", "1.5", "", ""}},
        }};
    ExpectQuery(db, q);
}

TEST(ReadPath, TextsOfEveryLengthAndScript) {
    const std::string longText(100000, 'w');
    std::string longMixed;
    for (int i = 0; i < 20000; ++i)
        longMixed += "ü€😀";
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(ConnectText(MakeDatabase(
        "texts",
        "CREATE TABLE Texts (n INTEGER, Body TEXT, Name VARCHAR(40));"
        "INSERT INTO Texts VALUES (1, '" +
            longText + "', 'Kühlwasserpumpe');" + "INSERT INTO Texts VALUES (2, '" + longMixed +
            "', 'Резервуар');"
            "INSERT INTO Texts VALUES (3, '', '😀');"
            "INSERT INTO Texts VALUES (4, 'plain ASCII', 'P-000001');"
            // Malformed UTF-8 and a noncharacter, as the engine converts them.
            "INSERT INTO Texts VALUES (5, CAST(x'41ff42' AS TEXT), "
            "CAST(x'418042' AS TEXT));"
            "INSERT INTO Texts VALUES (6, CAST(x'efbfbe' AS TEXT), 'Ω');"))));
    const QueryCase q{"texts",
                      "SELECT n, Body, Name FROM Texts ORDER BY n",
                      {
                          {"n",
                           adInteger,
                           {VT_I4, VT_I4, VT_I4, VT_I4, VT_I4, VT_I4},
                           {"1", "2", "3", "4", "5", "6"}},
                          {"Body",
                           adLongVarWChar,
                           {VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR},
                           {longText, longMixed, "", "plain ASCII", "A\uFFFDB", "\uFFFD"}},
                          {"Name",
                           adVarWChar,
                           {VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR},
                           {"Kühlwasserpumpe", "Резервуар", "😀", "P-000001", "A\u0080B", "Ω"}},
                      }};
    ExpectQuery(db, q);
}

TEST(ReadPath, EmptyResultsAndExpressionsWithoutATable) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(ConnectText(MakeDatabase("empty", kMixedSchema))));
    const std::vector<QueryCase> cases = {
        {"no rows",
         "SELECT n, Installed, Tag FROM Mixed WHERE n < 0",
         {{"n", adInteger, {}, {}}, {"Installed", adDate, {}, {}}, {"Tag", adVarWChar, {}, {}}}},
        // Expressions have no declared type: they are typed from their values.
        {"expressions",
         "SELECT 1 AS a, 'b' AS b, 2.5 AS c, NULL AS d UNION ALL SELECT 4000000000, 7, 3, NULL",
         {{"a", adBigInt, {VT_I8, VT_I8}, {"1", "4000000000"}},
          {"b", adLongVarWChar, {VT_BSTR, VT_BSTR}, {"b", "7"}},
          {"c", adDouble, {VT_R8, VT_R8}, {"2.5", "3"}},
          {"d", adLongVarWChar, {VT_NULL, VT_NULL}, {"", ""}}}},
    };
    for (const QueryCase& q : cases)
        ExpectQuery(db, q);
}

// Fields are kept between rows; a new query must not read through the fields of the old one.
TEST(ReadPath, FieldsOfAnEarlierQueryAreNotReused) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(ConnectText(MakeDatabase("reopen", kMixedSchema))));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT n, Tag FROM Mixed ORDER BY n")));
    CString text;
    ASSERT_TRUE(rs.ReadCellText(1, text));
    EXPECT_EQ(Utf8(text), "A");
    const FieldPtr kept = rs.m_pRecordset->GetFields()->GetItem(_variant_t(short{1}));
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT Tag FROM Mixed ORDER BY n DESC")));
    ASSERT_TRUE(rs.ReadCellText(0, text));
    EXPECT_EQ(Utf8(text), "");  // the last row's Tag is the empty text
    rs.ToNextRow();
    ASSERT_TRUE(rs.ReadCellText(0, text));
    EXPECT_EQ(Utf8(text), "");  // NULL
    rs.ToNextRow();
    ASSERT_TRUE(rs.ReadCellText(0, text));
    EXPECT_EQ(Utf8(text), "1.5");
    {
        RecordedBoxes boxes;
        text = _T("before");
        EXPECT_FALSE(rs.ReadCellText(1, text));
        EXPECT_EQ(Utf8(text), "before");
        EXPECT_EQ(rs.GetLastErrorCode(), 0x800A0CC1u);
        EXPECT_EQ(boxes.Shown().size(), 1u);
    }
    // A field object of the first query names a column the record set no longer has.
    try {
        kept->GetValue();
        FAIL() << "read a column that is gone";
    } catch (const _com_error& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.Error()), 0x800A0CC1u);
    }
    // Another record set put in place by the caller is read through its own fields.
    ASSERT_TRUE(rs.OpenSchemaRows(adSchemaTables));
    ASSERT_TRUE(rs.ReadCellText(2, text));
    EXPECT_EQ(Utf8(text), "Mixed");
}

}  // namespace
