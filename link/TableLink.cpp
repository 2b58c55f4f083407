#include "link/TableLink.h"

#include <charconv>
#include <string>

#include "ArxUtils/ArxUtils.h"
#include "platform/acdb.h"
#include "platform/acutads.h"

namespace {

const TCHAR* const kLinkKeys[6] = {_T("Connect_Driver"), _T("Database"), _T("Table"), _T("SQL"),
                                   _T("User"),           _T("Password")};

// Names that open the continuation groups of the data entry.
const TCHAR* const kHeadingsTail = _T("headings");
const TCHAR* const kWidthsTail = _T("widths");

// A 1000 group holds at most this many bytes once encoded as UTF-8.
constexpr std::size_t kMaxStringBytes = 255;

// Cuts text into pieces of at most kMaxStringBytes UTF-8 bytes, never inside a character.
// The first piece is what a plain reader sees; an empty text gives one empty piece.
std::vector<CString> CutIntoPieces(const CString& text) {
    const std::string utf8 = qv::ToUtf8(text.View());
    std::vector<CString> pieces;
    std::size_t begin = 0;
    do {
        std::size_t end = begin;
        for (std::size_t next = begin; next < utf8.size();) {
            std::size_t probe = next;
            qv::DecodeUtf8(utf8, probe);
            if (probe - begin > kMaxStringBytes)
                break;
            end = next = probe;
        }
        pieces.emplace_back(
            qv::ConvertText<TCHAR>(std::string_view(utf8).substr(begin, end - begin)));
        begin = end;
    } while (begin < utf8.size());
    return pieces;
}

bool IsOpeningBrace(const resbuf* rb) {
    return rb && rb->restype == AcDb::kDxfXdControlString && rb->resval.rstring &&
           rb->resval.rstring[0] == TCHAR('{');
}

// Appends the groups of a brace pair's 1000 strings to text; returns the group after the pair.
const resbuf* ReadContinuation(const resbuf* rb, CString& text) {
    for (rb = rb->rbnext; rb; rb = rb->rbnext) {
        if (rb->restype == AcDb::kDxfXdControlString)
            return rb->rbnext;
        if (rb->restype == AcDb::kDxfXdAsciiString)
            text += rb->resval.rstring;
    }
    return nullptr;
}

// Appends (1000 piece) groups for pieces[first...] inside a brace pair, opened by a name
// group when given.
resbuf* AppendContinuation(resbuf* tail, const std::vector<CString>& pieces, const TCHAR* name) {
    tail = tail->rbnext = acutBuildList(AcDb::kDxfXdControlString, _T("{"), 0);
    if (name)
        tail = tail->rbnext = acutBuildList(AcDb::kDxfXdAsciiString, name, 0);
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        tail = tail->rbnext = acutBuildList(AcDb::kDxfXdAsciiString, pieces[i], 0);
    }
    tail = tail->rbnext = acutBuildList(AcDb::kDxfXdControlString, _T("}"), 0);
    return tail;
}

// Writes one text entry (1001 key)(1000 value). A value longer than one group keeps its
// first piece there and the rest in a brace pair right after it.
Acad::ErrorStatus WriteLinkString(AcDbEntity* pEntity, const TCHAR* key, const CString& value) {
    const std::vector<CString> pieces = CutIntoPieces(value);
    if (pieces.size() == 1) {
        return SetStringXData(pEntity, key, value, false) ? Acad::eOk : Acad::eInvalidInput;
    }
    acdbRegApp(key);
    resbuf* pHead = acutBuildList(AcDb::kDxfRegAppName, key, AcDb::kDxfXdAsciiString, pieces[0], 0);
    AppendContinuation(pHead->rbnext, pieces, nullptr);
    if (!pEntity->isWriteEnabled())
        pEntity->upgradeOpen();
    const Acad::ErrorStatus es = pEntity->setXData(pHead);
    acutRelRb(pHead);
    return es;
}

