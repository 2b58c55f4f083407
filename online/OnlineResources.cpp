// The online resources' fixed values, the vendor's addresses, the help file's place, the
// support mail and the operating-system description.
#include "online/OnlineResources.h"

#include <algorithm>
#include <cstdlib>

#include "platform/acutads.h"
#include "platform/winreg.h"

const TCHAR* const kProductName = _T("Quarvel");
const TCHAR* const kProductVersion = _T("2.6.0.0");
const TCHAR* const kProductTag = _T("quarv");
const TCHAR* const kHelpFileName = _T("Quarvel.chm");

namespace {

// The built-in vendor addresses.
const TCHAR* const kDefaultVendorSite = _T("http://www.morvane.example");
const TCHAR* const kDefaultSupportAddress = _T("support@morvane.example");

// The environment value of a name in the build's text, or empty.
CString EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? CString(CStringA(value)) : CString();
}

bool IsDigit(TCHAR c) {
    return c >= TCHAR('0') && c <= TCHAR('9');
}

// The site without the closing "/" that a user may write.
CString WithoutClosingSlash(CString site) {
    site.Trim();
    while (site.GetLength() > 0 && site[site.GetLength() - 1] == TCHAR('/'))
        site = site.Left(site.GetLength() - 1);
    return site;
}

const TCHAR* const kPagePatterns[][2] = {
    {_T("faq"), _T("/redirect.php?page=faq&product=%s")},
    {_T("whatsnew"), _T("/redirect.php?page=whatsnew&product=%s")},
    {_T("demo"), _T("/redirect.php?page=demo&product=%s")},
};

// The body of the support mail; each "%%0a%%0d" becomes a line feed and carriage return escape.
const TCHAR* const kSupportBody =
    _T(" Please provide the following info to help us troubleshooting. Thanks. %%0a%%0d ")
    _T("Operation System: %s %%0a%%0d CAD Platform Version: %s %%0a%%0d Product: %s %%0a%%0d ")
    _T("Product Version: %s %%0a%%0d Problem Description: (Step by Step) %%0a%%0d ")
    _T("Screenshot(s): (Optional) %%0a%%0d Please attach sample files (.dwg and/or .xls) to ")
    _T("help us troubleshooting if applicable. %%0a%%0d We will working on your problem and ")
    _T("give you answers ASAP.");

