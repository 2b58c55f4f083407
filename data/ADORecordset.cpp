#include "data/ADORecordset.h"

#include <cmath>

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
    return ReadCellValue(_variant_t(static_cast<short>(position)), text, dateFormat);
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

}  // namespace

bool ValueToCellText(const VARIANT& value, CString& text, LPCTSTR dateFormat) {
    CString result;
    switch (value.vt) {
        case VT_EMPTY:
        case VT_NULL:
            break;
        case VT_I2:
            result.Format(_T("%d"), value.iVal);
            break;
        case VT_UI1:
            result.Format(_T("%u"), value.bVal);
            break;
        case VT_I4:
            result.Format(_T("%ld"), value.lVal);
            break;
        case VT_INT:
            result.Format(_T("%d"), value.intVal);
            break;
        case VT_UI4:
            result.Format(_T("%lu"), value.ulVal);
            break;
        // 64-bit integers give their digits like the other integers rather than no text.
        case VT_I8:
            result.Format(_T("%lld"), value.llVal);
            break;
        case VT_UI8:
            result.Format(_T("%llu"), value.ullVal);
            break;
        case VT_R4:
            result.Format(_T("%g"), static_cast<double>(value.fltVal));
            break;
        case VT_R8:
            result.Format(_T("%g"), value.dblVal);
            break;
        case VT_DECIMAL: {
            const DECIMAL& d = value.decVal;
            const double mantissa =
                static_cast<double>(d.Hi32) * 18446744073709551616.0 + static_cast<double>(d.Lo64);
            const double sign = d.sign == DECIMAL_NEG ? -1.0 : 1.0;
            result.Format(_T("%g"), sign * mantissa / std::pow(10.0, d.scale));
            break;
        }
        case VT_CY:
            result = CurrencyText(value);
            break;
        case VT_DATE: {
            const CString format(dateFormat ? dateFormat : _T(""));
            result = COleDateTime(value.date)
                         .Format(format.IsEmpty() ? _T("%Y-%m-%d %H:%M:%S") : format.GetString());
            break;
        }
        case VT_BSTR:
            result = CString(static_cast<const char16_t*>(value.bstrVal ? value.bstrVal : u""));
            break;
        case VT_BOOL:
            result = value.boolVal == VARIANT_TRUE ? _T("T") : _T("F");
            break;
        default:
            return false;
    }
    text = result;
    return true;
}
