#include "ArxUtils/ArxUtils.h"

#include "platform/acdb.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/dbapserv.h"
#include "platform/dbdict.h"
#include "platform/dbtable.h"

Acad::ErrorStatus AppendToCurrentSpace(AcDbEntity* pEntity, AcDbDatabase* pDb) {
    if (!pDb)
        pDb = acdbHostApplicationServices()->workingDatabase();
    if (!pDb || !pEntity)
        return Acad::eInvalidInput;
    AcDbBlockTableRecord* pSpace = nullptr;
    if (acdbOpenObject(pSpace, pDb->currentSpaceId(), AcDb::kForWrite) != Acad::eOk) {
        return Acad::eInvalidInput;
    }
    const Acad::ErrorStatus es = pSpace->appendAcDbEntity(pEntity);
    if (es != Acad::eOk) {
        acutPrintf(_T("\nERROR: could not add entity to current space (%s)"),
                   acadErrorStatusText(es));
    }
    pSpace->close();
    return es;
}

Acad::ErrorStatus ListTableStyleNames(CStringArray& names) {
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    const int major = services->releaseMajorVersion();
    const int minor = services->releaseMinorVersion();
    if (major < 16 || (major == 16 && minor == 0))
        return static_cast<Acad::ErrorStatus>(35);

    AcDbDictionary* pDict = nullptr;
    const Acad::ErrorStatus es =
        services->workingDatabase()->getTableStyleDictionary(pDict, AcDb::kForRead);
    if (es != Acad::eOk)
        return es;
    AcDbDictionaryIterator* pIter = pDict->newIterator();
    for (; pIter && !pIter->done(); pIter->next()) {
        AcDbObject* pObj = nullptr;
        if (pIter->getObject(pObj, AcDb::kForRead) != Acad::eOk)
            continue;
        if (AcDbTableStyle* pStyle = AcDbTableStyle::cast(pObj)) {
            TCHAR* pName = nullptr;
            if (pStyle->getName(pName) == Acad::eOk && pName)
                names.Add(CString(pName));
            delete[] pName;
        }
        pObj->close();
    }
    delete pIter;
    pDict->close();
    return Acad::eOk;
}

namespace {

// Drag preview: the set follows the cursor, moved by the vector from the origin.
int DragSample(ads_point point, ads_matrix matrix) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = r == c ? 1.0 : 0.0;
    matrix[0][3] = point[0];
    matrix[1][3] = point[1];
    matrix[2][3] = point[2];
    return RTNORM;
}

}  // namespace

int DragSelectionSet(ads_name ss, const TCHAR* prompt, const AcGePoint3d& basePoint) {
    std::int32_t length = 0;
    if (acedSSLength(ss, &length) != RTNORM || length == 0) {
        acedSSFree(ss);
        return -1;
    }
    ads_point picked = {0, 0, 0};
    const int result = acedDragGen(ss, prompt, 0, DragSample, picked);
    if (result == RTNORM) {
        ads_point world = {0, 0, 0};
        acdbUcs2Wcs(picked, world, false);
        ads_matrix move;
        DragSample(world, move);
        move[0][3] -= basePoint.x;
        move[1][3] -= basePoint.y;
        move[2][3] -= basePoint.z;
        acedXformSS(ss, move);
        acedSSFree(ss);
        return RTNORM;
    }
    // Cancelled or failed: nothing of the set stays in the drawing.
    for (std::int32_t i = 0; i < length; ++i) {
        ads_name entity;
        if (acedSSName(ss, i, entity) == RTNORM)
            acdbEntDel(entity);
    }
    acedSSFree(ss);
    return result;
}

bool SetStringXData(AcDbObject* pObj, const TCHAR* appName, const TCHAR* text, bool append) {
    if (!pObj || !appName || !*appName)
        return false;
    resbuf* pHead = pObj->xData(appName);
    if (!pHead) {
        acdbRegApp(appName);
        pHead = acutBuildList(AcDb::kDxfRegAppName, appName, 0);
        if (!pHead)
            return false;
    } else if (!append) {
        acutRelRb(pHead->rbnext);
        pHead->rbnext = nullptr;
    }
    resbuf* pTail = pHead;
    while (pTail->rbnext)
        pTail = pTail->rbnext;
    pTail->rbnext = acutBuildList(AcDb::kDxfXdAsciiString, text ? text : _T(""), 0);

    if (!pObj->isWriteEnabled())
        pObj->upgradeOpen();
    const Acad::ErrorStatus es = pObj->setXData(pHead);
    acutRelRb(pHead);
    return es == Acad::eOk;
}

namespace {

// The first 1000 group outside 1002 braces; releases the chain.
bool FirstStringOutsideBraces(resbuf* pChain, CString& text) {
    if (!pChain) {
        text.Empty();
        return false;
    }
    bool found = false;
    bool inside = false;
    for (resbuf* rb = pChain; rb; rb = rb->rbnext) {
        if (rb->restype == AcDb::kDxfXdControlString) {
            inside = !inside;
        } else if (rb->restype == AcDb::kDxfXdAsciiString && !inside) {
            text = rb->resval.rstring;
            found = true;
            break;
        }
    }
    acutRelRb(pChain);
    return found;
}

}  // namespace

bool GetStringXData(const AcDbObject* pObj, const TCHAR* appName, CString& text) {
    if (!pObj || !appName)
        return false;
    return FirstStringOutsideBraces(pObj->xData(appName), text);
}

bool GetStringXData(const ads_name entity, const TCHAR* appName, CString& text) {
    AcDbObjectId id;
    if (acdbGetObjectId(id, entity) != Acad::eOk) {
        acutPrintf(_T("\nacdbGetObjectId failed in FILE: %s;LINE: %d"), __FILE__, __LINE__);
        return false;
    }
    AcDbObject* pObj = nullptr;
    if (acdbOpenAcDbObject(pObj, id, AcDb::kForRead) != Acad::eOk)
        return false;
    resbuf* pChain = appName ? pObj->xData(appName) : nullptr;
    pObj->close();
    return FirstStringOutsideBraces(pChain, text);
}

bool SplitString(const CString& text, TCHAR delimiter, CStringArray& parts) {
    parts.RemoveAll();
    if (text.Find(delimiter) < 0) {
        parts.Add(text);
        return false;
    }
    CString rest = text;
    for (int pos = rest.Find(delimiter); pos >= 0; pos = rest.Find(delimiter)) {
        parts.Add(rest.Left(pos));
        rest = rest.Mid(pos + 1);
    }
    if (!rest.IsEmpty())
        parts.Add(rest);
    return true;
}

CString GetHostReleaseMarker() {
    return CString(acdbHostApplicationServices()->releaseMarker());
}

void ReportCommandNotAvailable(const TCHAR* localName) {
    acutPrintf(_T("\n%s is not available in this build yet; nothing was changed.\n"), localName);
}