// A text put into the mail address: line breaks at its end dropped, and the characters that
// would end the address, start another query value or read as an escape written as %XX.
CString EscapeMailValue(CString text) {
    while (text.GetLength() > 0 &&
           (text[text.GetLength() - 1] == TCHAR('\n') || text[text.GetLength() - 1] == TCHAR('\r')))
        text = text.Left(text.GetLength() - 1);
    CString out;
    for (int i = 0; i < text.GetLength(); ++i) {
        const TCHAR c = text[i];
        const unsigned code = static_cast<unsigned>(c);
        if (code < 0x20 || code == 0x7F || c == TCHAR('%') || c == TCHAR('&') || c == TCHAR('#')) {
            CString escape;
            escape.Format(_T("%%%02x"), code);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

CString ReadProductTypeFromRegistry() {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, _T("SYSTEM\\CurrentControlSet\\Control\\ProductOptions"),
                     0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return CString();
    BYTE data[80] = {};
    DWORD size = sizeof(data);
    const LSTATUS status = RegQueryValueEx(key, _T("ProductType"), nullptr, nullptr, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return CString();
    const TCHAR* text = reinterpret_cast<const TCHAR*>(data);
    const int count = static_cast<int>(size / sizeof(TCHAR));
    int length = 0;
    while (length < count && text[length])
        ++length;
    return CString(text, length);
}

}  // namespace

bool SplitSiteAddress(const CString& site, CString& host, WORD& port) {
    const CString scheme = _T("http://");
    if (site.GetLength() <= scheme.GetLength() ||
        site.Left(scheme.GetLength()).CompareNoCase(scheme) != 0)
        return false;
    CString rest = site.Mid(scheme.GetLength());
    if (rest.FindOneOf(_T("/?#@ \t\r\n")) >= 0)
        return false;
    const int colon = rest.Find(TCHAR(':'));
    CString name = colon >= 0 ? rest.Left(colon) : rest;
    unsigned long number = 0;
    if (colon >= 0) {
        const CString digits = rest.Mid(colon + 1);
        if (digits.IsEmpty() || digits.GetLength() > 5)
            return false;
        for (int i = 0; i < digits.GetLength(); ++i) {
            if (!IsDigit(digits[i]))
                return false;
            number = number * 10 + static_cast<unsigned long>(digits[i] - TCHAR('0'));
        }
        if (number == 0 || number > 65535)
            return false;
    }
    if (name.IsEmpty())
        return false;
    host = name;
    port = static_cast<WORD>(number);
    return true;
}

CString GetVendorSite() {
    const CString configured = WithoutClosingSlash(EnvironmentText("QUARVEL_VENDOR_SITE"));
    if (configured.IsEmpty())
        return kDefaultVendorSite;
    CString host;
    WORD port = 0;
    if (!SplitSiteAddress(configured, host, port)) {
        acutPrintf(
            _T("\nQUARVEL_VENDOR_SITE \"%s\" is not an address of the form ")
            _T("http://HOST or http://HOST:PORT; %s is used."),
            configured.GetString(), kDefaultVendorSite);
        return kDefaultVendorSite;
    }
    return configured;
}

CString GetSupportAddress() {
    CString configured = EnvironmentText("QUARVEL_SUPPORT_MAIL");
    configured.Trim();
    if (configured.IsEmpty())
        return kDefaultSupportAddress;
    bool valid = configured.Find(TCHAR('@')) > 0 && configured.FindOneOf(_T("?&#% \t")) < 0;
    for (int i = 0; valid && i < configured.GetLength(); ++i) {
        if (static_cast<unsigned>(configured[i]) < 0x20)
            valid = false;
    }
    if (!valid) {
        acutPrintf(_T("\nQUARVEL_SUPPORT_MAIL \"%s\" is not a mail address; %s is used."),
                   configured.GetString(), kDefaultSupportAddress);
        return kDefaultSupportAddress;
    }
    return configured;
}

CString VendorPageAddress(const TCHAR* pageKey) {
    for (const auto& entry : kPagePatterns) {
        if (CString(entry[0]).CompareNoCase(pageKey) == 0) {
            CString address;
            address.Format(entry[1], kProductTag);
            return GetVendorSite() + address;
        }
    }
    return GetVendorSite();
}

CString DownloadPageAddress() {
    return GetVendorSite() + _T("/download");
}

CString HelpFilePathBeside(const CString& modulePath) {
    // The folder: everything up to the last separator, which stays (a drive root keeps its
    // one backslash).
    const int cut =
        std::max(modulePath.ReverseFind(TCHAR('/')), modulePath.ReverseFind(TCHAR('\\')));
    CString folder = cut >= 0 ? modulePath.Left(cut + 1) : CString();
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != TCHAR('/') &&
        folder[folder.GetLength() - 1] != TCHAR('\\'))
        folder += TCHAR('/');
    return folder + kHelpFileName;
}

CString ComposeSupportMail(const CString& supportAddress, const CString& systemDescription,
                           const CString& releaseMarker) {
    CString body;
    body.Format(kSupportBody, EscapeMailValue(systemDescription).GetString(),
                EscapeMailValue(releaseMarker).GetString(), kProductName, kProductVersion);
    return _T("mailto:") + supportAddress + _T("?body=") + body;
}

CString DescribeVersionRecord(const OSVERSIONINFOEX& info, bool extended,
                              CString (*readProductType)()) {
    CString text;
    const CString servicePack(info.szCSDVersion);
    switch (info.dwPlatformId) {
        case VER_PLATFORM_WIN32s:
            text += _T("Microsoft Win32s ");
            break;
        case VER_PLATFORM_WIN32_WINDOWS:
            if (info.dwMajorVersion == 4 && info.dwMinorVersion == 0) {
                text += _T("Microsoft Windows 95 ");
                if (servicePack[1] == TCHAR('C') || servicePack[1] == TCHAR('B'))
                    text += _T("OSR2 ");
            } else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 10) {
                text += _T("Microsoft Windows 98 ");
                if (servicePack[1] == TCHAR('A'))
                    text += _T("SE ");
            } else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 90) {
                text += _T("Microsoft Windows Me ");
            }
            break;
        case VER_PLATFORM_WIN32_NT: {
            if (info.dwMajorVersion <= 4)
                text += _T("Microsoft Windows NT ");
            else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0)
                text += _T("Microsoft Windows 2000 ");
            else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1)
                text += _T("Microsoft Windows XP ");
            if (extended) {
                if (info.wProductType == VER_NT_WORKSTATION) {
                    text += (info.wSuiteMask & VER_SUITE_PERSONAL) ? _T("Personal ")
                                                                   : _T("Professional ");
                } else if (info.wProductType == VER_NT_SERVER) {
                    if (info.wSuiteMask & VER_SUITE_DATACENTER)
                        text += _T("DataCenter Server ");
                    else if (info.wSuiteMask & VER_SUITE_ENTERPRISE)
                        text += _T("Advanced Server ");
                    else
                        text += _T("Server ");
                }
            } else if (readProductType) {
                const CString productType = readProductType();
                if (productType.CompareNoCase(_T("WINNT")) == 0)
                    text += _T("Professional ");
                else if (productType.CompareNoCase(_T("LANMANNT")) == 0)
                    text += _T("Server ");
                else if (productType.CompareNoCase(_T("SERVERNT")) == 0)
                    text += _T("Advanced Server ");
            }
            CString build;
            if (info.dwMajorVersion <= 4)
                build.Format(_T("version %d.%d %s (Build %d)\n"),
                             static_cast<int>(info.dwMajorVersion),
                             static_cast<int>(info.dwMinorVersion), servicePack.GetString(),
                             static_cast<int>(info.dwBuildNumber & 0xFFFF));
            else
                build.Format(_T("%s (Build %d)\n"), servicePack.GetString(),
                             static_cast<int>(info.dwBuildNumber & 0xFFFF));
            text += build;
            break;
        }
        default:
            break;
    }
    return text;
}

CString DescribeSystemRelease(const SYSTEMRELEASEINFO& info) {
    CString text;
    for (const char* piece :
         {info.szDistribution, info.szKernelName, info.szKernelRelease, info.szMachine}) {
        if (*piece)
            text += CString(CStringA(piece)) + _T(" ");
    }
    return text;
}

CString DescribeWindowsVersion() {
    OSVERSIONINFOEX extended{};
    extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEX);
    if (GetVersionEx(&extended))
        return DescribeVersionRecord(extended, true, &ReadProductTypeFromRegistry);
    OSVERSIONINFOEX basic{};
    basic.dwOSVersionInfoSize = sizeof(OSVERSIONINFO);
    if (GetVersionEx(&basic))
        return DescribeVersionRecord(basic, false, &ReadProductTypeFromRegistry);
    SYSTEMRELEASEINFO release{};
    if (GetSystemReleaseInfo(&release))
        return DescribeSystemRelease(release);
    return CString();
}
