// Extended data: chains of typed groups per registered application, with the limits of the
// drawing format enforced when data is set (refused with a status code, never cut short).
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/acutads.h"
#include "platform/textconv.h"

namespace host {

namespace {

enum class XKind { Text, Brace, Binary, Handle, Point, Real, Short, Long };

// The kind of value an extended-data group code holds; false for codes outside extended data.
bool KindOf(int code, XKind& kind) {
    switch (code) {
        case 1000:
        case 1003:
            kind = XKind::Text;
            return true;
        case 1002:
            kind = XKind::Brace;
            return true;
        case 1004:
            kind = XKind::Binary;
            return true;
        case 1005:
            kind = XKind::Handle;
            return true;
        case 1010:
        case 1011:
        case 1012:
        case 1013:
            kind = XKind::Point;
            return true;
        case 1040:
        case 1041:
        case 1042:
            kind = XKind::Real;
            return true;
        case 1070:
            kind = XKind::Short;
            return true;
        case 1071:
            kind = XKind::Long;
            return true;
        default:
            return false;
    }
}

std::size_t GroupSize(const XDataGroup& g) {
    XKind kind{};
    KindOf(g.code, kind);
    switch (kind) {
        case XKind::Text:
            return 1 + 2 + g.text.size();
        case XKind::Brace:
            return 1 + 1;
        case XKind::Binary:
            return 1 + 1 + g.binary.size();
        case XKind::Handle:
            return 1 + 8;
        case XKind::Point:
            return 1 + 24;
        case XKind::Real:
            return 1 + 8;
        case XKind::Short:
            return 1 + 2;
        case XKind::Long:
            return 1 + 4;
    }
    return 1;
}

int FindApp(const std::vector<XDataApp>& data, std::string_view app) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (EqualNoCase(data[i].app, app))
            return static_cast<int>(i);
    }
    return -1;
}

template <class C>
std::string TextOf(const C* s) {
    return qv::ToUtf8(s);
}

