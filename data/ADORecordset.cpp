#include "data/ADORecordset.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "platform/ATLComTime.h"
#include "platform/winnls.h"

CADORecordset::CADORecordset(CADODatabase* pDatabase) : m_lastErrorCode(0) {
    // Either object stays null when it cannot be created; its use then raises E_POINTER.
    m_pRecordset.CreateInstance(__uuidof(Recordset), nullptr, CLSCTX_ALL);
    m_pCommand.CreateInstance(__uuidof(Command), nullptr, CLSCTX_ALL);
    if (pDatabase)
        m_pConnection = pDatabase->GetConnection();
}

CADORecordset::~CADORecordset() {
    try {
        CloseQuery();
    } catch (const _com_error&) {
        // A destructor cannot pass the provider's error on; the objects are released below.
    }
    m_pRecordset = nullptr;
    m_pCommand = nullptr;
    m_pConnection = nullptr;
    m_queryText.Empty();
    m_lastErrorText.Empty();
}

void CADORecordset::Report(const _com_error& e) {
    ReportProviderError(e, ADO_RECORDSET_ERROR_FORMAT, _T("Query = ") + m_queryText,
                        m_lastErrorText, m_lastErrorCode);
}

bool CADORecordset::OpenQuery(LPCTSTR text, int mode) {
    return OpenQuery(m_pConnection, text, mode);
}

bool CADORecordset::OpenQuery(_ConnectionPtr connection, LPCTSTR text, int mode) {
    CloseQuery();
    ForgetFields();
    const CString newText(text ? text : _T(""));
    if (!newText.IsEmpty())
        m_queryText = newText;
    if (!m_pConnection)
        m_pConnection = connection;
    m_queryText.TrimLeft();
    try {
        m_pRecordset->PutCursorType(adOpenStatic);
        m_pRecordset->PutCursorLocation(adUseClient);
        const _variant_t source(_bstr_t(m_queryText.GetString()));
        const _variant_t active(static_cast<IDispatch*>(connection.GetInterfacePtr()), true);
        switch (mode) {
            case openUnknown:
            case openQuery:
                m_pRecordset->Open(source, active, adOpenStatic, adLockOptimistic, adCmdUnknown);
                break;
            case openTable:
                m_pRecordset->Open(source, active, adOpenKeyset, adLockOptimistic, adCmdTable);
                break;
            case openStoredProc:
                m_pCommand->PutActiveConnection(active);
                m_pCommand->PutCommandText(_bstr_t(m_queryText.GetString()));
                m_pCommand->PutCommandType(adCmdStoredProc);
                connection->PutCursorLocation(adUseClient);
                m_pRecordset = m_pCommand->Execute(nullptr, nullptr, adCmdText);
                break;
            default:
                return false;
        }
        return m_pRecordset && m_pRecordset->GetState() != adStateClosed;
    } catch (const _com_error& e) {
        Report(e);
        return false;
    }
}

bool CADORecordset::OpenSchemaRows(int schema, LPCTSTR schemaId) {
    ForgetFields();
    try {
        const CString id(schemaId ? schemaId : _T(""));
        if (id.IsEmpty()) {
            m_pRecordset = m_pConnection->OpenSchema(static_cast<SchemaEnum>(schema));
        } else {
            m_pRecordset = m_pConnection->OpenSchema(adSchemaProviderSpecific, vtMissing,
                                                     _variant_t(_bstr_t(id.GetString())));
        }
        return true;
    } catch (const _com_error& e) {
        Report(e);
        return false;
    }
}

bool CADORecordset::IsQueryOpen() {
    return m_pRecordset && m_pConnection && m_pConnection->GetState() != adStateClosed &&
           m_pRecordset->GetState() != adStateClosed;
}

void CADORecordset::CloseQuery() {
    ForgetFields();
    if (IsQueryOpen()) {
        m_pRecordset->PutSort(_bstr_t(u""));
        m_pRecordset->Close();
    }
}

