// The automation objects of the host's menus and toolbars (platform/acmenus.h) over the menu
// groups of the session (host/session/menu_groups.h). Every refusal throws a
// COleDispatchException* with the host's description.
#include <algorithm>
#include <string>

#include "host/base/text.h"
#include "host/session/menu_groups.h"
#include "platform/acmenus.h"
#include "platform/textconv.h"

namespace host {

namespace {

[[noreturn]] void Refuse(const std::string& description) {
    throw new COleDispatchException(description.c_str());
}

// An integer position or index.
long IntegerOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        default:
            Refuse("The index must be an integer.");
    }
}

// A name given as an index, or nullptr when the index is a number.
bool NameOf(const VARIANT& v, std::string& name) {
    if (v.vt != VT_BSTR)
        return false;
    name = qv::ToUtf8(v.bstrVal ? v.bstrVal : u"");
    return true;
}

// The position an add inserts at: past the end appends.
template <class T>
std::size_t InsertPosition(const VARIANT& index, const std::vector<T>& items) {
    const long position = IntegerOf(index);
    if (position < 0)
        Refuse("The position " + std::to_string(position) +
               " is not valid: positions count from 0.");
    return std::min(static_cast<std::size_t>(position), items.size());
}

// The item at an index or of a name (compared without regard to case).
template <class T, class NameFn>
T* ItemAt(const std::vector<std::unique_ptr<T>>& items, const VARIANT& index, NameFn nameOf,
          const char* what) {
    std::string name;
    if (NameOf(index, name)) {
        for (const auto& item : items) {
            if (EqualNoCase(nameOf(*item), name))
                return item.get();
        }
        Refuse(std::string("There is no ") + what + " named \"" + name + "\".");
    }
    const long i = IntegerOf(index);
    if (i < 0 || static_cast<std::size_t>(i) >= items.size())
        Refuse("The index " + std::to_string(i) + " is out of range: there " +
               (items.size() == 1 ? "is 1 " : "are " + std::to_string(items.size()) + " ") + what +
               (items.size() == 1 ? "." : "s."));
    return items[static_cast<std::size_t>(i)].get();
}

MenuGroup* AsGroup(void* p) {
    if (!p)
        Refuse("The menu group object refers to nothing.");
    return static_cast<MenuGroup*>(p);
}
PopupMenu* AsMenu(void* p) {
    if (!p)
        Refuse("The pop-up menu object refers to nothing.");
    return static_cast<PopupMenu*>(p);
}
MenuItem* AsItem(void* p) {
    if (!p)
        Refuse("The menu item object refers to nothing.");
    return static_cast<MenuItem*>(p);
}
Toolbar* AsBar(void* p) {
    if (!p)
        Refuse("The toolbar object refers to nothing.");
    return static_cast<Toolbar*>(p);
}
ToolbarItem* AsButton(void* p) {
    if (!p)
        Refuse("The toolbar item object refers to nothing.");
    return static_cast<ToolbarItem*>(p);
}

// The pop-up menus and toolbars of a group are handed out as the group itself.
char g_application;

}  // namespace

}  // namespace host

using namespace host;

COleDispatchException::COleDispatchException(const char* description, UINT helpId, WORD code)
    : m_wCode(code), m_dwHelpContext(helpId), m_strDescription(description ? description : "") {}

COleDispatchException::~COleDispatchException() = default;

BOOL COleDispatchException::GetErrorMessage(CStringA& message) const {
    message = m_strDescription;
    return !m_strDescription.IsEmpty();
}

// ---- Pop-up menus --------------------------------------------------------------------------

long IAcadPopupMenuItem::GetEndSubMenuLevel() const {
    return AsItem(m_pObject)->endSubMenuLevel;
}
void IAcadPopupMenuItem::SetEndSubMenuLevel(long levels) {
    MenuItem* item = AsItem(m_pObject);
    if (levels < 0 || levels > 99)
        Refuse("EndSubMenuLevel takes 0 to 99 levels, not " + std::to_string(levels) + ".");
    if (item->kind != MenuItem::Kind::Command)
        Refuse("Only a menu item with a macro can close sub-menu levels.");
    item->endSubMenuLevel = static_cast<int>(levels);
}
std::string IAcadPopupMenuItem::LabelUtf8() const {
    return AsItem(m_pObject)->label;
}
std::string IAcadPopupMenuItem::MacroUtf8() const {
    return AsItem(m_pObject)->macro;
}