bool IsHexHandle(const std::string& s) {
    if (s.empty() || s.size() > 16)
        return false;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// Reads a chain into per-application data; the first refusal found wins.
template <class C>
Acad::ErrorStatus ParseChain(const resbufT<C>* chain, const AcDbDatabase* db,
                             std::vector<XDataApp>& out) {
    if (!chain)
        return Acad::eInvalidResBuf;
    if (chain->restype != 1001)
        return Acad::eInvalidResBuf;
    int depth = 0;
    for (const resbufT<C>* rb = chain; rb; rb = rb->rbnext) {
        if (rb->restype == 1001) {
            if (depth != 0)
                return Acad::eInvalidResBuf;
            const std::string app = TextOf(rb->resval.rstring);
            if (app.empty())
                return Acad::eInvalidResBuf;
            std::string registered = app;
            if (db) {
                registered = RegisteredAppName(db, app);
                if (registered.empty())
                    return Acad::eRegappIdNotFound;
            }
            out.push_back({registered, {}});
            continue;
        }
        XKind kind{};
        if (!KindOf(rb->restype, kind))
            return Acad::eInvalidResBuf;
        XDataGroup g;
        g.code = rb->restype;
        switch (kind) {
            case XKind::Text:
                g.text = TextOf(rb->resval.rstring);
                if (g.text.size() > kXDataStringLimit)
                    return Acad::eStringTooLong;
                break;
            case XKind::Brace:
                g.text = TextOf(rb->resval.rstring);
                if (g.text == "{") {
                    ++depth;
                } else if (g.text == "}") {
                    if (--depth < 0)
                        return Acad::eInvalidResBuf;
                } else {
                    return Acad::eInvalidResBuf;
                }
                break;
            case XKind::Handle:
                g.text = TextOf(rb->resval.rstring);
                if (!IsHexHandle(g.text))
                    return Acad::eInvalidResBuf;
                break;
            case XKind::Binary: {
                const short n = rb->resval.rbinary.clen;
                if (n < 0 || static_cast<std::size_t>(n) > kXDataBinaryLimit ||
                    (n > 0 && !rb->resval.rbinary.buf))
                    return Acad::eInvalidResBuf;
                const auto* bytes = reinterpret_cast<const unsigned char*>(rb->resval.rbinary.buf);
                g.binary.assign(bytes, bytes + n);
                break;
            }
            case XKind::Point:
                for (int k = 0; k < 3; ++k)
                    g.point[k] = rb->resval.rpoint[k];
                break;
            case XKind::Real:
                g.real = rb->resval.rreal;
                break;
            case XKind::Short:
                g.integer = rb->resval.rint;
                break;
            case XKind::Long:
                g.integer = rb->resval.rlong;
                break;
        }
        out.back().groups.push_back(std::move(g));
    }
    if (depth != 0)
        return Acad::eInvalidResBuf;
    return Acad::eOk;
}

template <class C>
std::basic_string<C> Convert(const std::string& s) {
    return qv::ConvertText<C>(std::string_view(s));
}

template <class C>
C* NewText(const std::string& s) {
    return acutNewStringT<C>(Convert<C>(s).c_str());
}

template <class C>
void AppendApp(const XDataApp& app, resbufT<C>*& head, resbufT<C>*& tail) {
    auto push = [&](resbufT<C>* rb) {
        if (tail) {
            tail->rbnext = rb;
        } else {
            head = rb;
        }
        tail = rb;
    };
    resbufT<C>* rb = acutNewRbT<C>(1001);
    rb->resval.rstring = NewText<C>(app.app);
    push(rb);
    for (const XDataGroup& g : app.groups) {
        rb = acutNewRbT<C>(g.code);
        XKind kind{};
        KindOf(g.code, kind);
        switch (kind) {
            case XKind::Text:
            case XKind::Brace:
            case XKind::Handle:
                rb->resval.rstring = NewText<C>(g.text);
                break;
            case XKind::Binary:
                rb->resval.rbinary.clen = static_cast<short>(g.binary.size());
                rb->resval.rbinary.buf = new char[g.binary.size() + 1];
                if (!g.binary.empty())
                    std::memcpy(rb->resval.rbinary.buf, g.binary.data(), g.binary.size());
                break;
            case XKind::Point:
                for (int k = 0; k < 3; ++k)
                    rb->resval.rpoint[k] = g.point[k];
                break;
            case XKind::Real:
                rb->resval.rreal = g.real;
                break;
            case XKind::Short:
                rb->resval.rint = static_cast<short>(g.integer);
                break;
            case XKind::Long:
                rb->resval.rlong = g.integer;
                break;
        }
        push(rb);
    }
}

template <class C>
resbufT<C>* GetChain(const AcDbObject* obj, const C* appName) {
    const std::vector<XDataApp>& data = obj->state()->xdata;
    resbufT<C>* head = nullptr;
    resbufT<C>* tail = nullptr;
    if (!appName) {
        for (const XDataApp& app : data)
            AppendApp(app, head, tail);
        return head;
    }
    const int i = FindApp(data, TextOf(appName));
    if (i >= 0)
        AppendApp(data[i], head, tail);
    return head;
}

template <class C>
Acad::ErrorStatus SetChain(AcDbObject* obj, const resbufT<C>* chain) {
    if (const Acad::ErrorStatus es = CheckWritable(obj); es != Acad::eOk)
        return es;
    // Application names are checked against the object's drawing (the working drawing for an
    // object not yet in one).
    const AcDbDatabase* db = obj->database() ? obj->database() : WorkingDatabase();
    std::vector<XDataApp> incoming;
    if (const Acad::ErrorStatus es = ParseChain(chain, db, incoming); es != Acad::eOk)
        return es;
    std::vector<XDataApp> merged = obj->state()->xdata;
    for (XDataApp& app : incoming) {
        const int i = FindApp(merged, app.app);
        if (app.groups.empty()) {
            if (i >= 0)
                merged.erase(merged.begin() + i);
        } else if (i >= 0) {
            merged[i] = std::move(app);
        } else {
            merged.push_back(std::move(app));
        }
    }
    if (XDataSize(merged) > kXDataLimit)
        return Acad::eXdataSizeExceeded;
    obj->state()->xdata = std::move(merged);
    return Acad::eOk;
}

}  // namespace

std::size_t XDataSize(const std::vector<XDataApp>& data) {
    std::size_t total = 0;
    for (const XDataApp& app : data) {
        total += 2;
        for (const XDataGroup& g : app.groups)
            total += GroupSize(g);
    }
    return total;
}

const std::vector<XDataApp>& XDataOf(const AcDbObject* obj) {
    return obj->state()->xdata;
}

bool HasXData(const AcDbObject* obj, const std::string& app) {
    return obj && FindApp(obj->state()->xdata, app) >= 0;
}

}  // namespace host

resbufA* AcDbObject::xData(const char* appName) const {
    return host::GetChain(this, appName);
}
resbufW* AcDbObject::xData(const char16_t* appName) const {
    return host::GetChain(this, appName);
}
Acad::ErrorStatus AcDbObject::setXData(const resbufA* chain) {
    return host::SetChain(this, chain);
}
Acad::ErrorStatus AcDbObject::setXData(const resbufW* chain) {
    return host::SetChain(this, chain);
}
