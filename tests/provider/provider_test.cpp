// The provider's own parts: connection strings, value conversion, the client cursor, and the
// translation of saved Access queries.
#include <gtest/gtest.h>

#include "platform/ATLComTime.h"
#include "platform/ado.h"
#include "provider/access_queries.h"
#include "provider/connstr.h"
#include "provider/sqlite_engine.h"

namespace {

using provider::ConnectionString;

TEST(ConnectionStringParse, KeysIgnoreCaseAndValuesMayBeBraced) {
    const ConnectionString cs(
        " driver = {Microsoft Access Driver "
        "(*.mdb)};DBQ=C:\\data\\a;b.mdb;UID=;pwd={p;w}}d};Extra");
    EXPECT_EQ(cs.Get("Driver").value(), "Microsoft Access Driver (*.mdb)");
    EXPECT_EQ(cs.Get("dbq").value(), "C:\\data\\a");  // an unbraced value ends at ';'
    EXPECT_EQ(cs.Get("Uid").value(), "");
    EXPECT_EQ(cs.Get("PWD").value(), "p;w}d");
    EXPECT_FALSE(cs.Get("Extra").has_value());
    EXPECT_EQ(cs.GetAny({"Database", "Dbq"}).value(), "C:\\data\\a");
    EXPECT_THROW(ConnectionString("Driver={never closed;Dbq=x"), std::invalid_argument);
}

struct ChangeCase {
    const char* label;
    VARIANT from;
    VARTYPE to;
    HRESULT hr;
    double expected;  // as a double, when hr is S_OK
};

VARIANT Var(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

TEST(VariantChange, ConvertsNumbersCurrencyAndTextWithRangeChecks) {
    std::vector<ChangeCase> cases;
    {
        VARIANT v = Var(VT_CY);
        v.cyVal.int64 = 323800;
        cases.push_back({"cy to r8", v, VT_R8, S_OK, 32.38});
    }
    {
        VARIANT v = Var(VT_R8);
        v.dblVal = 12.34567;
        cases.push_back({"r8 to cy rounds to 4 places", v, VT_CY, S_OK, 12.3457});
    }
    {
        VARIANT v = Var(VT_I4);
        v.lVal = 70000;
        cases.push_back({"i4 to i2 overflows", v, VT_I2, DISP_E_OVERFLOW, 0});
    }
    {
        VARIANT v = Var(VT_R8);
        v.dblVal = 2.5;
        cases.push_back({"r8 to i4 rounds half to even", v, VT_I4, S_OK, 2});
    }
    {
        VARIANT v = Var(VT_I8);
        v.llVal = 9007199254740993LL;
        cases.push_back({"i8 to i4 overflows", v, VT_I4, DISP_E_OVERFLOW, 0});
    }
    {
        VARIANT v = Var(VT_NULL);
        cases.push_back({"null has no number", v, VT_R8, DISP_E_TYPEMISMATCH, 0});
    }
    {
        VARIANT v = Var(VT_BOOL);
        v.boolVal = VARIANT_TRUE;
        cases.push_back({"true is -1", v, VT_I4, S_OK, -1});
    }
    for (auto& c : cases) {
        _variant_t out;
        EXPECT_EQ(VariantChangeType(&out, &c.from, 0, c.to), c.hr) << c.label;
        if (c.hr != S_OK)
            continue;
        _variant_t asDouble;
        ASSERT_EQ(VariantChangeType(&asDouble, &out, 0, VT_R8), S_OK) << c.label;
        EXPECT_DOUBLE_EQ(asDouble.dblVal, c.expected) << c.label;
    }
    _variant_t text(u" 1234.5 ");
    text.ChangeType(VT_R8);
    EXPECT_DOUBLE_EQ(text.dblVal, 1234.5);
    _variant_t notANumber(u"abc");
    EXPECT_THROW(notANumber.ChangeType(VT_I4), _com_error);
    _variant_t date(COleDateTime(2024, 1, 31, 13, 5, 9).m_dt, VT_DATE);
    date.ChangeType(VT_BSTR);
    EXPECT_EQ(std::u16string(date.bstrVal), u"2024-01-31 13:05:09");
}

TEST(Bstr, KeepsLengthAndEmbeddedNul) {
    const char16_t text[] = {u'a', 0, u'b'};
    BSTR s = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[3], 0);
    _bstr_t copy(s, true);
    EXPECT_EQ(copy.length(), 3u);
    SysFreeString(s);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

TEST(DecimalText, ParsesExactlyOrRefuses) {
    DECIMAL d{};
    ASSERT_TRUE(provider::ParseDecimal("-12.34", d));
    EXPECT_EQ(d.Lo64, 1234u);
    EXPECT_EQ(d.scale, 2);
    EXPECT_EQ(d.sign, DECIMAL_NEG);
    ASSERT_TRUE(provider::ParseDecimal("79228162514264337593543950335", d));  // 2^96 - 1
    EXPECT_EQ(d.Hi32, 0xFFFFFFFFu);
    EXPECT_FALSE(provider::ParseDecimal("79228162514264337593543950336", d));
    EXPECT_FALSE(provider::ParseDecimal("12a", d));
    EXPECT_FALSE(provider::ParseDecimal("", d));
}

class Cursor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(m_connection.CreateInstance(__uuidof(Connection))));
        m_connection->Open(
            _bstr_t((std::string("Driver={SQLite3 ODBC Driver};Database=") + QUARVEL_SAMPLE_DB)
                        .c_str()),
            _bstr_t(""), _bstr_t(""), 0);
        ASSERT_TRUE(SUCCEEDED(m_rs.CreateInstance(__uuidof(Recordset))));
    }
    _ConnectionPtr m_connection;
    _RecordsetPtr m_rs;
};