std::string IAcadPopupMenu::NameUtf8() const {
    return AsMenu(m_pObject)->name;
}
long IAcadPopupMenu::GetCount() const {
    return static_cast<long>(AsMenu(m_pObject)->items.size());
}
IAcadPopupMenuItem IAcadPopupMenu::Item(const VARIANT& index) const {
    return IAcadPopupMenuItem(ItemAt(
        AsMenu(m_pObject)->items, index, [](const MenuItem& i) { return i.label; }, "menu item"));
}
IAcadPopupMenuItem IAcadPopupMenu::AddMenuItemUtf8(const VARIANT& index, const std::string& label,
                                                   const std::string& macro) {
    PopupMenu* menu = AsMenu(m_pObject);
    const std::size_t position = InsertPosition(index, menu->items);
    if (label.empty())
        Refuse("A menu item needs a label.");
    auto item = std::make_unique<MenuItem>();
    item->label = label;
    item->macro = macro;
    MenuItem* added = item.get();
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(position),
                       std::move(item));
    return IAcadPopupMenuItem(added);
}
IAcadPopupMenu IAcadPopupMenu::AddSubMenuUtf8(const VARIANT& index, const std::string& label) {
    PopupMenu* menu = AsMenu(m_pObject);
    const std::size_t position = InsertPosition(index, menu->items);
    if (label.empty())
        Refuse("A sub-menu needs a label.");
    auto item = std::make_unique<MenuItem>();
    item->kind = MenuItem::Kind::SubMenu;
    item->label = label;
    item->macro = "-";
    item->subMenu = std::make_unique<PopupMenu>();
    item->subMenu->name = label;
    PopupMenu* sub = item->subMenu.get();
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(position),
                       std::move(item));
    return IAcadPopupMenu(sub);
}
IAcadPopupMenuItem IAcadPopupMenu::AddSeparator(const VARIANT& index) {
    PopupMenu* menu = AsMenu(m_pObject);
    const std::size_t position = InsertPosition(index, menu->items);
    auto item = std::make_unique<MenuItem>();
    item->kind = MenuItem::Kind::Separator;
    item->label = "-";
    item->macro = "-";
    MenuItem* added = item.get();
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(position),
                       std::move(item));
    return IAcadPopupMenuItem(added);
}

long IAcadPopupMenus::GetCount() const {
    return static_cast<long>(AsGroup(m_pObject)->menus.size());
}
IAcadPopupMenu IAcadPopupMenus::Item(const VARIANT& index) const {
    return IAcadPopupMenu(ItemAt(
        AsGroup(m_pObject)->menus, index, [](const PopupMenu& m) { return m.name; },
        "pop-up menu"));
}

// ---- Toolbars ------------------------------------------------------------------------------

std::string IAcadToolbarItem::NameUtf8() const {
    return AsButton(m_pObject)->name;
}
void IAcadToolbarItem::SetBitmapsUtf8(const std::string& smallBitmap,
                                      const std::string& largeBitmap) {
    ToolbarItem* item = AsButton(m_pObject);
    if (item->kind != ToolbarItem::Kind::Button)
        Refuse("A toolbar separator has no bitmaps.");
    item->smallBitmap = smallBitmap;
    item->largeBitmap = largeBitmap;
}

