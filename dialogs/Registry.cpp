#include "dialogs/Registry.h"

#include "platform/winreg.h"

CString& CRegistry::Vendor() {
    static CString strVendor;
    return strVendor;
}

void CRegistry::SetVendorKey(const CString& strVendor) {
    Vendor() = strVendor;
}

CString CRegistry::GetVendorKey() {
    return Vendor();
}

namespace {

CString KeyPath(const CString& strVendor, const CString& strSection) {
    return _T("Software\\") + strVendor + _T("\\") + strSection;
}

}  // namespace

DWORD CRegistry::GetInt(const CString& strSection, const CString& strName, DWORD dwDefault) {
    if (Vendor().IsEmpty())
        return dwDefault;
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, KeyPath(Vendor(), strSection), 0, KEY_READ, &hKey) !=
        ERROR_SUCCESS)
        return dwDefault;
    DWORD dwType = REG_NONE;
    DWORD dwValue = 0;
    DWORD dwSize = sizeof(dwValue);
    const LSTATUS status = RegQueryValueEx(hKey, strName, nullptr, &dwType,
                                           reinterpret_cast<BYTE*>(&dwValue), &dwSize);
    RegCloseKey(hKey);
    if (status != ERROR_SUCCESS || dwType != REG_DWORD || dwSize != sizeof(dwValue))
        return dwDefault;
    return dwValue;
}

BOOL CRegistry::SetInt(const CString& strSection, const CString& strName, DWORD dwValue) {
    if (Vendor().IsEmpty())
        return FALSE;
    HKEY hKey = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, KeyPath(Vendor(), strSection), 0, nullptr,
                       REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hKey,
                       nullptr) != ERROR_SUCCESS)
        return FALSE;
    const LSTATUS status = RegSetValueEx(hKey, strName, 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}
