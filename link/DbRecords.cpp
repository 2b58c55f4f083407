#include "link/DbRecords.h"

#include <filesystem>
#include <utility>

#include "data/ADORecordset.h"
#include "link/TableLink.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/afxwin.h"
#include "platform/dbmain.h"
#include "platform/odbcinst.h"
#include "platform/shlwapi.h"

CDatabasePtrArray g_dbList;
CMapStringToString ConnectTemplateMap(10);

namespace {

// A driver name as it stands between the braces of "Driver={...}" inside a template: '}'
// doubled, and '%' doubled for the template's own formatting.
CString BracedDriver(const std::u16string& name) {
    CString text(qv::ConvertText<TCHAR>(std::u16string_view(name)));
    text.Replace(_T("}"), _T("}}"));
    text.Replace(_T("%"), _T("%%"));
    return _T("{") + text + _T("}");
}

// Drivers the built-in keys already reach better: the Access and SQLite files are read by the
// provider itself (the mdbtools driver returns wrong rows without an error).
bool CoveredByBuiltInKey(const CString& name) {
    CString lower = name;
    lower.MakeLower();
    return lower.Find(_T("sqlite")) != -1 || lower.Find(_T("mdbtools")) != -1 ||
           lower.Find(_T("microsoft access")) != -1;
}

}  // namespace

void RegisterConnectTemplates() {
    ConnectTemplateMap.SetAt(_T("Microsoft Access Driver (*.mdb)"),
                             _T("Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;Uid=%s;Pwd=%s;"));
    // The project's embedded database format.
    ConnectTemplateMap.SetAt(_T("SQLite3 ODBC Driver"),
                             _T("Driver={SQLite3 ODBC Driver};Database=%s;Uid=%s;Pwd=%s;"));
    // Any data source of odbc.ini by its name (the Database value), also one this machine
    // does not list: a drawing may come from another machine.
    ConnectTemplateMap.SetAt(ODBC_DATA_SOURCE_KEY, _T("DSN=%s;Uid=%s;Pwd=%s;"));
    // Every driver the ODBC driver manager knows. A server driver's Database value is
    // "host[:port]/database"; a file driver's is a file path like Access's.
    for (const QvOdbcDriverInfo& driver : QvListOdbcDrivers()) {
        const CString name(qv::ConvertText<TCHAR>(std::u16string_view(driver.name)));
        if (CoveredByBuiltInKey(name) || name.Find(_T("%")) != -1)
            continue;
        CString pattern = _T("Driver=") + BracedDriver(driver.name);
        pattern += driver.usesFile ? _T(";Dbq=%s;Uid=%s;Pwd=%s;")
                                   : _T(";Server=%s;Port=%s;Database=%s;Uid=%s;Pwd=%s;");
        ConnectTemplateMap.SetAt(name, pattern);
    }
    // Every data source this machine lists, under its own name.
    for (const QvOdbcDataSourceInfo& source : QvListOdbcDataSources()) {
        const CString name(qv::ConvertText<TCHAR>(std::u16string_view(source.name)));
        ConnectTemplateMap.SetAt(name + DATA_SOURCE_KEY_SUFFIX, _T("DSN=%s;Uid=%s;Pwd=%s;"));
    }
}

ConnectKind ConnectKindOf(const CString& driver) {
    CString pattern;
    if (!ConnectTemplateMap.Lookup(driver, pattern))
        return ConnectKind::kFile;
    if (pattern.Find(_T("DSN=%s")) == 0)
        return ConnectKind::kDataSource;
    if (pattern.Find(_T(";Server=%s;")) != -1)
        return ConnectKind::kServer;
    return ConnectKind::kFile;
}

bool SplitServerAddress(const CString& database, CString& host, CString& port, CString& name) {
    const int slash = database.Find(_T('/'));
    const CString address = slash == -1 ? database : database.Left(slash);
    name = slash == -1 ? CString() : database.Mid(slash + 1);
    host = address;
    port.Empty();
    if (!address.IsEmpty() && address[0] == TCHAR('[')) {
        // [IPv6 address] with an optional :port after it.
        const int close = address.Find(_T(']'));
        if (close == -1)
            return false;
        host = address.Mid(1, close - 1);
        if (close + 1 < address.GetLength()) {
            if (address[close + 1] != TCHAR(':'))
                return false;
            port = address.Mid(close + 2);
        }
    } else if (const int colon = address.ReverseFind(_T(':')); colon != -1) {
        host = address.Left(colon);
        port = address.Mid(colon + 1);
    }
    host.Trim();
    port.Trim();
    name.Trim();
    if (host.IsEmpty())
        return false;
    for (int i = 0; i < port.GetLength(); ++i) {
        if (port[i] < TCHAR('0') || port[i] > TCHAR('9'))
            return false;
    }
    return true;
}

void FreeDatabases() {
    for (int i = 0; i < g_dbList.GetSize(); ++i) {
        CMyDatabase* pDb = g_dbList[i];
        if (!pDb)
            continue;
        pDb->FreeTables();
        pDb->m_db.CloseConnection();
        delete pDb;
    }
    g_dbList.RemoveAll();
}