long CADORecordset::CountRows() {
    const long count = m_pRecordset->GetRecordCount();
    if (count != -1)
        return count;
    // The provider cannot tell: count by walking, then go back to the first row.
    long walked = 0;
    if (m_pRecordset->GetadoEOF() != VARIANT_TRUE)
        m_pRecordset->MoveFirst();
    while (m_pRecordset->GetadoEOF() != VARIANT_TRUE) {
        m_pRecordset->MoveNext();
        ++walked;
    }
    if (walked != 0)
        m_pRecordset->MoveFirst();
    return walked;
}

long CADORecordset::CountColumns() {
    return m_pRecordset->GetFields()->GetCount();
}

bool CADORecordset::AtEndOfRows() {
    return m_pRecordset->GetadoEOF() == VARIANT_TRUE;
}

void CADORecordset::ToFirstRow() {
    m_pRecordset->MoveFirst();
}

void CADORecordset::ToNextRow() {
    m_pRecordset->MoveNext();
}

bool CADORecordset::ReadColumnFacts(int position, ColumnFacts& facts) {
    facts = ColumnFacts{};
    FieldPtr field = m_pRecordset->GetFields()->GetItem(_variant_t(static_cast<short>(position)));
    const CString name(static_cast<const char16_t*>(field->GetName()));
    // Copy at most 63 code units, never splitting a character.
    int n = std::min(name.GetLength(), 63);
    if (n < name.GetLength()) {
        if constexpr (sizeof(TCHAR) == 1) {
            while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
                --n;
        } else {
            const auto unit = static_cast<std::uint32_t>(name[n]);
            if (n > 0 && unit >= 0xDC00 && unit <= 0xDFFF)
                --n;
        }
    }
    for (int i = 0; i < n; ++i)
        facts.szName[i] = name[i];
    facts.szName[n] = 0;
    facts.lDefinedSize = static_cast<LONG>(field->GetDefinedSize());
    facts.nType = static_cast<SHORT>(field->GetType());
    facts.lAttributes = field->GetAttributes();
    if (!AtEndOfRows())
        facts.lActualSize = static_cast<LONG>(field->GetActualSize());
    return true;
}

bool CADORecordset::ReadCellText(LPCTSTR column, CString& text, LPCTSTR dateFormat) {
    return ReadCellValue(_variant_t(_bstr_t(column ? column : _T(""))), text, dateFormat);
}

bool CADORecordset::ReadCellText(int position, CString& text, LPCTSTR dateFormat) {
    try {
        if (Field* field = FieldAt(position))
            return ValueToCellText(field->GetValue(), text, dateFormat);
    } catch (const _com_error& e) {
        Report(e);
        return false;
    }
    // Not a column of the record set: the collection reports it.
    return ReadCellValue(_variant_t(static_cast<short>(position)), text, dateFormat);
}

Field* CADORecordset::FieldAt(int position) {
    _Recordset* const recordset = m_pRecordset.GetInterfacePtr();
    if (recordset != m_fieldsOf) {
        // Another record set than the one the fields were fetched from (a caller may set
        // m_pRecordset itself).
        ForgetFields();
        m_fieldsOf = recordset;
    }
    if (!recordset || position < 0 || position > SHRT_MAX)
        return nullptr;
    if (m_fields.empty())
        m_fields.resize(static_cast<std::size_t>(std::max(0L, CountColumns())));
    if (static_cast<std::size_t>(position) >= m_fields.size())
        return nullptr;
    FieldPtr& field = m_fields[static_cast<std::size_t>(position)];
    if (!field)
        field = m_pRecordset->GetFields()->GetItem(_variant_t(static_cast<short>(position)));
    return field.GetInterfacePtr();
}

void CADORecordset::ForgetFields() {
    m_fields.clear();
    m_fieldsOf = nullptr;
}

bool CADORecordset::ReadCellValue(const _variant_t& index, CString& text, LPCTSTR dateFormat) {
    try {
        const _variant_t value = m_pRecordset->GetFields()->GetItem(index)->GetValue();
        return ValueToCellText(value, text, dateFormat);
    } catch (const _com_error& e) {
        Report(e);
        return false;
    }
}

