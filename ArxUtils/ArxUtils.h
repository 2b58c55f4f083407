// Drawing helper functions over the host's database and command-line services.
#pragma once

#include "platform/CString.h"
#include "platform/acadstrc.h"
#include "platform/adsdef.h"
#include "platform/dbmain.h"

// Appends a new entity to the current space of a database (the working database when none is
// given). On failure the caller still owns the entity.
Acad::ErrorStatus AppendToCurrentSpace(AcDbEntity* pEntity, AcDbDatabase* pDb = nullptr);

// Appends the names of the working database's table styles, in dictionary order, to names
// (which is not cleared first). Hosts older than release 16.1 have no table styles: 35.
Acad::ErrorStatus ListTableStyleNames(CStringArray& names);

// Lets the user drag a selection set into place; the set's entities were built around the
// origin, and the picked point minus basePoint becomes their displacement. A cancelled drag
// erases every entity of the set. The set is freed in every case. Returns the drag result
// (RTNORM when placed), or -1 for an empty set.
int DragSelectionSet(ads_name ss, const TCHAR* prompt, const AcGePoint3d& basePoint);

// Writes text as a 1000 group of the application's extended data on an open object: after
// the 1001 head alone (replacing any earlier groups), or after the last group with append.
// False for a missing object or an empty application name, and when the host refuses the
// data (a text too long, too much extended data): nothing is written then.
bool SetStringXData(AcDbObject* pObj, const TCHAR* appName, const TCHAR* text, bool append);

// Reads the first 1000 group outside 1002 braces of the application's extended data.
bool GetStringXData(const AcDbObject* pObj, const TCHAR* appName, CString& text);
bool GetStringXData(const ads_name entity, const TCHAR* appName, CString& text);

// Splits text at a one-character delimiter, keeping empty pieces (but no empty last piece).
// False, with the whole text as the only element, when the delimiter does not occur.
bool SplitString(const CString& text, TCHAR delimiter, CStringArray& parts);

// The host's release marker text.
CString GetHostReleaseMarker();

// Tells the user that a command of this module cannot run in this build yet (nothing is
// changed).
void ReportCommandNotAvailable(const TCHAR* localName);