CString CurrentDrawingPath() {
    CDocument* pDoc = acedGetAcadDoc();
    return pDoc ? pDoc->GetPathName() : CString();
}

CString ResolveDatabasePath(const CString& drawingPath, const CString& path) {
    if (!PathIsRelative(path.GetString()))
        return path;
    CString folder;
    if (drawingPath.IsEmpty()) {
        // A drawing never saved has no folder of its own: use the host's working folder.
        std::error_code ec;
        const std::string cwd = std::filesystem::current_path(ec).string();
        if (ec)
            return path;
        folder = CString(qv::ConvertText<TCHAR>(std::string_view(cwd)));
    } else {
        folder = drawingPath;
        PathRemoveFileSpec(folder);
    }
    PathAddBackslash(folder);
    PathAppend(folder, path.GetString());
    CString canonical;
    return PathCanonicalize(canonical, folder.GetString()) ? canonical : path;
}

CString SelectAllFrom(const CString& tableName) {
    // The name stands inside back-quotes; a back-quote within it is doubled.
    CString quoted = tableName;
    quoted.Replace(_T("`"), _T("``"));
    CString sql;
    sql.Format(_T("SELECT * FROM `%s`"), quoted);
    return sql;
}

CMyDatabase::~CMyDatabase() {
    FreeTables();
}

void CMyDatabase::FreeTables() {
    for (CMyDbTable* pTable : m_tables)
        delete pTable;
    m_tables.clear();
}

namespace {

// A value as it stands in a connection string: braced (with '}' doubled) when it holds a
// separator, a brace or blanks at its ends, so that a path, user or password taken from a
// drawing stays one value and cannot add keys of its own (another driver, an option).
CString ConnectionStringValue(const CString& value) {
    const bool plain = value.FindOneOf(_T(";{}")) == -1 &&
                       (value.IsEmpty() || (value[0] != TCHAR(' ') && value[0] != TCHAR('\t') &&
                                            value[value.GetLength() - 1] != TCHAR(' ') &&
                                            value[value.GetLength() - 1] != TCHAR('\t')));
    if (plain)
        return value;
    CString braced = value;
    braced.Replace(_T("}"), _T("}}"));
    return _T("{") + braced + _T("}");
}

}  // namespace

CString CMyDatabase::BuildConnectionString() const {
    CString pattern;
    if (!ConnectTemplateMap.Lookup(m_strConnectDriver, pattern))
        return CString();
    CString text;
    switch (ConnectKindOf(m_strConnectDriver)) {
        case ConnectKind::kServer: {
            // "host[:port]/database", never a file path.
            CString host, port, name;
            if (!SplitServerAddress(m_strDatabase, host, port, name))
                host = m_strDatabase;  // the driver reports what it cannot reach
            if (port.IsEmpty())
                pattern.Replace(_T("Port=%s;"), _T("%s"));
            if (name.IsEmpty())
                pattern.Replace(_T("Database=%s;"), _T("%s"));
            text.Format(pattern, ConnectionStringValue(host), ConnectionStringValue(port),
                        ConnectionStringValue(name), ConnectionStringValue(m_strUser),
                        ConnectionStringValue(m_strPassword));
            break;
        }
        case ConnectKind::kDataSource:
            text.Format(pattern, ConnectionStringValue(m_strDatabase),
                        ConnectionStringValue(m_strUser), ConnectionStringValue(m_strPassword));
            break;
        case ConnectKind::kFile:
            text.Format(
                pattern,
                ConnectionStringValue(ResolveDatabasePath(CurrentDrawingPath(), m_strDatabase)),
                ConnectionStringValue(m_strUser), ConnectionStringValue(m_strPassword));
            break;
    }
    return text;
}

CString DatabaseIdentity(const CString& driver, const CString& database) {
    switch (ConnectKindOf(driver)) {
        case ConnectKind::kServer: {
            CString host, port, name;
            CString identity;
            if (!SplitServerAddress(database, host, port, name))
                identity.Format(_T("server %s %s"), driver, database);
            else
                identity.Format(_T("server %s %s:%s/%s"), driver, host, port, name);
            return identity;
        }
        case ConnectKind::kDataSource:
            return _T("DSN ") + database;
        case ConnectKind::kFile:
            break;
    }
    return DatabaseFilePath(CurrentDrawingPath(), database);
}

template <class Add>
void CMyDatabase::WalkTableSchema(Add add) {
    CADORecordset rs(&m_db);
    if (rs.OpenSchemaRows(adSchemaTables) && rs.CountRows() != 0) {
        rs.ToFirstRow();
        while (!rs.AtEndOfRows()) {
            CString type, name;
            rs.ReadCellText(_T("TABLE_TYPE"), type);
            rs.ReadCellText(_T("TABLE_NAME"), name);
            if (type.CompareNoCase(_T("TABLE")) == 0) {
                add(name, CMyDbTable::typeTable);
            } else if (type.CompareNoCase(_T("VIEW")) == 0) {
                add(name, CMyDbTable::typeView);
            }
            rs.ToNextRow();
        }
    }
    rs.CloseQuery();
}

