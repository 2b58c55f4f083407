// The wrappers on a real Access file (nwind.mdb), checked against a copy made independently
// with libmdb's own text export into a SQLite file.
#include <glib.h>
#include <mdbtools.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "test_support.h"

namespace {

// Copies every user table of an Access file into a new SQLite file through libmdb's bound text
// values (integers as INTEGER, money and reals as REAL, everything else as TEXT).
void ExportWithLibmdb(const std::string& mdbPath, const std::string& sqlitePath) {
    MdbHandle* mdb = mdb_open(mdbPath.c_str(), MDB_NOFLAGS);
    ASSERT_NE(mdb, nullptr);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    ASSERT_TRUE(mdb_read_catalog(mdb, MDB_TABLE));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(sqlitePath.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (guint i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
            continue;
        MdbTableDef* table = mdb_read_table(entry);
        mdb_read_columns(table);
        std::string create = std::string("CREATE TABLE \"") + entry->object_name + "\" (";
        std::string insert = std::string("INSERT INTO \"") + entry->object_name + "\" VALUES (";
        std::vector<std::vector<char>> buffers(table->num_cols, std::vector<char>(MDB_BIND_SIZE));
        std::vector<int> lengths(table->num_cols);
        for (unsigned c = 0; c < table->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            const char* type = "TEXT";
            if (col->col_type == MDB_BYTE || col->col_type == MDB_INT ||
                col->col_type == MDB_LONGINT)
                type = "INTEGER";
            if (col->col_type == MDB_MONEY || col->col_type == MDB_FLOAT ||
                col->col_type == MDB_DOUBLE)
                type = "REAL";
            if (col->col_type == MDB_OLE)
                type = "BLOB";
            create += std::string(c ? ", \"" : "\"") + col->name + "\" " + type;
            insert += c ? ", ?" : "?";
            mdb_bind_column(table, static_cast<int>(c) + 1, buffers[c].data(), &lengths[c]);
        }
        ASSERT_EQ(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &stmt, nullptr), SQLITE_OK);
        mdb_rewind_table(table);
        while (mdb_fetch_row(table)) {
            sqlite3_reset(stmt);
            for (unsigned c = 0; c < table->num_cols; ++c) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
                // libmdb's bound text cannot tell NULL from empty text; empty binds as NULL.
                if (col->col_type == MDB_OLE || lengths[c] == 0) {
                    sqlite3_bind_null(stmt, static_cast<int>(c) + 1);
                } else {
                    sqlite3_bind_text(stmt, static_cast<int>(c) + 1, buffers[c].data(), lengths[c],
                                      SQLITE_TRANSIENT);
                }
            }
            ASSERT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        }
        sqlite3_finalize(stmt);
        mdb_free_tabledef(table);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    mdb_close(mdb);
}

class Nwind : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_copy = std::filesystem::temp_directory_path() /
                 ("quarvel_nwind_copy_" + std::to_string(::getpid()) + "_" +
                  std::to_string(QUARVEL_RELEASE) + ".sqlite");
        std::filesystem::remove(s_copy);
        ExportWithLibmdb(NwindPath(), s_copy.string());
    }
    static void TearDownTestSuite() { std::filesystem::remove(s_copy); }

    void SetUp() override {
        ASSERT_TRUE(m_access.OpenConnection(AccessConnectText(NwindPath())))
            << Utf8(m_access.GetLastErrorText());
        CString copy;
        copy.Format(_T("Driver={SQLite3 ODBC Driver};Database=%s;"), s_copy.string().c_str());
        ASSERT_TRUE(m_copy.OpenConnection(copy)) << Utf8(m_copy.GetLastErrorText());
    }

    static std::filesystem::path s_copy;
    CADODatabase m_access;
    CADODatabase m_copy;
};
std::filesystem::path Nwind::s_copy;

TEST_F(Nwind, ListsUserTablesAndRebuildableSavedQueries) {
    CADORecordset rs(&m_access);
    ASSERT_TRUE(rs.OpenSchemaRows(adSchemaTables));
    std::set<std::string> tables, views;
    for (rs.ToFirstRow(); !rs.AtEndOfRows(); rs.ToNextRow()) {
        CString name, type;
        ASSERT_TRUE(rs.ReadCellText(_T("TABLE_NAME"), name));
        ASSERT_TRUE(rs.ReadCellText(_T("TABLE_TYPE"), type));
        (type == _T("TABLE") ? tables : views).insert(Utf8(name));
    }
    EXPECT_EQ(tables,
              (std::set<std::string>{"Categories", "Customers", "Employees", "Order Details",
                                     "Orders", "Products", "Shippers", "Suppliers", "Umsätze"}));
    for (const char* view :
         {"Alphabetical List of Products", "Invoices", "Order Details Extended", "Quarterly Orders",
          "Sales by Category", "Customers and Suppliers by City", "Ten Most Expensive Products"}) {
        EXPECT_TRUE(views.count(view)) << view;
    }
    // Refers to a form of the application: cannot be rebuilt, so not offered.
    EXPECT_FALSE(views.count("Invoices Filter"));
}