TEST_F(Cursor, SortsByNamedColumnsAndRestoresTheOrder) {
    m_rs->Open(_variant_t(u"SELECT PartNo, Weight FROM Parts"),
               _variant_t(static_cast<IDispatch*>(m_connection.GetInterfacePtr())), adOpenStatic,
               adLockOptimistic, adCmdUnknown);
    m_rs->PutSort(_bstr_t(u"[Weight] DESC"));
    EXPECT_EQ(m_rs->GetFields()->GetItem(_variant_t(u"partno"))->GetValue().lVal, 1);  // 3.25
    m_rs->MoveLast();
    EXPECT_EQ(m_rs->GetFields()->GetItem(_variant_t(0L))->GetValue().lVal, 3);  // 0.15
    m_rs->PutSort(_bstr_t(u""));
    EXPECT_EQ(m_rs->GetFields()->GetItem(_variant_t(0L))->GetValue().lVal, 1);
    EXPECT_THROW(m_rs->PutSort(_bstr_t(u"NoSuchColumn")), _com_error);
}

TEST_F(Cursor, RefusesMisuseWithAdoCodes) {
    const _variant_t active(static_cast<IDispatch*>(m_connection.GetInterfacePtr()));
    const auto code = [](auto&& call) {
        try {
            call();
        } catch (const _com_error& e) {
            return static_cast<std::uint32_t>(e.Error());
        }
        return 0u;
    };
    EXPECT_EQ(code([&] { m_rs->GetRecordCount(); }), 0x800A0E78u);  // closed
    m_rs->Open(_variant_t(u"SELECT * FROM Parts WHERE 0"), active, adOpenStatic, adLockOptimistic,
               adCmdUnknown);
    EXPECT_EQ(m_rs->GetadoEOF(), VARIANT_TRUE);
    EXPECT_EQ(m_rs->GetBOF(), VARIANT_TRUE);
    EXPECT_EQ(code([&] { m_rs->GetFields()->GetItem(_variant_t(0L))->GetValue(); }), 0x800A0BCDu);
    EXPECT_EQ(code([&] {
                  m_rs->Open(_variant_t(u"SELECT 1"), active, adOpenStatic, adLockOptimistic, 1);
              }),
              0x800A0E79u);  // already open
    EXPECT_EQ(code([&] { m_rs->GetFields()->GetItem(_variant_t(u"Nope")); }), 0x800A0CC1u);
    m_rs->Close();
    EXPECT_EQ(code([&] { m_rs->Close(); }), 0x800A0E78u);
    EXPECT_EQ(code([&] { m_connection->OpenSchema(adSchemaColumns); }), 0x800A0CB3u);
    _RecordsetPtr none;
    EXPECT_EQ(code([&] { none->GetState(); }), 0x80004003u);
}