void CMyDatabase::SetConnection(const CString& driver, const CString& database, const CString& user,
                                const CString& password) {
    m_strConnectDriver = driver;
    m_strDatabase = database;
    m_strUser = user;
    m_strPassword = password;
    m_strFilePath = DatabaseIdentity(driver, database);
    m_db.m_connectText = BuildConnectionString();
}

bool CMyDatabase::Open(const CString& driver, const CString& database, const CString& user,
                       const CString& password) {
    SetConnection(driver, database, user, password);
    if (!m_db.OpenConnection(_T(""), _T(""), _T("")))
        return false;
    ReloadTables();
    return true;
}

void CMyDatabase::ReloadTables() {
    FreeTables();
    WalkTableSchema([this](const CString& name, int type) {
        CMyDbTable* pTable = new CMyDbTable;
        pTable->m_strName = name;
        pTable->m_nType = type;
        pTable->m_pDatabase = this;
        m_tables.push_back(pTable);
    });
}

void CMyDatabase::ListTableNames(CStringArray& names) {
    if (!m_db.IsConnected() && !m_db.OpenConnection(_T(""), _T(""), _T("")))
        return;
    WalkTableSchema([&names](const CString& name, int) { names.Add(name); });
}

CString DatabaseFilePath(const CString& drawingPath, const CString& path) {
    const CString resolved = ResolveDatabasePath(drawingPath, path);
    // Without "." and ".." parts and through symbolic links, as far as the path exists.
    std::error_code ec;
    const std::filesystem::path canonical =
        std::filesystem::weakly_canonical(std::filesystem::path(qv::ToUtf8(resolved.View())), ec);
    if (!ec && canonical.is_absolute())
        return CString(qv::ConvertText<TCHAR>(std::string_view(canonical.string())));
    CString cleaned;
    return PathCanonicalize(cleaned, resolved.GetString()) ? cleaned : resolved;
}

CMyDatabase* CDatabasePtrArray::FindDatabase(const CString& database, const CString& driver) const {
    // Records are matched by the file they opened: a relative path of a link names the file
    // beside the current drawing, whichever drawing the record was opened for. Server
    // databases and data sources by their driver and address.
    const CString wanted = DatabaseIdentity(driver, database);
    for (CMyDatabase* pDb : m_items) {
        if (pDb && pDb->m_strFilePath.CompareNoCase(wanted) == 0)
            return pDb;
    }
    return nullptr;
}

bool CDatabasePtrArray::AddDatabase(const CString& driver, const CString& database,
                                    const CString& user, const CString& password) {
    if (driver.IsEmpty() || database.IsEmpty())
        return false;
    if (FindDatabase(database, driver))
        return false;
    CMyDatabase* pDb = new CMyDatabase;
    if (!pDb->Open(driver, database, user, password)) {
        delete pDb;
        return false;
    }
    Add(pDb);
    return true;
}

resbuf* LinkedEntityFilter() {
    return acutBuildList(-4, _T("<or"), RTDXF0, _T("INSERT"), RTDXF0, _T("ACAD_TABLE"), -4,
                         _T("or>"), -3, 1001, _T("Database"), 0);
}

void CDatabasePtrArray::CollectDrawingDatabases() {
    resbuf* pFilter = LinkedEntityFilter();
    ads_name ss;
    const int result = acedSSGet(_T("X"), nullptr, nullptr, pFilter, ss);
    acutRelRb(pFilter);
    if (result != RTNORM)
        return;
    std::int32_t length = 0;
    acedSSLength(ss, &length);
    for (std::int32_t i = 0; i < length; ++i) {
        ads_name entity;
        if (acedSSName(ss, i, entity) != RTNORM)
            continue;
        AcDbObjectId id;
        if (acdbGetObjectId(id, entity) != Acad::eOk) {
            acutPrintf(_T("\nacdbGetObjectId failed in FILE: %s;LINE: %d"), __FILE__, __LINE__);
            continue;
        }
        // One opening for the four texts, each read whole (a long one continues after its
        // first group).
        AcDbObject* pObj = nullptr;
        if (acdbOpenAcDbObject(pObj, id, AcDb::kForRead) != Acad::eOk)
            continue;
        CString driver, database, user, password;
        const bool complete = ReadLinkString(pObj, _T("Connect_Driver"), driver) &&
                              ReadLinkString(pObj, _T("Database"), database) &&
                              ReadLinkString(pObj, _T("User"), user) &&
                              ReadLinkString(pObj, _T("Password"), password);
        pObj->close();
        if (complete && !driver.IsEmpty() && !database.IsEmpty())
            AddDatabase(driver, database, user, password);
    }
    acedSSFree(ss);
}