TEST_F(Nwind, ReadsAllRowsOfATableNamedWithABlank) {
    CADORecordset rs(&m_access);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM `Order Details`")));
    EXPECT_EQ(rs.CountRows(), 2155);
    EXPECT_EQ(rs.CountColumns(), 5);
}

TEST_F(Nwind, JoinWithOrderByGivesTheRowsOfTheIndependentCopy) {
    const CString sql =
        _T("SELECT o.OrderID, c.CompanyName, o.ShipCity, d.ProductID, p.ProductName, d.Quantity, ")
        _T("e.LastName ")
        _T("FROM ((Orders o INNER JOIN [Order Details] d ON d.OrderID = o.OrderID) ")
        _T("INNER JOIN Customers c ON c.CustomerID = o.CustomerID) ")
        _T("INNER JOIN Products p ON p.ProductID = d.ProductID ")
        _T("LEFT JOIN Employees e ON e.EmployeeID = o.EmployeeID ")
        _T("WHERE o.ShipCountry IN ('Germany', 'Österreich', 'Austria') AND d.Quantity >= 10 ")
        _T("ORDER BY o.OrderID DESC, d.ProductID");
    const std::string fromAccess = QueryTexts(m_access, sql);
    EXPECT_GT(std::count(fromAccess.begin(), fromAccess.end(), '\n'), 100);
    EXPECT_EQ(fromAccess, QueryTexts(m_copy, sql));
}

TEST_F(Nwind, TextAndMemoColumnsEqualTheCopy) {
    const CString sql =
        _T("SELECT EmployeeID, LastName, FirstName, Title, Notes FROM Employees ORDER BY ")
        _T("EmployeeID");
    const std::string fromAccess = QueryTexts(m_access, sql);
    EXPECT_NE(fromAccess.find("Davolio"), std::string::npos);
    EXPECT_EQ(fromAccess, QueryTexts(m_copy, sql));
}

TEST_F(Nwind, DatesAndCurrencyFromRawBytesMatchLibmdbsTexts) {
    // Every order: the date and freight texts of the Access backend (raw bytes) against the
    // texts libmdb exported.
    CADORecordset access(&m_access), copy(&m_copy);
    const CString sql =
        _T("SELECT OrderID, OrderDate, ShippedDate, Freight FROM Orders ORDER BY OrderID");
    ASSERT_TRUE(access.OpenQuery(sql));
    ASSERT_TRUE(copy.OpenQuery(sql));
    ASSERT_EQ(access.CountRows(), 830);
    ASSERT_EQ(copy.CountRows(), 830);
    ColumnFacts facts;
    ASSERT_TRUE(access.ReadColumnFacts(3, facts));
    EXPECT_EQ(facts.nType, adCurrency);
    ASSERT_TRUE(access.ReadColumnFacts(1, facts));
    EXPECT_EQ(facts.nType, adDate);
    int nullShipped = 0;
    for (access.ToFirstRow(), copy.ToFirstRow(); !access.AtEndOfRows();
         access.ToNextRow(), copy.ToNextRow()) {
        CString a, b;
        ASSERT_TRUE(access.ReadCellText(_T("OrderDate"), a));
        ASSERT_TRUE(copy.ReadCellText(_T("OrderDate"), b));
        EXPECT_EQ(Utf8(a), Utf8(b));
        ASSERT_TRUE(access.ReadCellText(_T("ShippedDate"), a));
        ASSERT_TRUE(copy.ReadCellText(_T("ShippedDate"), b));
        EXPECT_EQ(Utf8(a), Utf8(b));
        nullShipped += a.IsEmpty();
        ASSERT_TRUE(access.ReadCellText(_T("Freight"), a));
        ASSERT_TRUE(copy.ReadCellText(_T("Freight"), b));
        EXPECT_NEAR(std::atof(Utf8(a).c_str()), std::atof(Utf8(b).c_str()), 1e-9) << Utf8(a);
    }
    EXPECT_GT(nullShipped, 0);
}

