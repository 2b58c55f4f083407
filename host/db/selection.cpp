// Entity names, selection sets and object selection: filters compiled from result-buffer
// chains, the selection modes of acedSSGet and the editor's interactive hook.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/acedads.h"
#include "platform/acutads.h"
#include "platform/textconv.h"

namespace {

// The second word of a name tells entity names from selection-set names; the first is the
// entity's record or the set's serial number.
constexpr std::intptr_t kEntityTag = 0x456E7459;  // "EntY"
constexpr std::intptr_t kSetTag = 0x53536574;     // "SSet"

struct SelectionSets {
    std::map<std::intptr_t, std::vector<AcDbObjectId>> sets;
    std::intptr_t nextSerial = 1;
    std::vector<AcDbObjectId> previous;  // the last set acedSSGet made
};

SelectionSets& Sets() {
    static SelectionSets s;
    return s;
}

std::vector<AcDbObjectId>* FindSet(const ads_name ss) {
    if (!ss || ss[1] != kSetTag)
        return nullptr;
    auto it = Sets().sets.find(ss[0]);
    return it == Sets().sets.end() ? nullptr : &it->second;
}

host::InteractiveSelector g_interactive = nullptr;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entity names

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name entity) {
    id.setNull();
    if (!entity || entity[1] != kEntityTag)
        return Acad::eInvalidAdsName;
    // The first word is only trusted once it is known to be a live record.
    auto* stub = reinterpret_cast<AcDbStub*>(entity[0]);
    if (!host::IsLiveStub(stub) || !stub->object)
        return Acad::eInvalidAdsName;
    id = AcDbObjectId(stub);
    return Acad::eOk;
}

namespace {
Acad::ErrorStatus NameOf(std::intptr_t* entity, AcDbObjectId id) {
    entity[0] = entity[1] = 0;
    if (id.isNull())
        return Acad::eNullObjectId;
    if (!id.isValid())
        return Acad::eInvalidInput;
    entity[0] = reinterpret_cast<std::intptr_t>(id.stub());
    entity[1] = kEntityTag;
    return Acad::eOk;
}
}  // namespace

Acad::ErrorStatus acdbGetAdsName(ads_name& entity, AcDbObjectId id) {
    return NameOf(entity, id);
}

int acdbEntDel(const ads_name entity) {
    AcDbObjectId id;
    if (acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    AcDbEntity* ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForWrite, true) != Acad::eOk)
        return RTERROR;
    const Acad::ErrorStatus es = ent->erase(!ent->isErased());
    ent->close();
    return es == Acad::eOk ? RTNORM : RTERROR;
}

int acdbEntLast(ads_name entity) {
    entity[0] = entity[1] = 0;
    AcDbDatabase* db = host::WorkingDatabase();
    if (!db)
        return RTERROR;
    const auto& order = db->impl()->order;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        AcDbStub* stub = *it;
        auto* ent = AcDbEntity::cast(stub->object.get());
        if (!ent || stub->erased)
            continue;
        auto* block = AcDbBlockTableRecord::cast(host::ObjectOf(ent->ownerId()));
        if (!block || !block->isLayout())
            continue;
        return NameOf(entity, AcDbObjectId(stub)) == Acad::eOk ? RTNORM : RTERROR;
    }
    return RTERROR;
}

// ---------------------------------------------------------------------------------------------
// Filters

struct host::SelectionFilter::Node {
    enum class Kind { All, And, Or, Not, Xor, Type, Layer, BlockName, Handle, Space, XData };
    Kind kind = Kind::All;
    std::vector<Node> children;
    std::vector<std::string> values;  // folded names; for XData the application names
    std::uint64_t handle = 0;
    int space = 0;

    bool Matches(const AcDbEntity* ent) const;
};

