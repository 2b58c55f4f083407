// Popup menus of the framework: built entry by entry, shown by the toolkit, the chosen command
// sent to the owner window.
#include <unordered_map>

#include "host/ui/dialogs/model.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/textconv.h"

using host::ui::Menu;
using host::ui::MenuEntry;

namespace host::ui {

namespace {

std::unordered_map<const Menu*, std::unique_ptr<Menu>>& Menus() {
    static auto* menus =
        new std::unordered_map<const Menu*, std::unique_ptr<Menu>>;  // never destroyed
    return *menus;
}

// The entry a command id or position names, or null.
MenuEntry* EntryOf(Menu* menu, UINT idOrPosition, UINT flags) {
    if (!menu)
        return nullptr;
    if (flags & MF_BYPOSITION) {
        return idOrPosition < menu->entries.size() ? &menu->entries[idOrPosition] : nullptr;
    }
    for (MenuEntry& entry : menu->entries) {
        if (!entry.Separator() && entry.id == idOrPosition)
            return &entry;
    }
    return nullptr;
}

}  // namespace

Menu* MenuFromHandle(HMENU handle) {
    auto* menu = reinterpret_cast<Menu*>(handle);
    return handle && Menus().count(menu) ? menu : nullptr;
}

}  // namespace host::ui

CMenu::CMenu() = default;

CMenu::~CMenu() {
    DestroyMenu();
}

BOOL CMenu::CreatePopupMenu() {
    DestroyMenu();
    auto menu = std::make_unique<Menu>();
    m_hMenu = reinterpret_cast<HMENU>(menu.get());
    host::ui::Menus().emplace(menu.get(), std::move(menu));
    return TRUE;
}

BOOL CMenu::CreateMenu() {
    return CreatePopupMenu();
}

BOOL CMenu::DestroyMenu() {
    if (!m_hMenu)
        return FALSE;
    if (Menu* menu = host::ui::MenuFromHandle(m_hMenu))
        host::ui::Menus().erase(menu);
    m_hMenu = nullptr;
    return TRUE;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char* text) {
    Menu* menu = host::ui::MenuFromHandle(m_hMenu);
    if (!menu)
        return FALSE;
    menu->entries.push_back(
        MenuEntry{flags, (flags & MF_SEPARATOR) ? 0 : idNewItem, text ? std::string(text) : ""});
    return TRUE;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char16_t* text) {
    const std::string utf8 = text ? qv::ToUtf8(text) : std::string();
    return AppendMenu(flags, idNewItem, utf8.c_str());
}

UINT CMenu::EnableMenuItem(UINT idOrPosition, UINT enable) {
    MenuEntry* entry = host::ui::EntryOf(host::ui::MenuFromHandle(m_hMenu), idOrPosition, enable);
    if (!entry)
        return static_cast<UINT>(-1);
    const UINT old = entry->flags & (MF_GRAYED | MF_DISABLED);
    entry->flags =
        (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return old;
}

UINT CMenu::GetMenuItemCount() const {
    Menu* menu = host::ui::MenuFromHandle(m_hMenu);
    return menu ? static_cast<UINT>(menu->entries.size()) : static_cast<UINT>(-1);
}

UINT CMenu::GetMenuItemID(int position) const {
    Menu* menu = host::ui::MenuFromHandle(m_hMenu);
    if (!menu || position < 0 || position >= static_cast<int>(menu->entries.size()))
        return static_cast<UINT>(-1);
    return static_cast<UINT>(menu->entries[position].id);
}

UINT CMenu::GetMenuState(UINT idOrPosition, UINT flags) const {
    MenuEntry* entry = host::ui::EntryOf(host::ui::MenuFromHandle(m_hMenu), idOrPosition, flags);
    return entry ? entry->flags : static_cast<UINT>(-1);
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* pOwner, LPCRECT) {
    Menu* menu = host::ui::MenuFromHandle(m_hMenu);
    if (!menu)
        return FALSE;
    host::ui::Window* owner = pOwner ? host::ui::Window::FromHandle(pOwner->m_hWnd) : nullptr;
    const UINT_PTR chosen = host::ui::CurrentToolkit().TrackMenu(*menu, POINT{x, y}, owner);
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    if (chosen != 0 && owner)
        host::ui::Send(owner, WM_COMMAND, chosen & 0xFFFF, 0);
    return TRUE;
}
