// Selection filters: result-buffer chains compiled into a tree of tests on entities.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/db/hostdb.h"
#include "host/db/internal.h"
#include "platform/acutads.h"
#include "platform/textconv.h"

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