double ParseWidth(const CString& item) {
    std::string text = qv::ToUtf8(item.View());
    std::size_t start = text.find_first_not_of(" \t\r\n\v\f");
    if (start == std::string::npos)
        return 0;
    if (text[start] == '+')
        ++start;
    double value = 0;
    const auto result = std::from_chars(text.data() + start, text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0;
}

}  // namespace

CString JoinList(const CStringArray& items) {
    CString text;
    for (int i = 0; i < items.GetSize(); ++i) {
        text += items[i];
        text += _T(",");
    }
    text.TrimRight(TCHAR(','));
    return text;
}

CString JoinList(const std::vector<double>& items) {
    CString text;
    for (double width : items)
        text.AppendFormat(_T("%g,"), width);
    text.TrimRight(TCHAR(','));
    return text;
}

void SplitList(const CString& text, CStringArray& items) {
    int pos = 0;
    for (;;) {
        CString item = text.Tokenize(_T(","), pos);
        if (pos < 0)
            break;
        items.Add(item);
    }
}

void SplitList(const CString& text, std::vector<double>& items) {
    CStringArray parts;
    SplitList(text, parts);
    for (int i = 0; i < parts.GetSize(); ++i)
        items.push_back(ParseWidth(parts[i]));
}

bool ReadLinkString(const AcDbObject* pObj, const TCHAR* key, CString& value) {
    resbuf* pChain = pObj ? pObj->xData(key) : nullptr;
    if (!pChain) {
        value.Empty();
        return false;
    }
    bool found = false;
    bool inside = false;
    for (const resbuf* rb = pChain; rb; rb = rb->rbnext) {
        if (rb->restype == AcDb::kDxfXdControlString) {
            inside = !inside;
        } else if (rb->restype == AcDb::kDxfXdAsciiString && !inside) {
            value = rb->resval.rstring;
            if (IsOpeningBrace(rb->rbnext))
                ReadContinuation(rb->rbnext, value);
            found = true;
            break;
        }
    }
    acutRelRb(pChain);
    return found;
}

int TableLink::WriteLink(AcDbEntity* pEntity) {
    if (!pEntity)
        return 0;

    // The link as the entity holds it now, to put back if the host refuses the new one.
    const TCHAR* apps[7] = {kLinkKeys[0], kLinkKeys[1], kLinkKeys[2],   kLinkKeys[3],
                            kLinkKeys[4], kLinkKeys[5], LinkDataAppName};
    resbuf* previous[7];
    for (int i = 0; i < 7; ++i)
        previous[i] = pEntity->xData(apps[i]);

    const CString* values[6] = {&m_strConnectDriver, &m_strDatabase, &m_strTable,
                                &m_strSQL,           &m_strUser,     &m_strPassword};
    Acad::ErrorStatus es = Acad::eOk;
    for (int i = 0; i < 6 && es == Acad::eOk; ++i) {
        es = WriteLinkString(pEntity, kLinkKeys[i], *values[i]);
    }

    if (es == Acad::eOk) {
        acdbRegApp(LinkDataAppName);
        const std::vector<CString> headings = CutIntoPieces(JoinList(m_headings));
        const std::vector<CString> widths = CutIntoPieces(JoinList(m_widths));
        resbuf* pData =
            acutBuildList(AcDb::kDxfRegAppName, LinkDataAppName, AcDb::kDxfXdInteger16, m_nFormat,
                          AcDb::kDxfXdInteger16, m_nHeader, AcDb::kDxfXdInteger16, m_nStartRow,
                          AcDb::kDxfXdInteger16, m_nStartCol, AcDb::kDxfXdAsciiString, headings[0],
                          AcDb::kDxfXdAsciiString, widths[0], AcDb::kDxfXdInteger32, m_nRowCount,
                          AcDb::kDxfXdInteger32, m_nColCount, 0);
        // Lists too long for one group continue after the last position, where readers
        // that know only the nine positions do not look.
        resbuf* pTail = pData;
        while (pTail->rbnext)
            pTail = pTail->rbnext;
        if (headings.size() > 1)
            pTail = AppendContinuation(pTail, headings, kHeadingsTail);
        if (widths.size() > 1)
            pTail = AppendContinuation(pTail, widths, kWidthsTail);
        if (!pEntity->isWriteEnabled())
            pEntity->upgradeOpen();
        es = pEntity->setXData(pData);
        acutRelRb(pData);
    }

    if (es != Acad::eOk) {
        for (int i = 0; i < 7; ++i) {
            resbuf* pOld =
                previous[i] ? previous[i] : acutBuildList(AcDb::kDxfRegAppName, apps[i], 0);
            pEntity->setXData(pOld);
            if (!previous[i])
                acutRelRb(pOld);
        }
        acutPrintf(
            _T("\nThe link could not be stored on the table (%s); the table keeps its ")
            _T("previous link."),
            acadErrorStatusText(es));
    }
    for (resbuf* pOld : previous)
        acutRelRb(pOld);
    return es == Acad::eOk ? 1 : 0;
}