namespace {

// Replaces the text with ASCII characters (digits, a date), reusing its storage (assigning a
// range of another character type would build a temporary string first).
void AssignAscii(CString& text, std::string_view ascii) {
    auto& out = text.Str();
    if constexpr (sizeof(TCHAR) == 1) {
        out.assign(ascii.begin(), ascii.end());
    } else {
        out.resize(ascii.size());
        for (std::size_t i = 0; i < ascii.size(); ++i)
            out[i] = static_cast<TCHAR>(ascii[i]);
    }
}

// Replaces out with a UTF-16 string in out's width, reusing its storage.
template <class C>
void AssignFromUtf16(std::basic_string<C>& out, std::u16string_view s) {
    if constexpr (sizeof(C) == 1) {
        // Written in place into room for the longest result: a unit gives at most three bytes
        // (a surrogate pair, two units, gives four; a lone surrogate gives U+FFFD, three).
        out.resize(s.size() * 3);
        char* p = out.data();
        for (std::size_t i = 0; i < s.size();) {
            if (s[i] < 0x80) {
                *p++ = static_cast<char>(s[i++]);  // ASCII, the common case
                continue;
            }
            p = qv::WriteUtf8(p, qv::DecodeUtf16(s, i));
        }
        out.resize(static_cast<std::size_t>(p - out.data()));
    } else {
        out.assign(s.begin(), s.end());
    }
}

// Replaces the text with a string of the provider. The string ends at its first terminator,
// as when it is copied into a CString.
void AssignProviderText(CString& text, const char16_t* s) {
    AssignFromUtf16(text.Str(), std::u16string_view(s ? s : u""));
}

// The decimal digits of an integer, as "%d" and its relatives give them.
template <class Integer>
void IntegerText(Integer value, CString& text) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    AssignAscii(text, std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
}

// A valid date's parts as strftime's "%Y-%m-%d %H:%M:%S" lays them out: the year without
// leading zeros (dates run from the year 100 to 9999), the other parts in two digits.
std::string_view DefaultDateText(const std::tm& parts, char (&out)[32]) {
    char* p = std::to_chars(out, out + 8, parts.tm_year + 1900).ptr;
    const auto two = [&p](char separator, int value) {
        *p++ = separator;
        *p++ = static_cast<char>('0' + value / 10);
        *p++ = static_cast<char>('0' + value % 10);
    };
    two('-', parts.tm_mon + 1);
    two('-', parts.tm_mday);
    two(' ', parts.tm_hour);
    two(':', parts.tm_min);
    two(':', parts.tm_sec);
    return std::string_view(out, static_cast<std::size_t>(p - out));
}

CString CurrencyText(const VARIANT& value) {
    _variant_t number;
    if (FAILED(VariantChangeType(&number, &value, 0, VT_R8)))
        return CString();
    CString plain;
    plain.Format(_T("%f"), number.dblVal);
    TCHAR formatted[64] = {};
    if (GetCurrencyFormat(LOCALE_USER_DEFAULT, 0, plain.GetString(), nullptr, formatted, 63) > 0) {
        return CString(formatted);
    }
    return plain;
}

// A number's digits and the power of ten of its last digit, without leading or trailing
// zeros: "12.50" and "1.25e+01" both give ("125", -1). False for text that is not a number.
struct Digits {
    bool negative = false;
    std::string digits;
    long exponent = 0;
    bool operator==(const Digits&) const = default;
};

bool ParseDigits(std::string_view text, Digits& out) {
    out = Digits{};
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        out.negative = text[i++] == '-';
    long fraction = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            any = true;
            out.digits += c;
            if (point)
                ++fraction;
        } else {
            break;
        }
    }
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        if (i + 1 >= text.size())
            return false;
        const auto [end, ec] = std::from_chars(text.data() + i + 1 + (text[i + 1] == '+'),
                                               text.data() + text.size(), exponent);
        if (ec != std::errc() || end != text.data() + text.size())
            return false;
    } else if (i != text.size()) {
        return false;
    }
    if (!any)
        return false;
    const std::size_t first = out.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        out = Digits{};  // zero, whatever its sign
        return true;
    }
    out.digits.erase(0, first);
    const std::size_t last = out.digits.find_last_not_of('0');
    out.exponent = exponent - fraction + static_cast<long>(out.digits.size() - last - 1);
    out.digits.erase(last + 1);
    return true;
}

