// The link of a table to its database, stored on the table as extended data: six text entries
// ("Connect_Driver", "Database", "Table", "SQL", "User", "Password"), each under its own
// registered application, and one data entry under LinkDataAppName.
#pragma once

#include <vector>

#include "platform/CString.h"
#include "platform/dbmain.h"

#define LinkDataAppName _T("4E679C82-0FD2-43e8-8D7F-465BF47E479F")

class TableLink {
public:
    // Stores the link on an entity open for write (or read: it is upgraded). 1 on success;
    // 0 when no entity is given or the host refused the data, in which case the entity keeps
    // the link it had and the reason is printed.
    int WriteLink(AcDbEntity* pEntity);
    int WriteLinkById(AcDbObjectId id);
    // Reads the link; 1 when the data entry was found.
    int ReadLink(AcDbEntity* pEntity);
    int ReadLinkById(AcDbObjectId id);

    int m_nHeader = 1;        // 1: the block's first row holds the column headings
    int m_nStartRow = 0;      // table row at which the block starts
    int m_nStartCol = 0;      // table column at which the block starts
    int m_nRowCount = 0;      // rows of the block last written, headings included
    int m_nColCount = 0;      // columns of the block last written
    int m_nFormat = 1;        // stored and read back, not interpreted
    CString m_strTableStyle;  // style for a new table; not stored in the drawing
    CString m_strDatabase;
    CString m_strConnectDriver;
    CString m_strUser;
    CString m_strPassword;
    CString m_strTable;  // table or view name; takes precedence over the SQL text
    CString m_strSQL;
    CStringArray m_headings;       // custom column headings by column index
    std::vector<double> m_widths;  // custom widths; 0.00001 or less means automatic
};

// Comma lists: each item followed by a comma, trailing commas removed; widths with "%g".
CString JoinList(const CStringArray& items);
CString JoinList(const std::vector<double>& items);
// Cuts at commas, dropping empty items; widths converted with strtod. Appends to the list.
void SplitList(const CString& text, CStringArray& items);
void SplitList(const CString& text, std::vector<double>& items);

// One text entry of a link (the first 1000 group outside braces, with its continuation).
bool ReadLinkString(const AcDbObject* pObj, const TCHAR* key, CString& value);
