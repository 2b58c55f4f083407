// The module-wide list of databases, their tables, views and saved queries, the connection
// templates and database paths relative to the drawing.
#pragma once

#include <vector>

#include "data/ADODatabase.h"
#include "platform/CString.h"
#include "platform/adsdef.h"
#include "platform/afxcoll.h"

class CMyDatabase;
class CellGrid;
class TableLink;

// One table, view or saved query of a database.
class CMyDbTable {
public:
    enum { typeTable = 0, typeView = 1, typeQuery = 2 };
    CString m_strName;  // as the provider reports it, or the query's name
    CString m_strSQL;   // text of a saved query; empty for tables and views
    int m_nType = typeTable;
    CMyDatabase* m_pDatabase = nullptr;  // owning database (not owned)
};

// One database: the four values that identify its connection, the connection, and its tables,
// views and saved queries.
class CMyDatabase {
public:
    CMyDatabase() = default;
    virtual ~CMyDatabase();
    CMyDatabase(const CMyDatabase&) = delete;
    CMyDatabase& operator=(const CMyDatabase&) = delete;

    // The connection string of the record's driver, resolved path, user and password.
    CString BuildConnectionString() const;
    // Stores the four values and gives the connection wrapper its connection string (the
    // connection is not opened).
    void SetConnection(const CString& driver, const CString& database, const CString& user,
                       const CString& password);
    // Stores the four values, connects and lists the tables and views; true when connected.
    bool Open(const CString& driver, const CString& database, const CString& user,
              const CString& password);
    // Replaces the table list with the tables and views of the database's schema, in the
    // provider's order (queries composed earlier are dropped).
    void ReloadTables();
    // Appends the names of the database's tables and views.
    void ListTableNames(CStringArray& names);
    // Runs the link's query into the grid; true when the query ran and gave at least one row
    // (defined with the grid, in tables/).
    bool FillGrid(TableLink& link, CellGrid& grid);
    // Deletes the table records.
    void FreeTables();

    std::vector<CMyDbTable*> m_tables;  // owned
    CString m_strConnectDriver;
    CString m_strDatabase;
    CString m_strUser;
    CString m_strPassword;
    // What identifies the record (DatabaseIdentity): the absolute path of the file the
    // connection opened (the same relative path names other files in drawings of other
    // folders), or the driver and address of a server, or the data source's name.
    CString m_strFilePath;
    CADODatabase m_db;

private:
    // Walks the tables schema, calling add(name, type) for every table (0) and view (1).
    template <class Add>
    void WalkTableSchema(Add add);
};

// The module-wide list of databases; owns its records.
class CDatabasePtrArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    CMyDatabase* GetAt(int i) const { return m_items.at(i); }
    CMyDatabase* operator[](int i) const { return m_items.at(i); }
    int Add(CMyDatabase* pDb) {
        m_items.push_back(pDb);
        return GetSize() - 1;
    }
    void RemoveAt(int i) { m_items.erase(m_items.begin() + i); }
    void RemoveAll() { m_items.clear(); }

    // The record that opened the file the path names for the current drawing (ignoring
    // letter case), or the server or data source the driver's Database value names; null when
    // none did. Without a driver the value names a file.
    CMyDatabase* FindDatabase(const CString& database, const CString& driver = CString()) const;
    // Creates, opens and appends a record; false when the values are incomplete, the database
    // is listed already or its connection failed.
    bool AddDatabase(const CString& driver, const CString& database, const CString& user,
                     const CString& password);
    // Adds a record for each database that a linked table of the current drawing names.
    void CollectDrawingDatabases();

private:
    std::vector<CMyDatabase*> m_items;
};

extern CDatabasePtrArray g_dbList;
// Connection driver key to connection-string template (database path, user, password).
extern CMapStringToString ConnectTemplateMap;

// The drawing file path of the current document; empty before it is first saved.
CString CurrentDrawingPath();
// The key of any ODBC data source named by its Database value, and the ending of the keys of
// the data sources this machine lists.
#define ODBC_DATA_SOURCE_KEY _T("ODBC Data Source (DSN)")
#define DATA_SOURCE_KEY_SUFFIX _T(" (DSN)")

// How a connect-string key reads its Database value.
enum class ConnectKind {
    kFile,        // a file path, absolute or relative to the drawing's folder
    kServer,      // "host[:port]/database" of a server driver
    kDataSource,  // the name of an ODBC data source
};
// The kind of a key of ConnectTemplateMap; a key not in the map reads a file.
ConnectKind ConnectKindOf(const CString& driver);
// Splits "host[:port]/database" ("[::1]:5432/db" for an IPv6 address); false when there is
// no host or the port is not a number.
bool SplitServerAddress(const CString& database, CString& host, CString& port, CString& name);
// What identifies a database record: the file path for file drivers (DatabaseFilePath), the
// driver with host, port and database for servers, the name for data sources.
CString DatabaseIdentity(const CString& driver, const CString& database);

// Makes a database path that is relative to the drawing's folder absolute. With no drawing
// path, a relative path is resolved against the host's working folder.
CString ResolveDatabasePath(const CString& drawingPath, const CString& path);
// The absolute path of the file a database path names for a drawing: resolved against the
// drawing's folder, without "." and ".." parts and through symbolic links where they exist.
// Database records are identified by it (ignoring letter case).
CString DatabaseFilePath(const CString& drawingPath, const CString& path);
// The selection filter of linked entities: tables and block references carrying link data.
// Release it with acutRelRb.
resbuf* LinkedEntityFilter();
// The SQL that reads a whole table or view, its name quoted.
CString SelectAllFrom(const CString& tableName);

// Module load and unload: registers the connection-string templates of the data providers the
// module knows; deletes every database record of the module-wide list.
void RegisterConnectTemplates();
void FreeDatabases();