CString Narrow(std::string_view text) {
    return CString(qv::ConvertText<TCHAR>(text));
}

// The digits of a scientific text ("-1.2345" of "-1.2345e+02") written without an exponent,
// for a power of ten from -4 to 5: "-123.45". Out has room for 16 characters.
std::string_view FixedLayout(std::string_view mantissa, int exponent, char* out) {
    char* p = out;
    if (!mantissa.empty() && mantissa[0] == '-') {
        *p++ = '-';
        mantissa.remove_prefix(1);
    }
    char buffer[32];  // a double's shortest mantissa has at most 17 digits
    std::size_t count = 0;
    for (char c : mantissa) {
        if (c != '.' && count < sizeof buffer)
            buffer[count++] = c;
    }
    const std::string_view digits(buffer, count);
    if (exponent < 0) {
        // 0.000ddd
        *p++ = '0';
        *p++ = '.';
        for (int k = -1; k > exponent; --k)
            *p++ = '0';
        for (char c : digits)
            *p++ = c;
    } else {
        // The whole part, padded with zeros, then the fraction if any.
        const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
        for (std::size_t k = 0; k < whole; ++k)
            *p++ = k < digits.size() ? digits[k] : '0';
        if (digits.size() > whole) {
            *p++ = '.';
            for (std::size_t k = whole; k < digits.size(); ++k)
                *p++ = digits[k];
        }
    }
    return std::string_view(out, static_cast<std::size_t>(p - out));
}

// True when text reads back as exactly the value.
template <class Real>
bool ReadsBack(std::string_view text, Real value) {
    Real back = 0;
    const char* end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, back);
    return read.ec == std::errc() && read.ptr == end && back == value;
}

// The "%g" text when it reads back as the same value; otherwise the shortest text that does
// (six significant digits would silently round 1234567.89 to 1.23457e+06).
template <class Real>
void RealText(Real value, CString& text) {
    char printed[64];
    if (!std::isfinite(value)) {
        std::snprintf(printed, sizeof printed, "%g", static_cast<double>(value));
        AssignAscii(text, printed);
        return;
    }
    // The shortest digits that read back.
    char shortest[64];
    const auto written =
        std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    const std::string_view scientific(shortest, static_cast<std::size_t>(written.ptr - shortest));
    const std::size_t e = scientific.find('e');
    int precision = 0;
    for (char c : scientific.substr(0, e))
        precision += c >= '0' && c <= '9' ? 1 : 0;
    if (precision <= 6 && (value == 0 || std::fabs(value) >= std::numeric_limits<Real>::min())) {
        // Six digits or fewer: "%g" prints these very digits, since two different texts of six
        // digits lie further apart than a normal number's neighbours. "%g" lays them out fixed
        // for a power of ten from -4 to 5, else with an exponent; the shortest texts of
        // to_chars are laid out as "%g" lays out its digits.
        int exponent = 0;
        std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'),
                        scientific.data() + scientific.size(), exponent);
        if (exponent < -4 || exponent >= 6) {
            AssignAscii(text, scientific);
            return;
        }
        AssignAscii(text, FixedLayout(scientific.substr(0, e), exponent, printed));
        return;
    }
    // to_chars with a precision lays out the digits exactly as printf's "%.6g" (that is "%g")
    // does, without printf's cost of parsing its format on every cell. More than six digits
    // never read back from "%g"; a number below the normal range may.
    if (precision <= 6) {
        const auto general =
            std::to_chars(printed, printed + sizeof printed, static_cast<double>(value),
                          std::chars_format::general, 6);
        const std::string_view g(printed, static_cast<std::size_t>(general.ptr - printed));
        if (ReadsBack(g, value)) {
            AssignAscii(text, g);
            return;
        }
    }
    // The shortest digits that read back, laid out as "%g" lays out that many digits: fixed
    // for 9999999999.99 and 1234567, an exponent for 1.2345678901234567e+20.
    const auto again = std::to_chars(printed, printed + sizeof printed, static_cast<double>(value),
                                     std::chars_format::general, std::max(precision, 6));
    const std::string_view g(printed, static_cast<std::size_t>(again.ptr - printed));
    AssignAscii(text, ReadsBack(g, value) ? g : scientific);
}