TEST(ExpressionTranslation, RewritesAccessSqlOrRefuses) {
    const struct {
        const char* access;
        const char* sqlite;  // nullptr: refused
    } cases[] = {
        {"[FirstName] & \" \" & [LastName]",
         "coalesce([FirstName], '') || coalesce(' ', '') || coalesce([LastName], '')"},
        {"Left([a], 2) & [b] = \"x\"", "coalesce(qv_left([a], 2), '') || coalesce([b], '') = 'x'"},
        {"([a] & [b]+1) = \"x\" AND [c] & \"y\" <> 'z'",
         "(coalesce([a], '') || coalesce([b]+1, '')) = 'x' AND coalesce([c], '') || coalesce('y', "
         "'') <> 'z'"},
        {"(((Orders.OrderDate) Between #1/1/95# And #12/31/95#))",
         "(((Orders.OrderDate) Between '1995-01-01 00:00:00' And '1995-12-31 00:00:00'))"},
        {"Products.Discontinued=No", "Products.Discontinued=0"},
        {"[Name] Like \"Ch*\"", "[Name] Like 'Ch%'"},
        {"CCur([Price]*2)", "round(([Price]*2), 4)"},
        {"Year([OrderDate])", "CAST(strftime('%Y', [OrderDate]) AS INTEGER)"},
        {"\"O'Brien\"", "'O''Brien'"},
        {"Format([OrderDate],\"yyyy\")", "qv_format([OrderDate],'yyyy')"},
        {"DLookup(\"x\", \"y\")", nullptr},
        {"[a] \\ 2", nullptr},
        {"[Forms]![Orders]![OrderID]", nullptr},
        {"([a]", nullptr},
    };
    for (const auto& c : cases) {
        std::string out, reason;
        const bool ok = provider::TranslateExpression(c.access, out, reason);
        EXPECT_EQ(ok, c.sqlite != nullptr) << c.access;
        if (ok && c.sqlite) {
            EXPECT_EQ(out, c.sqlite) << c.access;
        }
        if (!ok) {
            EXPECT_FALSE(reason.empty()) << c.access;
        }
    }
}

TEST(SavedQueryRebuild, JoinsDistinctRowAndRefusals) {
    using provider::QueryRow;
    const auto isTable = [](const std::string&) { return true; };
    // Customers right-joined to Orders, output from Customers only, unique records.
    const std::vector<QueryRow> quarterly = {
        {1, "", 1, "", ""},
        {3, "", 8, "", ""},
        {5, "", 0, "Customers", ""},
        {5, "", 0, "Orders", ""},
        {6, "Customers.CustomerID", 0, "", ""},
        {7, "Customers.CustomerID = Orders.CustomerID", 3, "Customers", "Orders"},
        {11, "Customers.CustomerID", 0, "D", ""},
    };
    const auto rebuilt = provider::RebuildSelectQuery(quarterly, isTable);
    ASSERT_TRUE(rebuilt.ok) << rebuilt.reason;
    EXPECT_EQ(rebuilt.sql,
              "SELECT Customers.CustomerID FROM [Customers] RIGHT JOIN [Orders] ON "
              "Customers.CustomerID = "
              "Orders.CustomerID GROUP BY [Customers].rowid ORDER BY Customers.CustomerID DESC");
    const std::vector<QueryRow> withParameter = {{1, "", 1, "", ""}, {2, "", 10, "Start date", ""}};
    EXPECT_FALSE(provider::RebuildSelectQuery(withParameter, isTable).ok);
    const std::vector<QueryRow> update = {{1, "", 4, "", ""}, {5, "", 0, "Orders", ""}};
    EXPECT_FALSE(provider::RebuildSelectQuery(update, isTable).ok);
}

}  // namespace
