// The record set's read path on SQLite columns whose values do not all match their declared
// type: field types, the VARIANT tag of every value and the text ReadCellText gives, in both
// text widths.
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

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

// Rows whose texts fill the result's text block many times over: labels with letters beyond
// ASCII and beyond U+FFFF and NULLs, numbers turned into text after the fetch (a column
// without a declared type), and integers, reals and NULLs in one declared real column.
const char* const kManyRowsSchema =
    "CREATE TABLE Many (n INTEGER, Label VARCHAR(40), Loose, Mixed DOUBLE);"
    "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 3000) "
    "INSERT INTO Many SELECT i, "
    "CASE WHEN i % 7 = 0 THEN NULL ELSE 'Zeile ' || i || "
    "CASE WHEN i % 3 = 0 THEN ' Größe 😀' ELSE '' END END, "
    "CASE WHEN i % 4 = 0 THEN 'x' || i ELSE i END, "
    "CASE WHEN i % 5 = 0 THEN NULL WHEN i % 2 = 1 THEN i + 0.5 ELSE i END FROM k;";
constexpr int kManyRows = 3000;

std::string ManyText(int column, int i) {
    const std::string number = std::to_string(i);
    switch (column) {
        case 0:
            return number;
        case 1:
            return i % 7 == 0 ? "" : "Zeile " + number + (i % 3 == 0 ? " Größe 😀" : "");
        case 2:
            return i % 4 == 0 ? "x" + number : number;
        default:
            return i % 5 == 0 ? "" : i % 2 == 1 ? number + ".5" : number;
    }
}

// Reads the query "SELECT * FROM Many ORDER BY n" from the current row on and checks every
// cell; first is the row's n.
void ExpectManyRows(CADORecordset& rs, int first) {
    CString text;
    for (int i = first; i <= kManyRows; ++i) {
        ASSERT_FALSE(rs.AtEndOfRows()) << "row " << i;
        for (int c = 0; c < 4; ++c) {
            ASSERT_TRUE(rs.ReadCellText(c, text));
            ASSERT_EQ(Utf8(text), ManyText(c, i)) << "column " << c << " row " << i;
        }
        rs.ToNextRow();
    }
    EXPECT_TRUE(rs.AtEndOfRows());
}

TEST(ReadPath, ManyRowsReadOnceAndAgain) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(ConnectText(MakeDatabase("many", kManyRowsSchema))));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Many ORDER BY n")));
    EXPECT_EQ(rs.CountRows(), kManyRows);
    ColumnFacts facts;
    ASSERT_TRUE(rs.ReadColumnFacts(1, facts));
    EXPECT_EQ(facts.nType, adVarWChar);
    EXPECT_EQ(facts.lActualSize, 2 * 7);  // "Zeile 1" in UTF-16
    ASSERT_TRUE(rs.ReadColumnFacts(2, facts));
    EXPECT_EQ(facts.nType, adLongVarWChar);
    ExpectManyRows(rs, 1);
    rs.ToFirstRow();
    ExpectManyRows(rs, 1);

    // Sorted by the texts and by the numbers, as the cursor's order is read back.
    const std::vector<std::pair<const char16_t*, int>> sorts = {{u"Label DESC", 1}, {u"Mixed", 3}};
    for (const auto& [criteria, column] : sorts) {
        SCOPED_TRACE(qv::ToUtf8(criteria));
        rs.m_pRecordset->PutSort(_bstr_t(criteria));
        rs.ToFirstRow();
        std::vector<_variant_t> values;
        while (!rs.AtEndOfRows()) {
            values.push_back(rs.m_pRecordset->GetFields()
                                 ->GetItem(_variant_t(static_cast<short>(column)))
                                 ->GetValue());
            rs.ToNextRow();
        }
        ASSERT_EQ(values.size(), static_cast<std::size_t>(kManyRows));
        for (std::size_t r = 1; r < values.size(); ++r) {
            const _variant_t& a = values[r - 1];
            const _variant_t& b = values[r];
            if (column == 1) {
                // Descending, NULLs last.
                if (b.vt == VT_NULL)
                    continue;
                ASSERT_EQ(a.vt, VT_BSTR) << r;
                ASSERT_GE(qv::CompareNoCase<char16_t>(std::u16string_view(a.bstrVal),
                                                      std::u16string_view(b.bstrVal)),
                          0)
                    << r;
            } else {
                // Ascending, NULLs first.
                if (a.vt == VT_NULL)
                    continue;
                ASSERT_EQ(b.vt, VT_R8) << r;
                ASSERT_LE(a.dblVal, b.dblVal) << r;
            }
        }
    }
    rs.CloseQuery();
}

// Record sets open side by side, one opened after another closed (which takes over its
// storage), and one fetched on another thread: each reads its own values.
TEST(ReadPath, RecordSetsOpenTogetherOrOneAfterAnother) {
    CADODatabase db;
    ASSERT_TRUE(db.OpenConnection(ConnectText(MakeDatabase("together", kManyRowsSchema))));
    CADORecordset big(&db), small(&db);
    ASSERT_TRUE(big.OpenQuery(_T("SELECT * FROM Many ORDER BY n")));
    CString text;
    ASSERT_TRUE(big.ReadCellText(1, text));
    EXPECT_EQ(Utf8(text), "Zeile 1");
    ASSERT_TRUE(small.OpenQuery(_T("SELECT * FROM Many WHERE n > 2990 ORDER BY n")));
    ExpectManyRows(small, 2991);
    big.ToFirstRow();
    ExpectManyRows(big, 1);
    big.CloseQuery();

    // Fewer rows and shorter texts than the result whose storage it reuses.
    ASSERT_TRUE(small.OpenQuery(_T("SELECT * FROM Many WHERE n >= 2999 ORDER BY n")));
    EXPECT_EQ(small.CountRows(), 2);
    ExpectManyRows(small, 2999);
    ASSERT_TRUE(small.OpenQuery(_T("SELECT Label FROM Many WHERE n = 7")));
    ASSERT_TRUE(small.ReadCellText(0, text));
    EXPECT_EQ(Utf8(text), "");
    small.CloseQuery();

    // Fetched and closed on a thread that has ended by the time this one reads.
    CADORecordset fetched(&db);
    std::thread([&] {
        ASSERT_TRUE(fetched.OpenQuery(_T("SELECT * FROM Many ORDER BY n")));
    }).join();
    ExpectManyRows(fetched, 1);
    fetched.CloseQuery();
    std::thread([&] {
        CADORecordset rs(&db);
        ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Many WHERE n > 1000 ORDER BY n")));
        ExpectManyRows(rs, 1001);
        rs.CloseQuery();
    }).join();
    ASSERT_TRUE(big.OpenQuery(_T("SELECT * FROM Many ORDER BY n")));
    ExpectManyRows(big, 1);
}

}  // namespace
