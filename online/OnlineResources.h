// The fixed values of the online resources and the addresses derived from the vendor's web
// site: home page, redirect pages, update document, download page, support mail, help file.
#pragma once

#include "platform/CString.h"
#include "platform/winbase.h"

// Constants of the module.
extern const TCHAR* const kProductName;     // "Quarvel"
extern const TCHAR* const kProductVersion;  // "2.6.0.0"
extern const TCHAR* const kProductTag;      // "quarv"
extern const TCHAR* const kHelpFileName;    // "Quarvel.chm"

// The vendor's web site: "http://HOST" or "http://HOST:PORT", without a closing "/". The
// environment value QUARVEL_VENDOR_SITE replaces the built-in address; one that is not of that
// form is reported on the command line and the built-in address is used.
CString GetVendorSite();
// The vendor's support mail address; QUARVEL_SUPPORT_MAIL replaces the built-in one (an
// address with blanks, control characters or "?&#%" in it, or without "@", is reported and not
// used).
CString GetSupportAddress();

// The server of a site address: its host name and port (0 when the address names none).
// False for an address that is not "http://HOST[:PORT]".
bool SplitSiteAddress(const CString& site, CString& host, WORD& port);

// The vendor's redirect page for a page key ("faq", "whatsnew", "demo") with the product tag:
// SITE/redirect.php?page=KEY&product=quarv.
CString VendorPageAddress(const TCHAR* pageKey);
// SITE/download
CString DownloadPageAddress();

// The help file beside the module file whose full path is given: the folder, one separator and
// the help file's name.
CString HelpFilePathBeside(const CString& modulePath);

// The support mail address: "mailto:" SUPPORT "?body=" and the body with the system
// description, the host's release marker, the product name and version put in. Characters of
// the substituted texts that would end or cut the address ("%", "&", "#", control characters)
// are written as %XX escapes, and line breaks at their ends are dropped (the body breaks the
// line there already).
CString ComposeSupportMail(const CString& supportAddress, const CString& systemDescription,
                           const CString& releaseMarker);

// The operating-system description: from the platform's version record by its rules when the
// platform has one; otherwise the running system from GetSystemReleaseInfo, in the same form
// of pieces each ending in a blank: distribution, kernel name, kernel release, machine.
// Empty when neither is known.
CString DescribeWindowsVersion();

// The description of a version record (extended: the extended fields are valid). The product
// type text of the basic record is asked of readProductType (empty when it cannot be read).
CString DescribeVersionRecord(const OSVERSIONINFOEX& info, bool extended,
                              CString (*readProductType)());
// The description of the running system.
CString DescribeSystemRelease(const SYSTEMRELEASEINFO& info);