std::string IAcadToolbar::NameUtf8() const {
    return AsBar(m_pObject)->name;
}
long IAcadToolbar::GetCount() const {
    return static_cast<long>(AsBar(m_pObject)->items.size());
}
IAcadToolbarItem IAcadToolbar::Item(const VARIANT& index) const {
    return IAcadToolbarItem(ItemAt(
        AsBar(m_pObject)->items, index, [](const ToolbarItem& i) { return i.name; },
        "toolbar item"));
}
IAcadToolbarItem IAcadToolbar::AddToolbarButtonUtf8(const VARIANT& index, const std::string& name,
                                                    const std::string& help,
                                                    const std::string& macro,
                                                    const VARIANT& flyout) {
    Toolbar* bar = AsBar(m_pObject);
    const std::size_t position = InsertPosition(index, bar->items);
    if (name.empty())
        Refuse("A toolbar button needs a name.");
    if (flyout.vt != VT_BOOL)
        Refuse("The flyout flag must be true or false.");
    auto item = std::make_unique<ToolbarItem>();
    item->name = name;
    item->help = help;
    item->macro = macro;
    item->flyout = flyout.boolVal != 0;
    ToolbarItem* added = item.get();
    bar->items.insert(bar->items.begin() + static_cast<std::ptrdiff_t>(position), std::move(item));
    return IAcadToolbarItem(added);
}
IAcadToolbarItem IAcadToolbar::AddSeparator(const VARIANT& index) {
    Toolbar* bar = AsBar(m_pObject);
    const std::size_t position = InsertPosition(index, bar->items);
    auto item = std::make_unique<ToolbarItem>();
    item->kind = ToolbarItem::Kind::Separator;
    ToolbarItem* added = item.get();
    bar->items.insert(bar->items.begin() + static_cast<std::ptrdiff_t>(position), std::move(item));
    return IAcadToolbarItem(added);
}

long IAcadToolbars::GetCount() const {
    return static_cast<long>(AsGroup(m_pObject)->toolbars.size());
}
IAcadToolbar IAcadToolbars::Item(const VARIANT& index) const {
    return IAcadToolbar(ItemAt(
        AsGroup(m_pObject)->toolbars, index, [](const Toolbar& t) { return t.name; }, "toolbar"));
}
IAcadToolbar IAcadToolbars::AddUtf8(const std::string& name) {
    MenuGroup* group = AsGroup(m_pObject);
    if (name.empty())
        Refuse("A toolbar needs a name.");
    // Toolbar names are unique in a group, compared as the host compares names.
    for (const auto& t : group->toolbars) {
        if (EqualNoCase(t->name, name))
            Refuse("The menu group \"" + group->name + "\" has a toolbar named \"" + t->name +
                   "\" already.");
    }
    auto bar = std::make_unique<Toolbar>();
    bar->name = name;
    Toolbar* added = bar.get();
    group->toolbars.push_back(std::move(bar));
    return IAcadToolbar(added);
}

// ---- Menu groups ---------------------------------------------------------------------------

std::string IAcadMenuGroup::NameUtf8() const {
    return AsGroup(m_pObject)->name;
}
IAcadPopupMenus IAcadMenuGroup::GetMenus() const {
    return IAcadPopupMenus(AsGroup(m_pObject));
}
IAcadToolbars IAcadMenuGroup::GetToolbars() const {
    return IAcadToolbars(AsGroup(m_pObject));
}
void IAcadMenuGroup::Save(long fileType) {
    MenuGroup* group = AsGroup(m_pObject);
    if (fileType != acMenuFileSource)
        Refuse("This host keeps menu groups as menu source files only (file type " +
               std::to_string(acMenuFileSource) + ").");
    std::string error;
    if (!SaveMenuGroup(*group, error))
        Refuse("The menu group \"" + group->name + "\" could not be saved: " + error);
}

long IAcadMenuGroups::GetCount() const {
    if (m_pObject != &g_application)
        Refuse("The menu groups object refers to nothing.");
    return static_cast<long>(MenuGroups().size());
}
IAcadMenuGroup IAcadMenuGroups::Item(const VARIANT& index) const {
    if (m_pObject != &g_application)
        Refuse("The menu groups object refers to nothing.");
    return IAcadMenuGroup(ItemAt(
        MenuGroups(), index, [](const MenuGroup& g) { return g.name; }, "menu group"));
}

IAcadMenuGroups IAcadApplication::GetMenuGroups() const {
    if (m_pObject != &g_application)
        Refuse("The application object refers to nothing.");
    return IAcadMenuGroups(&g_application);
}

IAcadApplication acedGetAcadApplication() {
    return IAcadApplication(&g_application);
}