TEST_F(Nwind, CellTextsOfTheFirstOrder) {
    CADORecordset rs(&m_access);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Orders WHERE OrderID = 10248")));
    ASSERT_EQ(rs.CountRows(), 1);
    CString text;
    ASSERT_TRUE(rs.ReadCellText(_T("OrderDate"), text));
    EXPECT_EQ(Utf8(text), "1994-08-04 00:00:00");
    ASSERT_TRUE(rs.ReadCellText(_T("Freight"), text));
    char freight[32];
    std::snprintf(freight, sizeof freight, "%f", 32.38);
    EXPECT_EQ(Utf8(text), freight);
    text = _T("not yet read");
    ASSERT_TRUE(rs.ReadCellText(_T("ShipRegion"), text));  // NULL
    EXPECT_EQ(Utf8(text), "");
}

TEST_F(Nwind, YesNoGivesTAndF) {
    CADORecordset rs(&m_access);
    ASSERT_TRUE(
        rs.OpenQuery(_T("SELECT ProductID, Discontinued FROM Products ORDER BY ProductID")));
    std::string discontinued;
    for (rs.ToFirstRow(); !rs.AtEndOfRows(); rs.ToNextRow()) {
        CString id, flag;
        ASSERT_TRUE(rs.ReadCellText(0, id));
        ASSERT_TRUE(rs.ReadCellText(1, flag));
        ASSERT_TRUE(flag == _T("T") || flag == _T("F"));
        if (flag == _T("T"))
            discontinued += Utf8(id) + " ";
    }
    EXPECT_EQ(discontinued, "5 9 17 24 28 29 42 53 ");
}

TEST_F(Nwind, SavedQueriesRunAsViews) {
    CADORecordset rs(&m_access);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM `Invoices`")));
    EXPECT_EQ(rs.CountRows(), 2155);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM `Ten Most Expensive Products`")));
    EXPECT_EQ(rs.CountRows(), 10);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM [Current Product List]")));
    EXPECT_EQ(rs.CountRows(), 69);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM [Customers and Suppliers by City]")));
    EXPECT_EQ(rs.CountRows(), 120);
}

TEST_F(Nwind, SavedQueryThatCannotBeRebuiltIsAClearErrorEveryTime) {
    RecordedBoxes boxes;
    CADORecordset rs(&m_access);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(rs.OpenQuery(_T("SELECT * FROM `Invoices Filter`")));
        EXPECT_EQ(rs.GetLastErrorCode(), 0x80040E14u);
    }
    ASSERT_EQ(boxes.Shown().size(), 2u);
    for (const auto& box : boxes.Shown()) {
        EXPECT_NE(box.text.find("Invoices Filter"), std::string::npos);
        EXPECT_NE(box.text.find("form"), std::string::npos);
    }
}

TEST_F(Nwind, StatementsCannotChangeTheCopy) {
    RecordedBoxes boxes;
    CADORecordset rs(&m_access);
    EXPECT_FALSE(rs.OpenQuery(_T("DELETE FROM Orders")));
    EXPECT_EQ(rs.GetLastErrorCode(), 0x80040E14u);
    ASSERT_TRUE(rs.OpenQuery(_T("SELECT * FROM Orders")));
    EXPECT_EQ(rs.CountRows(), 830);
}

TEST(NwindErrors, MissingFileIsReportedWithTheConnectionString) {
    RecordedBoxes boxes;
    CADODatabase db;
    const CString text = AccessConnectText("/nonexistent/folder/missing.mdb");
    EXPECT_FALSE(db.OpenConnection(text));
    EXPECT_EQ(db.GetLastErrorCode(), 0x80004005u);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text.rfind(
                  "CADODataBase Error\n\tCode = 80004005\n\tCode meaning = Unspecified error\n", 0),
              0u);
    EXPECT_EQ(Utf8(db.GetLastErrorText()),
              "Connection String = " + Utf8(text) + "\n" + boxes.Shown()[0].text);
    EXPECT_NE(Utf8(db.GetLastErrorDescription()).find("missing.mdb"), std::string::npos);
}

TEST(NwindErrors, AFileThatIsNotAnAccessDatabaseIsRefused) {
    RecordedBoxes boxes;
    CADODatabase db;
    EXPECT_FALSE(db.OpenConnection(AccessConnectText(QUARVEL_SAMPLE_DB)));
    EXPECT_EQ(db.GetLastErrorCode(), 0x80004005u);
    EXPECT_EQ(boxes.Shown().size(), 1u);
}

}  // namespace

