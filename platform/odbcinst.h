// The ODBC drivers and data sources registered with the driver manager, as its installer
// lists them (odbcinst.ini and odbc.ini). Implemented by the data provider library.
#pragma once

#include <string>
#include <vector>

#include "platform/oleauto.h"

struct QvOdbcDriverInfo {
    std::u16string name;    // as written between the braces of "Driver={...}"
    bool usesFile = false;  // the driver opens files (FileUsage), not a server
};

struct QvOdbcDataSourceInfo {
    std::u16string name;    // as written after "DSN="
    std::u16string driver;  // the driver the data source uses
};

// Every driver the driver manager knows, in its order.
QV_OLE_API std::vector<QvOdbcDriverInfo> QvListOdbcDrivers();
// Every data source of the user's and the system's odbc.ini, in the driver manager's order.
QV_OLE_API std::vector<QvOdbcDataSourceInfo> QvListOdbcDataSources();