int TableLink::WriteLinkById(AcDbObjectId id) {
    AcDbEntity* pEntity = nullptr;
    if (acdbOpenAcDbEntity(pEntity, id, AcDb::kForWrite) != Acad::eOk)
        return 0;
    const int result = WriteLink(pEntity);
    pEntity->close();
    return result;
}

int TableLink::ReadLink(AcDbEntity* pEntity) {
    if (!pEntity)
        return 0;
    CString* values[6] = {&m_strConnectDriver, &m_strDatabase, &m_strTable,
                          &m_strSQL,           &m_strUser,     &m_strPassword};
    for (int i = 0; i < 6; ++i)
        ReadLinkString(pEntity, kLinkKeys[i], *values[i]);

    resbuf* pData = pEntity->xData(LinkDataAppName);
    if (!pData)
        return 0;
    CString headings, widths;
    int position = 1;
    const resbuf* rb = pData->rbnext;
    for (; rb && position <= 8; rb = rb->rbnext, ++position) {
        const short code = rb->restype;
        if (position <= 4 && code == AcDb::kDxfXdInteger16) {
            int* fields[4] = {&m_nFormat, &m_nHeader, &m_nStartRow, &m_nStartCol};
            *fields[position - 1] = rb->resval.rint;
        } else if (position == 5 && code == AcDb::kDxfXdAsciiString) {
            headings = rb->resval.rstring;
        } else if (position == 6 && code == AcDb::kDxfXdAsciiString) {
            widths = rb->resval.rstring;
        } else if (position == 7 && code == AcDb::kDxfXdInteger32) {
            m_nRowCount = rb->resval.rlong;
        } else if (position == 8 && code == AcDb::kDxfXdInteger32) {
            m_nColCount = rb->resval.rlong;
        }
    }
    // Continuations of the lists, each a brace pair opened by the list's name.
    while (rb) {
        if (IsOpeningBrace(rb) && rb->rbnext && rb->rbnext->restype == AcDb::kDxfXdAsciiString) {
            const CString name(rb->rbnext->resval.rstring);
            CString* target = name == kHeadingsTail ? &headings
                              : name == kWidthsTail ? &widths
                                                    : nullptr;
            CString tail;
            rb = ReadContinuation(rb->rbnext, tail);
            if (target)
                *target += tail;
        } else {
            rb = rb->rbnext;
        }
    }
    SplitList(headings, m_headings);
    SplitList(widths, m_widths);
    acutRelRb(pData);
    return 1;
}

int TableLink::ReadLinkById(AcDbObjectId id) {
    AcDbEntity* pEntity = nullptr;
    if (acdbOpenAcDbEntity(pEntity, id, AcDb::kForRead) != Acad::eOk)
        return 0;
    const int result = ReadLink(pEntity);
    pEntity->close();
    return result;
}