namespace {

// Statements in Access's dialect give Access's values: & joins texts (Null as empty text),
// TOP counts rows, and the text functions mean what they mean in Access.
TEST_F(Nwind, AccessFunctionsAndClausesGiveAccessValues) {
    const struct {
        const TCHAR* sql;
        const char* expected;
    } cases[] = {
        {_T("SELECT [CompanyName] & '!' FROM Shippers WHERE ShipperID = 1"), "Speedy Express!\n"},
        {_T("SELECT Region & 'x', Nz(Region, '-') FROM Customers WHERE CustomerID = 'ALFKI'"),
         "x|-\n"},
        {_T("SELECT Format([ShipperID],'000') FROM Shippers ORDER BY ShipperID"),
         "001\n002\n003\n"},
        {_T("SELECT TOP 2 ShipperID FROM Shippers ORDER BY ShipperID DESC"), "3\n2\n"},
        {_T("select distinct top 1 ShipperID from Shippers order by 1;"), "1\n"},
        {_T("SELECT Len(CompanyName), Mid(CompanyName, 8, 3), Mid(CompanyName, 8), ")
         _T("Left(CompanyName, 6), Right(CompanyName, 7), Left(CompanyName, 0) ")
         _T("FROM Shippers WHERE ShipperID = 1"),
         "14|Exp|Express|Speedy|Express|\n"},
        {_T("SELECT UCase(CompanyName), LCase(CompanyName) FROM Shippers WHERE ShipperID = 3"),
         "FEDERAL SHIPPING|federal shipping\n"},
        {_T("SELECT UCase('äöé ß'), LCase('ÄÖÉ'), Len('äöé'), Left('äöé', 2), Right('äöé', 1) ")
         _T("FROM Shippers WHERE ShipperID = 1"),
         "ÄÖÉ ß|äöé|3|äö|é\n"},
        {_T("SELECT Format(0.5, '0.00%'), Format(1234.5, '#,##0.00'), Format(-3, '000'), ")
         _T("Format(0.25, '#.##'), Format(1234567.891, 'Standard'), Format(2, 'Fixed'), ")
         _T("Format(0, 'Yes/No') FROM Shippers WHERE ShipperID = 1"),
         "50.00%|1,234.50|-003|.25|1,234,567.89|2.00|No\n"},
        {_T("SELECT Format(OrderDate, 'yyyy-mm-dd'), Format(OrderDate, 'd mmm yyyy'), ")
         _T("Format(OrderDate, 'dddd') FROM Orders WHERE OrderID = 10248"),
         "1994-08-04|4 Aug 1994|Thursday\n"},
        {_T("SELECT Format(Null, '000'), Left(Null, 2), UCase(Null) FROM Shippers ")
         _T("WHERE ShipperID = 1"),
         "||\n"},
        {_T("SELECT CompanyName FROM `Shippers` WHERE [ShipperID] IN (SELECT TOP 1 ShipperID ")
         _T("FROM Shippers) AND CompanyName LIKE 'Sp*'"),
         "Speedy Express\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QueryTexts(m_access, c.sql), c.expected) << Utf8(c.sql);
}

// What has no faithful equivalent is refused with an error naming it, never a wrong value.
TEST_F(Nwind, AccessFunctionsWithoutAnEquivalentAreRefusedByName) {
    const struct {
        const TCHAR* sql;
        const char* named;
    } cases[] = {
        {_T("SELECT DLookup('CompanyName', 'Shippers') FROM Shippers"), "DLookup"},
        {_T("SELECT StrConv(CompanyName, 3) FROM Shippers"), "StrConv"},
        {_T("SELECT TOP 50 PERCENT * FROM Shippers"), "PERCENT"},
        {_T("SELECT Format(ShipperID, 'Currency') FROM Shippers"), "Currency"},
        {_T("SELECT Format(CompanyName, '@@@') FROM Shippers"), "@@@"},
        {_T("SELECT Left(CompanyName, -1) FROM Shippers"), "Left"},
        {_T("SELECT 7 \\ 2 FROM Shippers"), "\\"},
    };
    for (const auto& c : cases) {
        RecordedBoxes boxes;
        CADORecordset rs(&m_access);
        EXPECT_FALSE(rs.OpenQuery(c.sql)) << Utf8(c.sql);
        ASSERT_EQ(boxes.Shown().size(), 1u) << Utf8(c.sql);
        EXPECT_NE(boxes.Shown()[0].text.find(c.named), std::string::npos) << boxes.Shown()[0].text;
    }
}

}  // namespace

namespace {

TEST_F(Nwind, CommentsAndSubqueriesWithTopKeepTheirMeaning) {
    EXPECT_EQ(QueryTexts(m_access,
                         _T("SELECT ShipperID -- the shipper's number\n")
                         _T("FROM Shippers /* don't mind */ WHERE ShipperID IN ")
                         _T("(SELECT TOP 2 ShipperID FROM Shippers ORDER BY 1 DESC) ")
                         _T("ORDER BY 1;")),
              "2\n3\n");
    // A count after a closing comment still counts.
    EXPECT_EQ(QueryTexts(m_access, _T("SELECT TOP 1 ShipperID FROM Shippers ORDER BY 1 -- first")),
              "1\n");
}

}  // namespace