namespace host {

namespace {

// One filter group with its value as text or number.
struct FilterItem {
    int code = 0;
    std::string text;
    long long integer = 0;
};

template <class C>
std::vector<FilterItem> ItemsOf(const resbufT<C>* chain) {
    std::vector<FilterItem> items;
    for (const resbufT<C>* rb = chain; rb; rb = rb->rbnext) {
        FilterItem item;
        item.code = rb->restype;
        switch (acutValueKindOf(rb->restype)) {
            case AcutValueKind::Text:
                item.text = qv::ToUtf8(rb->resval.rstring);
                break;
            case AcutValueKind::Short:
                item.integer = rb->resval.rint;
                break;
            case AcutValueKind::Long:
                item.integer = rb->resval.rlong;
                break;
            default:
                break;
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        std::string name = list.substr(start, comma - start);
        const auto b = name.find_first_not_of(' ');
        const auto e = name.find_last_not_of(' ');
        if (b != std::string::npos)
            names.push_back(FoldKey(name.substr(b, e - b + 1)));
        start = comma + 1;
    }
    return names;
}

using Node = SelectionFilter::Node;

// Parses items from i up to the closing operator `close` (empty at the top level).
bool ParseList(const std::vector<FilterItem>& items, std::size_t& i, const std::string& close,
               std::vector<Node>& out) {
    while (i < items.size()) {
        const FilterItem& item = items[i++];
        if (item.code == -4) {
            const std::string op = FoldKey(item.text);
            if (op == "<and" || op == "<or" || op == "<not" || op == "<xor") {
                Node node;
                const std::string name = op.substr(1);
                node.kind = name == "and"   ? Node::Kind::And
                            : name == "or"  ? Node::Kind::Or
                            : name == "not" ? Node::Kind::Not
                                            : Node::Kind::Xor;
                if (!ParseList(items, i, name + ">", node.children))
                    return false;
                const std::size_t n = node.children.size();
                if (n == 0 || (node.kind == Node::Kind::Not && n != 1) ||
                    (node.kind == Node::Kind::Xor && n != 2))
                    return false;
                out.push_back(std::move(node));
            } else if (op == "and>" || op == "or>" || op == "not>" || op == "xor>") {
                return op == close;
            } else {
                // A relational test applies to the next group; neither is modelled.
                if (i < items.size())
                    ++i;
                out.push_back(Node{});
            }
            continue;
        }
        Node node;
        switch (item.code) {
            case 0:
                node.kind = Node::Kind::Type;
                node.values = SplitNames(item.text);
                break;
            case 2:
                node.kind = Node::Kind::BlockName;
                node.values = SplitNames(item.text);
                break;
            case 8:
                node.kind = Node::Kind::Layer;
                node.values = SplitNames(item.text);
                break;
            case 5:
                node.kind = Node::Kind::Handle;
                node.handle = std::strtoull(item.text.c_str(), nullptr, 16);
                break;
            case 67:
                node.kind = Node::Kind::Space;
                node.space = static_cast<int>(item.integer);
                break;
            case -3:
                node.kind = Node::Kind::XData;
                while (i < items.size() && items[i].code >= 1000 && items[i].code <= 1071) {
                    if (items[i].code == 1001)
                        node.values.push_back(items[i].text);
                    ++i;
                }
                if (node.values.empty())
                    node.kind = Node::Kind::All;
                break;
            default:
                break;  // not modelled: every entity passes
        }
        out.push_back(std::move(node));
    }
    return close.empty();
}

template <class C>
bool CompileChain(const resbufT<C>* chain, std::shared_ptr<const Node>& root) {
    root.reset();
    if (!chain)
        return true;
    const std::vector<FilterItem> items = ItemsOf(chain);
    std::size_t i = 0;
    auto top = std::make_shared<Node>();
    top->kind = Node::Kind::And;
    if (!ParseList(items, i, "", top->children))
        return false;
    if (!top->children.empty())
        root = top;
    return true;
}

// Matches a folded name against a folded pattern: "*" any run of characters, "?" any one,
// "#" a digit, "@" a letter, a back-quote takes the next character literally, and a leading
// "~" inverts the match.
bool WildMatch(std::string_view pattern, std::string_view name) {
    if (!pattern.empty() && pattern[0] == '~')
        return !WildMatch(pattern.substr(1), name);
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char c = pattern[p];
            const char x = name[n];
            const bool literal = c == '`' && p + 1 < pattern.size();
            const char want = literal ? pattern[p + 1] : c;
            if (!literal && c == '*') {
                starP = p++;
                starN = n;
                continue;
            }
            const bool one = literal    ? x == want
                             : c == '?' ? true
                             : c == '#' ? std::isdigit(static_cast<unsigned char>(x)) != 0
                             : c == '@' ? std::isalpha(static_cast<unsigned char>(x)) != 0
                                        : x == c;
            if (one) {
                p += literal ? 2 : 1;
                ++n;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP + 1;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool InList(const std::vector<std::string>& names, const std::string& value) {
    const std::string key = FoldKey(value);
    for (const std::string& n : names) {
        if (WildMatch(n, key))
            return true;
    }
    return false;
}

// Whether an entity has extended data of an application matching the pattern.
bool HasXDataLike(const AcDbEntity* ent, const std::string& pattern) {
    const std::string folded = FoldKey(pattern);
    for (const XDataApp& app : ent->state()->xdata) {
        if (WildMatch(folded, FoldKey(app.app)))
            return true;
    }
    return false;
}

}  // namespace

SelectionFilter::SelectionFilter() = default;
SelectionFilter::~SelectionFilter() = default;
SelectionFilter::SelectionFilter(const SelectionFilter& other) = default;
SelectionFilter& SelectionFilter::operator=(const SelectionFilter& other) = default;

bool SelectionFilter::Compile(const resbufA* chain) {
    return CompileChain(chain, m_root);
}
bool SelectionFilter::Compile(const resbufW* chain) {
    return CompileChain(chain, m_root);
}
bool SelectionFilter::IsEmpty() const {
    return !m_root;
}

bool SelectionFilter::Matches(const AcDbEntity* entity) const {
    return entity && (!m_root || m_root->Matches(entity));
}

bool SelectionFilter::Matches(AcDbObjectId id) const {
    return Matches(AcDbEntity::cast(ObjectOf(id)));
}

}  // namespace host

bool host::SelectionFilter::Node::Matches(const AcDbEntity* ent) const {
    switch (kind) {
        case Kind::All:
            return true;
        case Kind::And:
            return std::all_of(children.begin(), children.end(),
                               [ent](const Node& n) { return n.Matches(ent); });
        case Kind::Or:
            return std::any_of(children.begin(), children.end(),
                               [ent](const Node& n) { return n.Matches(ent); });
        case Kind::Not:
            return !children[0].Matches(ent);
        case Kind::Xor:
            return children[0].Matches(ent) != children[1].Matches(ent);
        case Kind::Type:
            return host::InList(values, host::DxfNameOf(ent));
        case Kind::Layer:
            return host::InList(values, ent->state()->layer);
        case Kind::BlockName: {
            auto* ref = AcDbBlockReference::cast(ent);
            if (!ref)
                return false;
            auto* block = AcDbBlockTableRecord::cast(host::ObjectOf(ref->blockTableRecord()));
            return block && host::InList(values, block->data()->name);
        }
        case Kind::Handle:
            return ent->getDbHandle().value() == handle;
        case Kind::Space: {
            auto* block = AcDbBlockTableRecord::cast(host::ObjectOf(ent->ownerId()));
            const bool paper = block && block->isLayout() &&
                               host::FoldKey(block->data()->name).rfind("*paper_space", 0) == 0;
            return (paper ? 1 : 0) == space;
        }
        case Kind::XData:
            for (const std::string& app : values) {
                if (!host::HasXDataLike(ent, app))
                    return false;
            }
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Selection primitives

namespace host {

namespace {

bool IsSpace(const AcDbBlockTableRecord* block) {
    return block && block->isLayout();
}

template <class Fn>
void ForEachInCurrentSpace(AcDbDatabase* db, bool reverse, Fn fn) {
    auto* space = AcDbBlockTableRecord::cast(ObjectOf(db->currentSpaceId()));
    if (!space)
        return;
    const std::vector<AcDbObjectId> ids = space->data()->entities;
    auto visit = [&](AcDbObjectId id) {
        auto* ent = AcDbEntity::cast(ObjectOf(id));
        if (ent && !id.isErased())
            fn(id, ent);
    };
    if (reverse) {
        std::for_each(ids.rbegin(), ids.rend(), visit);
    } else {
        std::for_each(ids.begin(), ids.end(), visit);
    }
}

}  // namespace

void SetInteractiveSelector(InteractiveSelector selector) {
    g_interactive = selector;
}

std::vector<AcDbObjectId> SelectAll(AcDbDatabase* db, const SelectionFilter& f) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    for (AcDbStub* stub : db->impl()->order) {
        auto* ent = AcDbEntity::cast(stub->object.get());
        if (!ent || stub->erased)
            continue;
        if (!IsSpace(AcDbBlockTableRecord::cast(ObjectOf(ent->ownerId()))))
            continue;
        if (f.Matches(ent))
            ids.emplace_back(stub);
    }
    return ids;
}

std::vector<AcDbObjectId> SelectWindow(AcDbDatabase* db, const AcGePoint3d& a, const AcGePoint3d& b,
                                       bool crossing, const SelectionFilter& f) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
    const double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
    ForEachInCurrentSpace(db, false, [&](AcDbObjectId id, AcDbEntity* ent) {
        AcGePoint3d lo, hi;
        if (ent->getGeomExtents(lo, hi) != Acad::eOk)
            return;
        const bool inside = lo.x >= x0 && hi.x <= x1 && lo.y >= y0 && hi.y <= y1;
        const bool meets = lo.x <= x1 && hi.x >= x0 && lo.y <= y1 && hi.y >= y0;
        if ((crossing ? meets : inside) && f.Matches(ent))
            ids.push_back(id);
    });
    return ids;
}

std::vector<AcDbObjectId> SelectAtPoint(AcDbDatabase* db, const AcGePoint3d& p, double aperture,
                                        const SelectionFilter& f) {
    std::vector<AcDbObjectId> ids;
    if (!db)
        return ids;
    const double ap = std::fabs(aperture);
    ForEachInCurrentSpace(db, true, [&](AcDbObjectId id, AcDbEntity* ent) {
        bool hit = false;
        if (auto* table = AcDbTable::cast(ent)) {
            int row = 0, column = 0;
            hit = table->hitTest(p, AcGeVector3d::kZAxis, ap, ap, row, column);
        } else {
            AcGePoint3d lo, hi;
            hit = ent->getGeomExtents(lo, hi) == Acad::eOk && p.x >= lo.x - ap &&
                  p.x <= hi.x + ap && p.y >= lo.y - ap && p.y <= hi.y + ap;
        }
        if (hit && f.Matches(ent))
            ids.push_back(id);
    });
    return ids;
}

AcDbObjectId LastEntity(AcDbDatabase* db) {
    AcDbObjectId last;
    if (!db)
        return last;
    ForEachInCurrentSpace(db, true, [&](AcDbObjectId id, AcDbEntity*) {
        if (last.isNull())
            last = id;
    });
    return last;
}

int MakeSelectionSet(const std::vector<AcDbObjectId>& ids, ads_name ss) {
    SelectionSets& s = Sets();
    const std::intptr_t serial = s.nextSerial++;
    s.sets.emplace(serial, ids);
    ss[0] = serial;
    ss[1] = kSetTag;
    return RTNORM;
}

std::vector<AcDbObjectId> SelectionSetIds(const ads_name ss) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    return set ? *set : std::vector<AcDbObjectId>();
}

std::size_t SelectionSetCount() {
    return Sets().sets.size();
}

}  // namespace host

// ---------------------------------------------------------------------------------------------
// acedSSGet and the selection-set functions

namespace {

// Keeps live, non-erased entities that pass the filter, each once, in their order.
std::vector<AcDbObjectId> Clean(const std::vector<AcDbObjectId>& ids,
                                const host::SelectionFilter& f) {
    std::vector<AcDbObjectId> out;
    std::set<AcDbObjectId> seen;
    for (AcDbObjectId id : ids) {
        if (!id.isValid() || id.isErased() || !f.Matches(id))
            continue;
        if (seen.insert(id).second)
            out.push_back(id);
    }
    return out;
}

int SSGet(const std::string* mode, const void* pt1, const void* pt2,
          const host::SelectionFilter& filter, ads_name ss) {
    ss[0] = ss[1] = 0;
    AcDbDatabase* db = host::WorkingDatabase();
    if (!db)
        return RTERROR;
    std::vector<AcDbObjectId> ids;
    std::string m = mode ? host::FoldKey(*mode) : std::string();
    if (!m.empty() && m[0] == '_')
        m.erase(0, 1);
    if (m.empty()) {
        if (!g_interactive)
            return RTERROR;
        const int rc = g_interactive(db, filter, ids);
        if (rc != RTNORM)
            return rc;
    } else if (m == "x") {
        ids = host::SelectAll(db, filter);
    } else if (m == "l") {
        const AcDbObjectId last = host::LastEntity(db);
        if (!last.isNull())
            ids.push_back(last);
    } else if (m == "w" || m == "c") {
        if (!pt1 || !pt2)
            return RTERROR;
        const auto* a = static_cast<const double*>(pt1);
        const auto* b = static_cast<const double*>(pt2);
        ids = host::SelectWindow(db, AcGePoint3d(a[0], a[1], a[2]), AcGePoint3d(b[0], b[1], b[2]),
                                 m == "c", filter);
    } else if (m == "p") {
        ids = Sets().previous;
    } else {
        return RTERROR;  // modes the host does not offer
    }
    ids = Clean(ids, filter);
    if (ids.empty())
        return RTERROR;
    Sets().previous = ids;
    return host::MakeSelectionSet(ids, ss);
}

}  // namespace

int acedSSGet(const char* mode, const void* pt1, const void* pt2, const resbufA* filter,
              ads_name ss) {
    host::SelectionFilter f;
    if (!f.Compile(filter)) {
        ss[0] = ss[1] = 0;
        return RTERROR;
    }
    const std::string m = mode ? mode : "";
    return SSGet(mode ? &m : nullptr, pt1, pt2, f, ss);
}

int acedSSGet(const char16_t* mode, const void* pt1, const void* pt2, const resbufW* filter,
              ads_name ss) {
    host::SelectionFilter f;
    if (!f.Compile(filter)) {
        ss[0] = ss[1] = 0;
        return RTERROR;
    }
    const std::string m = qv::ToUtf8(mode);
    return SSGet(mode ? &m : nullptr, pt1, pt2, f, ss);
}

int acedSSFree(const ads_name ss) {
    if (!FindSet(ss))
        return RTERROR;
    Sets().sets.erase(ss[0]);
    return RTNORM;
}

int acedSSLength(const ads_name ss, std::int32_t* length) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || !length)
        return RTERROR;
    *length = static_cast<std::int32_t>(set->size());
    return RTNORM;
}

