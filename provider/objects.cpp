// The exported data-access objects: Connection, Recordset (client-side static cursor over a
// fetched ResultSet), Fields, Field and Command, and their creation through CoCreateInstance.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <numeric>

#include "platform/ado.h"
#include "provider/backend.h"

namespace provider {
namespace {

constexpr std::u16string_view kConnectionSource = u"ADODB.Connection";
constexpr std::u16string_view kRecordsetSource = u"ADODB.Recordset";
constexpr std::u16string_view kFieldsSource = u"ADODB.Fields";
constexpr std::u16string_view kCommandSource = u"ADODB.Command";

[[noreturn]] void FailClosed(std::u16string_view source) {
    Fail(QV_ADO_ERROR(adErrObjectClosed), source,
         "Operation is not allowed when the object is closed.");
}
[[noreturn]] void FailOpen(std::u16string_view source) {
    Fail(QV_ADO_ERROR(adErrObjectOpen), source,
         "Operation is not allowed when the object is open.");
}
[[noreturn]] void FailNoCurrentRecord() {
    Fail(QV_ADO_ERROR(adErrNoCurrentRecord), kRecordsetSource,
         "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
         "requires a current record.");
}
[[noreturn]] void FailNotFound() {
    Fail(QV_ADO_ERROR(adErrItemNotFound), kFieldsSource,
         "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

// Reference counting and interface lookup for one interface.
template <class I>
class ComObject : public I {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(I)) {
            *object = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

// The VARIANT for one stored cell of a column.
_variant_t MakeValue(const ResultSet& data, const Cell& cell, VARTYPE vt) {
    _variant_t v;
    switch (cell.kind) {
        case Cell::Kind::Null:
            v.vt = VT_NULL;
            break;
        case Cell::Kind::Integer:
            switch (vt) {
                case VT_UI1:
                    v.vt = VT_UI1, v.bVal = static_cast<BYTE>(cell.integer);
                    break;
                case VT_I2:
                    v.vt = VT_I2, v.iVal = static_cast<SHORT>(cell.integer);
                    break;
                case VT_I4:
                    v.vt = VT_I4, v.lVal = static_cast<LONG>(cell.integer);
                    break;
                case VT_BOOL:
                    v.vt = VT_BOOL, v.boolVal = cell.integer ? VARIANT_TRUE : VARIANT_FALSE;
                    break;
                case VT_CY:
                    v.vt = VT_CY, v.cyVal.int64 = cell.integer;
                    break;
                default:
                    v.vt = VT_I8, v.llVal = cell.integer;
                    break;
            }
            break;
        case Cell::Kind::Real:
            if (vt == VT_DATE) {
                v.vt = VT_DATE, v.date = cell.real;
            } else if (vt == VT_R4) {
                v.vt = VT_R4, v.fltVal = static_cast<float>(cell.real);
            } else {
                v.vt = VT_R8, v.dblVal = cell.real;
            }
            break;
        case Cell::Kind::Text: {
            const std::u16string_view s = data.Text(cell);
            v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
            if (!v.bstrVal)
                _com_issue_error(E_OUTOFMEMORY);
            v.vt = VT_BSTR;
            break;
        }
        case Cell::Kind::Blob: {
            const Blob& b = data.Bytes(cell);
            v.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(b.size()));
            if (!v.parray)
                _com_issue_error(E_OUTOFMEMORY);
            if (!b.empty())
                std::memcpy(v.parray->pvData, b.data(), b.size());
            v.vt = VT_ARRAY | VT_UI1;
            break;
        }
        case Cell::Kind::Decimal:
            v.decVal = data.Decimal(cell);
            v.vt = VT_DECIMAL;
            break;
    }
    return v;
}

long ActualSize(const ResultSet& data, const Cell& cell, const Column& column) {
    switch (cell.kind) {
        case Cell::Kind::Null:
            return 0;
        case Cell::Kind::Text:
            return static_cast<long>(cell.length * 2);
        case Cell::Kind::Blob:
            return static_cast<long>(data.Bytes(cell).size());
        default:
            return column.definedSize;
    }
}

// The order of two cells of one column: NULLs first; numbers compare by value across integer
// and real; otherwise by kind, then by value.
int CompareCells(const ResultSet& data, const Cell& a, const Cell& b) {
    if (a.kind != b.kind) {
        const auto number = [](const Cell& c, double& out) {
            if (c.kind == Cell::Kind::Integer)
                return out = static_cast<double>(c.integer), true;
            if (c.kind == Cell::Kind::Real)
                return out = c.real, true;
            return false;
        };
        double x = 0, y = 0;
        if (number(a, x) && number(b, y))
            return x < y ? -1 : x > y ? 1 : 0;
        return a.kind < b.kind ? -1 : 1;
    }
    switch (a.kind) {
        case Cell::Kind::Integer:
            return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
        case Cell::Kind::Real:
            return a.real < b.real ? -1 : a.real > b.real ? 1 : 0;
        case Cell::Kind::Text:
            return qv::CompareNoCase<char16_t>(data.Text(a), data.Text(b));
        case Cell::Kind::Blob: {
            const Blob& x = data.Bytes(a);
            const Blob& y = data.Bytes(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        case Cell::Kind::Decimal: {
            _variant_t va = MakeValue(data, a, VT_DECIMAL), vb = MakeValue(data, b, VT_DECIMAL);
            va.ChangeType(VT_R8);
            vb.ChangeType(VT_R8);
            return va.dblVal < vb.dblVal ? -1 : va.dblVal > vb.dblVal ? 1 : 0;
        }
        default:
            return 0;
    }
}

class ConnectionImpl;

class FieldsImpl;

class RecordsetImpl : public ComObject<_Recordset> {
public:
    RecordsetImpl() = default;
    ~RecordsetImpl() override;

    // Opens the recordset over fetched rows.
    void Attach(ResultSet rows) {
        m_data = std::make_shared<const ResultSet>(std::move(rows));
        m_order.resize(m_data->RowCount());
        std::iota(m_order.begin(), m_order.end(), std::size_t{0});
        m_sort.clear();
        m_pos = 0;
        m_open = true;
    }

    void PutCursorType(CursorTypeEnum type) override {
        if (m_open)
            FailOpen(kRecordsetSource);
        m_cursorType = type;
    }
    CursorTypeEnum GetCursorType() override { return m_cursorType; }
    void PutCursorLocation(CursorLocationEnum location) override {
        if (m_open)
            FailOpen(kRecordsetSource);
        m_location = location;
    }
    CursorLocationEnum GetCursorLocation() override { return m_location; }
    LockTypeEnum GetLockType() override { return m_lock; }

    HRESULT Open(const _variant_t& source, const _variant_t& activeConnection,
                 CursorTypeEnum cursorType, LockTypeEnum lockType, long options) override;

    HRESULT Close() override {
        if (!m_open)
            FailClosed(kRecordsetSource);
        m_open = false;
        m_data.reset();
        m_order.clear();
        m_sort.clear();
        return S_OK;
    }
    long GetState() override { return m_open ? adStateOpen : adStateClosed; }
    VARIANT_BOOL GetadoEOF() override {
        Require();
        return m_pos >= static_cast<long>(m_order.size()) ? VARIANT_TRUE : VARIANT_FALSE;
    }
    VARIANT_BOOL GetBOF() override {
        Require();
        return m_pos < 0 || m_order.empty() ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ADO_LONGPTR GetRecordCount() override {
        Require();
        // Every cursor of this provider is client-side and holds all rows, so the count is known.
        return static_cast<ADO_LONGPTR>(m_order.size());
    }
    HRESULT MoveFirst() override {
        Require();
        m_pos = 0;
        return S_OK;
    }
    HRESULT MoveLast() override {
        Require();
        if (m_order.empty())
            FailNoCurrentRecord();
        m_pos = static_cast<long>(m_order.size()) - 1;
        return S_OK;
    }
    HRESULT MoveNext() override {
        Require();
        if (m_pos >= static_cast<long>(m_order.size()))
            FailNoCurrentRecord();
        ++m_pos;
        return S_OK;
    }
    HRESULT MovePrevious() override {
        Require();
        if (m_pos < 0)
            FailNoCurrentRecord();
        --m_pos;
        return S_OK;
    }
    void PutSort(const _bstr_t& criteria) override;
    _bstr_t GetSort() override { return _bstr_t(std::u16string_view(m_sort)); }
    FieldsPtr GetFields() override;

    // For the Fields collection.
    void Require() const {
        if (!m_open)
            FailClosed(kRecordsetSource);
    }
    const ResultSet& Data() const {
        Require();
        return *m_data;
    }
    const Cell& Current(std::size_t column) const {
        Require();
        if (m_pos < 0 || m_pos >= static_cast<long>(m_order.size()))
            FailNoCurrentRecord();
        return (*m_data)[m_order[m_pos] * m_data->columns.size() + column];
    }
    bool AtRow() const { return m_open && m_pos >= 0 && m_pos < static_cast<long>(m_order.size()); }
    long FindColumn(const _variant_t& index) const;

private:
    bool m_open = false;
    std::shared_ptr<const ResultSet> m_data;
    std::vector<std::size_t> m_order;
    long m_pos = 0;
    std::u16string m_sort;
    _com_ptr_t<FieldsImpl> m_fields;  // made on first use, detached when the record set goes
    CursorTypeEnum m_cursorType = adOpenForwardOnly;
    CursorLocationEnum m_location = adUseServer;
    LockTypeEnum m_lock = adLockReadOnly;
};

// Fields and Field objects are made once per record set and handed out again; they point
// back at their record set without owning it, and are detached when it goes.
class FieldImpl : public ComObject<Field> {
public:
    FieldImpl(RecordsetImpl* rs, std::size_t column) : m_rs(rs), m_column(column) {}
    // The column is checked before the row is read: a field kept from an earlier opening
    // may name a column the record set no longer has.
    _variant_t GetValue() override {
        const Column& column = Col();
        const RecordsetImpl& rs = Rs();
        return MakeValue(rs.Data(), rs.Current(m_column), column.vt);
    }
    _bstr_t GetName() override { return _bstr_t(std::u16string_view(Col().name)); }
    DataTypeEnum GetType() override { return Col().type; }
    ADO_LONGPTR GetDefinedSize() override { return Col().definedSize; }
    long GetAttributes() override { return Col().attributes; }
    ADO_LONGPTR GetActualSize() override {
        const Column& column = Col();
        const RecordsetImpl& rs = Rs();
        return ActualSize(rs.Data(), rs.Current(m_column), column);
    }
    unsigned char GetPrecision() override { return Col().precision; }
    unsigned char GetNumericScale() override { return Col().scale; }
    void Detach() { m_rs = nullptr; }

private:
    RecordsetImpl& Rs() const {
        if (!m_rs)
            FailClosed(kRecordsetSource);
        return *m_rs;
    }
    const Column& Col() const {
        const ResultSet& data = Rs().Data();
        if (m_column >= data.columns.size())
            FailNotFound();
        return data.columns[m_column];
    }
    RecordsetImpl* m_rs;
    std::size_t m_column;
};

class FieldsImpl : public ComObject<Fields> {
public:
    explicit FieldsImpl(RecordsetImpl* rs) : m_rs(rs) {}
    long GetCount() override { return static_cast<long>(Rs().Data().columns.size()); }
    FieldPtr GetItem(const _variant_t& index) override {
        const auto column = static_cast<std::size_t>(Rs().FindColumn(index));
        if (m_items.size() <= column)
            m_items.resize(column + 1);
        if (!m_items[column])
            m_items[column].Attach(new FieldImpl(m_rs, column));
        return FieldPtr(m_items[column].GetInterfacePtr());
    }
    void Detach() {
        m_rs = nullptr;
        for (auto& item : m_items) {
            if (item)
                item->Detach();
        }
        m_items.clear();
    }

private:
    RecordsetImpl& Rs() const {
        if (!m_rs)
            FailClosed(kRecordsetSource);
        return *m_rs;
    }
    RecordsetImpl* m_rs;
    std::vector<_com_ptr_t<FieldImpl>> m_items;
};

RecordsetImpl::~RecordsetImpl() {
    if (m_fields)
        m_fields->Detach();
}

long RecordsetImpl::FindColumn(const _variant_t& index) const {
    const auto& columns = Data().columns;
    if (index.vt == VT_BSTR) {
        const std::u16string_view name(index.bstrVal ? index.bstrVal : u"",
                                       SysStringLen(index.bstrVal));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (qv::CompareNoCase<char16_t>(columns[c].name, name) == 0)
                return static_cast<long>(c);
        }
        FailNotFound();
    }
    long requested = -1;
    if (index.vt == VT_I2) {
        requested = index.iVal;
    } else if (index.vt == VT_I4) {
        requested = index.lVal;
    } else {
        _variant_t position;
        if (FAILED(VariantChangeType(&position, &index, 0, VT_I4)))
            FailNotFound();
        requested = position.lVal;
    }
    if (requested < 0 || requested >= static_cast<long>(columns.size()))
        FailNotFound();
    return requested;
}

FieldsPtr RecordsetImpl::GetFields() {
    Require();
    if (!m_fields)
        m_fields.Attach(new FieldsImpl(this));
    return FieldsPtr(m_fields.GetInterfacePtr());
}

void RecordsetImpl::PutSort(const _bstr_t& criteria) {
    Require();
    const std::u16string text(criteria.View());
    const auto trim = [](std::u16string s) {
        const auto a = s.find_first_not_of(u" \t");
        const auto b = s.find_last_not_of(u" \t");
        return a == std::u16string::npos ? std::u16string() : s.substr(a, b - a + 1);
    };
    // "Name [ASC|DESC]" items separated by commas; names may be bracketed.
    std::vector<std::pair<long, bool>> keys;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u',', start);
        if (end == std::u16string::npos)
            end = text.size();
        std::u16string item = trim(text.substr(start, end - start));
        start = end + 1;
        if (item.empty())
            continue;
        bool descending = false;
        const auto space = item.find_last_of(u" \t");
        if (space != std::u16string::npos) {
            const std::u16string word = item.substr(space + 1);
            if (qv::CompareNoCase<char16_t>(word, u"DESC") == 0 ||
                qv::CompareNoCase<char16_t>(word, u"ASC") == 0) {
                descending = qv::CompareNoCase<char16_t>(word, u"DESC") == 0;
                item = trim(item.substr(0, space));
            }
        }
        if (item.size() >= 2 && item.front() == u'[' && item.back() == u']')
            item = item.substr(1, item.size() - 2);
        keys.emplace_back(FindColumn(_variant_t(_bstr_t(std::u16string_view(item)))), descending);
    }
    std::iota(m_order.begin(), m_order.end(), std::size_t{0});
    const std::size_t width = m_data->columns.size();
    // No keys (an empty criterion, as when a record set closes): the rows keep their order.
    if (!keys.empty())
        std::stable_sort(m_order.begin(), m_order.end(), [&](std::size_t a, std::size_t b) {
            for (const auto& [column, descending] : keys) {
                const int c = CompareCells(*m_data, (*m_data)[a * width + column],
                                           (*m_data)[b * width + column]);
                if (c != 0)
                    return descending ? c > 0 : c < 0;
            }
            return false;
        });
    m_sort = text;
    m_pos = 0;
}

class ConnectionImpl : public ComObject<_Connection> {
public:
    long GetState() override { return m_backend ? adStateOpen : adStateClosed; }
    void PutConnectionTimeout(long seconds) override {
        if (m_backend)
            FailOpen(kConnectionSource);
        m_timeout = seconds;
    }
    long GetConnectionTimeout() override { return m_timeout; }
    void PutCommandTimeout(long seconds) override { m_commandTimeout = seconds; }
    long GetCommandTimeout() override { return m_commandTimeout; }
    void PutCursorLocation(CursorLocationEnum location) override { m_location = location; }
    CursorLocationEnum GetCursorLocation() override { return m_location; }
    _bstr_t GetConnectionString() override { return _bstr_t(std::u16string_view(m_text)); }

    HRESULT Open(const _bstr_t& connectionString, const _bstr_t& userId, const _bstr_t& password,
                 long) override {
        if (m_backend)
            FailOpen(kConnectionSource);
        const std::u16string text(connectionString.length() ? connectionString.View()
                                                            : std::u16string_view(m_text));
        m_backend = OpenBackend(qv::ToUtf8(text), userId.Utf8(), password.Utf8());
        m_text = text;
        return S_OK;
    }
    HRESULT Close() override {
        if (!m_backend)
            FailClosed(kConnectionSource);
        m_backend.reset();
        return S_OK;
    }
    _RecordsetPtr Execute(const _bstr_t& commandText, VARIANT* recordsAffected, long) override {
        ResultSet rows = Source().Query(std::u16string(commandText.View()));
        if (recordsAffected) {
            VariantClear(recordsAffected);
            recordsAffected->vt = VT_I4;
            recordsAffected->lVal = -1;
        }
        return Wrap(std::move(rows));
    }
    _RecordsetPtr OpenSchema(SchemaEnum schema, const _variant_t&, const _variant_t&) override {
        if (schema != adSchemaTables) {
            Fail(QV_ADO_ERROR(adErrFeatureNotAvailable), kConnectionSource,
                 "Object or provider is not capable of performing requested operation.");
        }
        return Wrap(Source().Tables());
    }

    Backend& Source() {
        if (!m_backend)
            FailClosed(kConnectionSource);
        return *m_backend;
    }
    static _RecordsetPtr Wrap(ResultSet rows) {
        auto* rs = new RecordsetImpl;
        _RecordsetPtr result(rs, false);
        rs->PutCursorType(adOpenStatic);
        rs->PutCursorLocation(adUseClient);
        rs->Attach(std::move(rows));
        return result;
    }

private:
    std::unique_ptr<Backend> m_backend;
    std::u16string m_text;
    long m_timeout = 15;
    long m_commandTimeout = 30;
    CursorLocationEnum m_location = adUseServer;
};

ConnectionImpl* AsConnection(const VARIANT& v) {
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
        return dynamic_cast<ConnectionImpl*>(v.punkVal);
    }
    return nullptr;
}

// Runs a command of the given type: text, a table name, or a saved query / procedure name.
ResultSet RunCommand(Backend& backend, const std::u16string& text, long type) {
    switch (type) {
        case adCmdTable:
        case adCmdTableDirect:
        case adCmdStoredProc:
            return backend.Query(u"SELECT * FROM " + backend.QuoteName(text));
        default:
            return backend.Query(text);
    }
}

HRESULT RecordsetImpl::Open(const _variant_t& source, const _variant_t& activeConnection,
                            CursorTypeEnum cursorType, LockTypeEnum lockType, long options) {
    if (m_open)
        FailOpen(kRecordsetSource);
    if (cursorType != adOpenUnspecified)
        m_cursorType = cursorType;
    if (lockType != adLockUnspecified)
        m_lock = lockType;
    _com_ptr_t<_Connection> own;
    ConnectionImpl* connection = AsConnection(activeConnection);
    if (!connection && activeConnection.vt == VT_BSTR) {
        // A connection string: the recordset opens its own connection.
        auto* created = new ConnectionImpl;
        own.Attach(created);
        created->Open(_bstr_t(activeConnection.bstrVal, true), _bstr_t(), _bstr_t(), 0);
        connection = created;
    }
    if (!connection || connection->GetState() == adStateClosed) {
        Fail(QV_ADO_ERROR(adErrInvalidConnection), kRecordsetSource,
             "The connection cannot be used to perform this operation. It is either closed or "
             "invalid in this context.");
    }
    if (source.vt != VT_BSTR) {
        Fail(
            QV_ADO_ERROR(adErrInvalidArgument), kRecordsetSource,
            "Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
            "one another.");
    }
    const std::u16string text(source.bstrVal ? source.bstrVal : u"", SysStringLen(source.bstrVal));
    // A client cursor engine fetches every row, so the count and the order are known at once.
    Attach(RunCommand(connection->Source(), text, options & 0x3FF));
    return S_OK;
}

class CommandImpl : public ComObject<_Command> {
public:
    void putref_ActiveConnection(_Connection* connection) override {
        m_connection = _com_ptr_t<_Connection>(connection);
    }
    void PutActiveConnection(const _variant_t& connection) override {
        ConnectionImpl* c = AsConnection(connection);
        if (!c) {
            Fail(QV_ADO_ERROR(adErrInvalidConnection), kCommandSource,
                 "The connection cannot be used to perform this operation. It is either closed or "
                 "invalid in this context.");
        }
        m_connection = _com_ptr_t<_Connection>(c);
    }
    void PutCommandText(const _bstr_t& text) override { m_text = text.View(); }
    _bstr_t GetCommandText() override { return _bstr_t(std::u16string_view(m_text)); }
    void PutCommandType(CommandTypeEnum type) override { m_type = type; }
    CommandTypeEnum GetCommandType() override { return m_type; }
    _RecordsetPtr Execute(VARIANT* recordsAffected, VARIANT*, long options) override {
        auto* connection = dynamic_cast<ConnectionImpl*>(m_connection.GetInterfacePtr());
        if (!connection || connection->GetState() == adStateClosed) {
            Fail(QV_ADO_ERROR(adErrInvalidConnection), kCommandSource,
                 "The connection cannot be used to perform this operation. It is either closed or "
                 "invalid in this context.");
        }
        const long type = m_type != adCmdUnspecified && m_type != adCmdUnknown
                              ? static_cast<long>(m_type)
                              : (options & 0x3FF);
        if (recordsAffected) {
            VariantClear(recordsAffected);
            recordsAffected->vt = VT_I4;
            recordsAffected->lVal = -1;
        }
        return ConnectionImpl::Wrap(RunCommand(connection->Source(), m_text, type));
    }

private:
    _com_ptr_t<_Connection> m_connection;
    std::u16string m_text;
    CommandTypeEnum m_type = adCmdUnknown;
};

}  // namespace
}  // namespace provider

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* created = nullptr;
    try {
        if (clsid == __uuidof(Connection)) {
            created = static_cast<_Connection*>(new provider::ConnectionImpl);
        } else if (clsid == __uuidof(Recordset)) {
            created = static_cast<_Recordset*>(new provider::RecordsetImpl);
        } else if (clsid == __uuidof(Command)) {
            created = static_cast<_Command*>(new provider::CommandImpl);
        } else {
            return REGDB_E_CLASSNOTREG;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}
