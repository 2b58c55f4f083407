// The module's per-user settings: 32-bit values under the user's "Software" key, then the
// vendor key, then the product section ("Quarvel").
#pragma once

#include "platform/CString.h"

#define QUARVEL_SETTINGS_SECTION _T("Quarvel")

class CRegistry {
public:
    // The vendor key, chosen when the module starts. Without one, reads give the caller's
    // default and writes are skipped.
    static void SetVendorKey(const CString& strVendor);
    static CString GetVendorKey();

    // A value of a section; the default when it (or the vendor key) is missing.
    static DWORD GetInt(const CString& strSection, const CString& strName, DWORD dwDefault);
    // Stores a value; false when it could not be written (or no vendor key is set).
    static BOOL SetInt(const CString& strSection, const CString& strName, DWORD dwValue);

private:
    // The vendor key (a function's own static, so that it exists before any start-up code of
    // the module sets it).
    static CString& Vendor();
};