int acedSSName(const ads_name ss, std::int32_t index, ads_name entity) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || index < 0 || static_cast<std::size_t>(index) >= set->size())
        return RTERROR;
    return NameOf(entity, (*set)[index]) == Acad::eOk ? RTNORM : RTERROR;
}

int acedSSAdd(const ads_name entity, const ads_name ss, ads_name result) {
    AcDbObjectId id;
    const bool hasEntity = entity && !ads_name_nil(entity);
    if (hasEntity && acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    if (!ss || ads_name_nil(ss)) {
        std::vector<AcDbObjectId> ids;
        if (hasEntity)
            ids.push_back(id);
        return host::MakeSelectionSet(ids, result);
    }
    std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set)
        return RTERROR;
    if (hasEntity && std::find(set->begin(), set->end(), id) == set->end())
        set->push_back(id);
    if (result != ss) {
        result[0] = ss[0];
        result[1] = ss[1];
    }
    return RTNORM;
}

int acedSSDel(const ads_name entity, const ads_name ss) {
    AcDbObjectId id;
    std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    auto it = std::find(set->begin(), set->end(), id);
    if (it == set->end())
        return RTERROR;
    set->erase(it);
    return RTNORM;
}

int acedSSMemb(const ads_name entity, const ads_name ss) {
    AcDbObjectId id;
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || acdbGetObjectId(id, entity) != Acad::eOk)
        return RTERROR;
    return std::find(set->begin(), set->end(), id) != set->end() ? RTNORM : RTERROR;
}

int acedXformSS(const ads_name ss, ads_matrix matrix) {
    const std::vector<AcDbObjectId>* set = FindSet(ss);
    if (!set || !matrix)
        return RTERROR;
    AcGeMatrix3d m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m.entry[r][c] = matrix[r][c];
    bool allMoved = true;
    for (AcDbObjectId id : std::vector<AcDbObjectId>(*set)) {
        AcDbEntity* ent = nullptr;
        if (acdbOpenAcDbEntity(ent, id, AcDb::kForWrite) != Acad::eOk) {
            allMoved = false;
            continue;
        }
        if (ent->transformBy(m) != Acad::eOk)
            allMoved = false;
        ent->close();
    }
    return allMoved ? RTNORM : RTERROR;
}