// The "%g" text of the decimal as a double when it stands for the decimal's exact value;
// otherwise the exact digits (sign, integer part, then the scale's digits after the point).
CString DecimalText(const DECIMAL& d) {
    const unsigned __int128 mantissa =
        (static_cast<unsigned __int128>(d.Hi32) << 64) | static_cast<unsigned __int128>(d.Lo64);
    std::string digits;
    for (unsigned __int128 m = mantissa; m != 0; m /= 10)
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    const std::size_t scale = d.scale <= 28 ? d.scale : 28;
    if (digits.size() <= scale)
        digits.insert(0, scale - digits.size() + 1, '0');
    if (scale > 0)
        digits.insert(digits.size() - scale, 1, '.');
    const bool negative = d.sign == DECIMAL_NEG && mantissa != 0;
    const std::string exact = (negative ? "-" : "") + digits;

    const double approx = (negative ? -1.0 : 1.0) * static_cast<double>(mantissa) /
                          std::pow(10.0, static_cast<double>(scale));
    char printed[64];
    std::snprintf(printed, sizeof printed, "%g", approx);
    Digits wanted, shown;
    if (ParseDigits(exact, wanted) && ParseDigits(printed, shown) && wanted == shown)
        return Narrow(printed);
    return Narrow(exact);
}

}  // namespace

// Every listed tag sets the text and gives true; the others leave it as it is.
bool ValueToCellText(const VARIANT& value, CString& text, LPCTSTR dateFormat) {
    switch (value.vt) {
        case VT_EMPTY:
        case VT_NULL:
            text.Empty();
            return true;
        case VT_I2:
            IntegerText(value.iVal, text);
            return true;
        case VT_UI1:
            IntegerText(value.bVal, text);
            return true;
        case VT_I4:
            IntegerText(value.lVal, text);
            return true;
        case VT_INT:
            IntegerText(value.intVal, text);
            return true;
        case VT_UI4:
            IntegerText(value.ulVal, text);
            return true;
        // 64-bit integers give their digits like the other integers rather than no text.
        case VT_I8:
            IntegerText(value.llVal, text);
            return true;
        case VT_UI8:
            IntegerText(value.ullVal, text);
            return true;
        case VT_R4:
            RealText(value.fltVal, text);
            return true;
        case VT_R8:
            RealText(value.dblVal, text);
            return true;
        case VT_DECIMAL:
            text = DecimalText(value.decVal);
            return true;
        case VT_CY:
            text = CurrencyText(value);
            return true;
        case VT_DATE: {
            if (dateFormat && *dateFormat) {
                text = COleDateTime(value.date).Format(dateFormat);
                return true;
            }
            // The default form; an invalid date gives the empty text.
            std::tm parts{};
            char printed[32];
            if (COleDateTime(value.date).GetAsTm(parts)) {
                AssignAscii(text, DefaultDateText(parts, printed));
            } else {
                text.Empty();
            }
            return true;
        }
        case VT_BSTR:
            AssignProviderText(text, value.bstrVal);
            return true;
        case VT_BOOL:
            AssignAscii(text, value.boolVal == VARIANT_TRUE ? "T" : "F");
            return true;
        default:
            return false;
    }
}
